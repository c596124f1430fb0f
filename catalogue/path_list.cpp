// Path list ordering.
#include "catalogue/path_list.h"

#include <QCollator>
#include <algorithm>

QStringList PathList::sorted() const
{
    QStringList out(m_set.begin(), m_set.end());
    QCollator coll;
    coll.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(out.begin(), out.end(), [&](const QString& a, const QString& b) {
        const int c = coll.compare(a, b);
        return c != 0 ? c < 0 : a < b;
    });
    return out;
}
