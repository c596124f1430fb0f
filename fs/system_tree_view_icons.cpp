// Icons of namespace items from the icon theme (the style's standard icons when there is
// none), kept in one indexed list with the two overlay emblems at their usual places.
#include "fs/system_tree_view_icons.h"

#include "platform/shell_namespace.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr int kFileImage = 0;
constexpr int kFolderImage = 3;
constexpr int kOpenFolderImage = 4;
constexpr int kDriveImage = 8;
constexpr int kComputerImage = 15;
constexpr int kFirstFreeImage = 30;

QFileIconProvider& provider()
{
    static QFileIconProvider p;
    return p;
}

QIcon themed(const char* name, QFileIconProvider::IconType fallback)
{
    return QIcon::fromTheme(QLatin1String(name), provider().icon(fallback));
}

// Small emblems drawn here when the theme has none.
QIcon drawnEmblem(bool link)
{
    QPixmap pm(SystemImageList::kIconSize, SystemImageList::kIconSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (link) {
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(0.5, 0.5, 15, 15));
        QPainterPath arrow;
        arrow.moveTo(4, 12);
        arrow.cubicTo(4, 7, 7, 5, 11, 5);
        p.setPen(QPen(Qt::black, 2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(arrow);
        p.setBrush(Qt::black);
        p.drawPolygon(QPolygonF({QPointF(9, 2), QPointF(13.5, 5), QPointF(9, 8)}));
    } else {
        p.setPen(QPen(QColor(0, 60, 160), 1));
        p.setBrush(QColor(70, 130, 230));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(5, 3, 6, 6));
        p.drawChord(QRectF(3, 9, 10, 10), 0, 180 * 16);
    }
    return QIcon(pm);
}

QIcon emblem(const char* name, bool link)
{
    const QIcon fromTheme = QIcon::fromTheme(QLatin1String(name));
    return fromTheme.isNull() ? drawnEmblem(link) : fromTheme;
}

} // namespace

SystemImageList& SystemImageList::instance()
{
    static SystemImageList* list = new SystemImageList; // lives until the process ends
    return *list;
}

SystemImageList::SystemImageList()
{
    const QIcon file = provider().icon(QFileIconProvider::File);
    for (int i = 0; i < kFirstFreeImage; ++i)
        m_icons.append(file);
    m_icons[kFolderImage] = themed("folder", QFileIconProvider::Folder);
    m_icons[kOpenFolderImage] = QIcon::fromTheme(QStringLiteral("folder-open"), m_icons[kFolderImage]);
    m_icons[kDriveImage] = themed("drive-harddisk", QFileIconProvider::Drive);
    m_icons[kComputerImage] = themed("computer", QFileIconProvider::Computer);
    m_icons[kShareImage] = emblem("emblem-shared", false);
    m_icons[kLinkImage] = emblem("emblem-symbolic-link", true);
    m_byKey.insert(QStringLiteral("file"), kFileImage);
    m_byKey.insert(QStringLiteral("folder"), kFolderImage);
    m_byKey.insert(QStringLiteral("folder-open"), kOpenFolderImage);
    m_byKey.insert(QStringLiteral("drive"), kDriveImage);
    m_byKey.insert(QStringLiteral("computer"), kComputerImage);
}

int SystemImageList::indexFor(const QString& key, const QIcon& icon)
{
    const auto it = m_byKey.constFind(key);
    if (it != m_byKey.constEnd())
        return *it;
    m_icons.append(icon);
    const int index = int(m_icons.size()) - 1;
    m_byKey.insert(key, index);
    return index;
}

int SystemImageList::IconIndex(const qv::ItemIDList* absolute, bool open)
{
    QString path;
    switch (qv::ShellItemKindOf(absolute, &path)) {
    case qv::ShellItemKind::Invalid:
        return -1;
    case qv::ShellItemKind::Desktop:
        return indexFor(QStringLiteral("desktop"), themed("user-desktop", QFileIconProvider::Desktop));
    case qv::ShellItemKind::Computer:
        return kComputerImage;
    case qv::ShellItemKind::Volume:
        return path == QLatin1String("/") ? kDriveImage
                                          : indexFor(QStringLiteral("volume"),
                                                     themed("drive-removable-media", QFileIconProvider::Drive));
    case qv::ShellItemKind::Home:
        return indexFor(QStringLiteral("home"), themed("user-home", QFileIconProvider::Folder));
    case qv::ShellItemKind::DesktopFolder:
        return indexFor(QStringLiteral("desktop-folder"), themed("user-desktop", QFileIconProvider::Desktop));
    case qv::ShellItemKind::Folder:
        return open ? kOpenFolderImage : kFolderImage;
    case qv::ShellItemKind::File: {
        const QFileInfo fi(path);
        const QString suffix = fi.suffix().toLower();
        if (suffix.isEmpty())
            return kFileImage;
        return indexFor(QStringLiteral("file:") + suffix, provider().icon(fi));
    }
    }
    return -1;
}

QIcon SystemImageList::icon(int index) const
{
    return index >= 0 && index < m_icons.size() ? m_icons.at(index) : QIcon();
}

void SystemImageList::setOverlayImage(int overlay, int image)
{
    if (overlay == 0 || overlay == 1)
        m_overlays[overlay] = image;
}

int SystemImageList::overlayImage(int overlay) const
{
    return overlay == 0 || overlay == 1 ? m_overlays[overlay] : -1;
}

QPixmap SystemImageList::composed(int image, int overlay) const
{
    QPixmap pm = icon(image).pixmap(kIconSize, kIconSize);
    if (pm.isNull()) {
        pm = QPixmap(kIconSize, kIconSize);
        pm.fill(Qt::transparent);
    }
    const QIcon mark = icon(overlayImage(overlay));
    if (!mark.isNull()) {
        QPainter p(&pm);
        const int side = kIconSize * 9 / 16;
        p.drawPixmap(QRect(0, kIconSize - side, side, side), mark.pixmap(side, side));
    }
    return pm;
}

QIcon SystemImageList::nodeIcon(int normal, int selected, int overlay)
{
    if (normal < 0 && selected < 0)
        return {};
    const QString key = QStringLiteral("%1/%2/%3/%4").arg(normal).arg(selected).arg(overlay).arg(overlayImage(overlay));
    const auto it = m_nodeIcons.constFind(key);
    if (it != m_nodeIcons.constEnd())
        return *it;
    QIcon made;
    made.addPixmap(composed(normal, overlay), QIcon::Normal);
    made.addPixmap(composed(selected < 0 ? normal : selected, overlay), QIcon::Selected);
    m_nodeIcons.insert(key, made);
    return made;
}
