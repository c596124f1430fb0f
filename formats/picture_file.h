// Opening picture files by the bytes of their names: a name that is not valid
// UTF-8 is held with U+DC80..U+DCFF in it, which QFile cannot turn back into
// the name on disk.
#pragma once
#include <QFile>
#include <QString>

namespace qv {

// True when fileName is a regular file (after following links).
bool isRegularFile(const QString& fileName);

// Opens fileName for reading; false when it cannot be opened.
bool openPictureFile(QFile& file, const QString& fileName);

} // namespace qv
