// File names as the system stores them (bytes) and as the program holds them (QString), turned
// into each other without loss, and the path operations that must work on those bytes.
#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

namespace qv {

// Bytes that are not valid UTF-8 (Latin-1 names from old cameras, unpacked archives) become
// U+DC80..U+DCFF on the way in and the same bytes on the way out, so every name on disk has
// one QString that reaches it again. Valid UTF-8 decodes as usual.
QString decodeFileName(const QByteArray& bytes);
QByteArray encodeFileName(const QString& name);
// A name fit for showing: the bytes kept above appear as U+FFFD.
QString displayFileName(const QString& name);

struct FolderEntry {
    enum Type { File, Folder, Other }; // after following a link; Other: devices, pipes, dangling links
    QString name;
    Type type = Other;
    bool link = false;
};

// Every entry of a folder except "." and "..", read on bytes. False, with errno in *error,
// when the folder cannot be opened or read to its end.
bool listFolder(const QString& folder, QList<FolderEntry>* entries, int* error = nullptr);

// Whether path is folder or lies below it, by whole components ("/a/bc" is not inside "/a/b").
bool isInsideFolder(const QString& path, const QString& folder);
bool pathExists(const QString& path); // the name itself, a dangling link included
bool isFolder(const QString& path);   // a folder, or a link to one
// The path with every link and "." or ".." resolved; a part that does not exist yet is kept
// as written below its deepest existing folder.
QString resolvedPath(const QString& path);
// Makes folder and the folders above it that are missing; 0 or errno.
int makeFolderPath(const QString& folder);
// Renames without ever replacing what is at `to`; 0, or errno (EEXIST when the name is taken).
int renameNoReplace(const QString& from, const QString& to);
// Writes a folder's entries to the medium (after a rename into it); 0 or errno.
int syncFolder(const QString& folder);

} // namespace qv
