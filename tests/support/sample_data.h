// Test inputs and what to compare results with: bytes, folder listings, error messages.
#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <string>

namespace qvtest {

// n bytes of a fixed pseudo-random sequence (the same for one seed on every machine).
QByteArray randomBytes(int n, unsigned seed);
// n bytes of a repeating pattern that differs for each seed and at every 2 KiB.
QByteArray patternBytes(int n, char seed);
// Names in a folder, sorted, dot files included (a leftover temporary file shows here).
QStringList folderEntries(const QString& folder);

// The message of the E that call throws, or "(no error)".
template <class E, class Call>
std::string messageOf(Call call)
{
    try {
        call();
    } catch (const E& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace qvtest
