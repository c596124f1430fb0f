// The context menu of a namespace item (open in the file manager, properties) and the
// properties text it shows.
#include "platform/shell_namespace.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QUrl>

#include <cerrno>

namespace qv {

namespace {

class ItemMenu final : public IContextMenu {
public:
    ItemMenu(QString path, QString name) : m_path(std::move(path)), m_name(std::move(name)) {}

    QList<Command> QueryContextMenu(std::uint32_t) override
    {
        return {{QStringLiteral("open"), QStringLiteral("Open in File Manager")},
                {QStringLiteral("properties"), QStringLiteral("Properties")}};
    }

    ShellResult InvokeCommand(int verb, const ShellCommandHost& host) override
    {
        switch (verb) {
        case 0: {
            // A file opens its folder.
            const QFileInfo fi(m_path);
            const QString folder = fi.isDir() ? m_path : fi.absolutePath();
            const bool ok = host.openFolder ? host.openFolder(folder)
                                            : QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
            return ok ? kShellOk : EIO;
        }
        case 1:
            if (!host.showProperties)
                return ENOTSUP;
            host.showProperties(m_name, shellPropertiesText(m_path));
            return kShellOk;
        default:
            return EINVAL;
        }
    }

private:
    QString m_path;
    QString m_name;
};

} // namespace

std::unique_ptr<IContextMenu> makeShellContextMenu(const QString& path, const QString& name)
{
    return std::make_unique<ItemMenu>(path, name);
}

QString shellPropertiesText(const QString& path)
{
    const QFileInfo fi(path);
    QStringList lines;
    lines << QStringLiteral("Name: %1").arg(fi.fileName().isEmpty() ? path : fi.fileName());
    lines << QStringLiteral("Location: %1").arg(fi.absolutePath());
    if (fi.isSymLink())
        lines << QStringLiteral("Link to: %1").arg(fi.symLinkTarget());
    if (fi.isDir()) {
        const QDir dir(path);
        const auto all = QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
        const qsizetype folders = dir.entryList(QDir::Dirs | all).size();
        const qsizetype files = dir.entryList(QDir::Files | all).size();
        lines << QStringLiteral("Type: Folder");
        lines << QStringLiteral("Contents: %1 folders, %2 files").arg(folders).arg(files);
    } else if (fi.exists()) {
        lines << QStringLiteral("Type: File");
        lines << QStringLiteral("Size: %1 bytes").arg(QLocale::c().toString(fi.size()));
    } else {
        lines << QStringLiteral("Type: Missing");
    }
    if (fi.exists())
        lines << QStringLiteral("Modified: %1").arg(fi.lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm")));
    return lines.join(QLatin1Char('\n'));
}

} // namespace qv
