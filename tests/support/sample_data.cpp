#include "sample_data.h"

#include <QDir>
#include <random>

namespace qvtest {

QByteArray randomBytes(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    QByteArray b(n, '\0');
    for (auto& c : b)
        c = char(rng());
    return b;
}

QByteArray patternBytes(int n, char seed)
{
    QByteArray b(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        b[i] = char(seed * 31 + i * 13 + (i >> 11));
    return b;
}

QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace qvtest
