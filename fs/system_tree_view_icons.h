// The shared small-icon list of the folder tree: namespace items get icon indexes, and a
// node's icon is made from its normal and open images and its overlay.
#pragma once
#include "platform/shell_namespace_idlist.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>

class SystemImageList {
public:
    // Images that overlays use: a shared item and a link.
    static constexpr int kShareImage = 28;
    static constexpr int kLinkImage = 29;
    static constexpr int kIconSize = 16;

    // The one list of the process; trees share it and never destroy it.
    static SystemImageList& instance();

    // The index of an item's small icon, its open icon when open is set; -1 when the list
    // does not lead to an item.
    int IconIndex(const qv::ItemIDList* absolute, bool open);
    int count() const { return int(m_icons.size()); }
    QIcon icon(int index) const;

    // Overlay 0 and 1 show these images of the list.
    void setOverlayImage(int overlay, int image);
    int overlayImage(int overlay) const;

    // The icon a node shows: normal image, image while selected, overlay (-1 for none).
    QIcon nodeIcon(int normal, int selected, int overlay);

private:
    SystemImageList();
    int indexFor(const QString& key, const QIcon& icon);
    QPixmap composed(int image, int overlay) const;

    QList<QIcon> m_icons;
    QHash<QString, int> m_byKey;
    QHash<QString, QIcon> m_nodeIcons;
    int m_overlays[2] = {-1, -1};
};
