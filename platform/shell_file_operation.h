// A file operation in the shell's manner over zero-separated name lists, with its questions
// and progress going through an interface (dialogs in a window, a script in tests).
#pragma once
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <cstdint>

class QObject;

namespace qv {

// Function codes.
inline constexpr unsigned kFoMove = 1;
inline constexpr unsigned kFoCopy = 2;
inline constexpr unsigned kFoDelete = 3;
inline constexpr unsigned kFoRename = 4;

// Flags.
inline constexpr std::uint16_t kFofMultiDestFiles = 0x0001;   // one destination per source
inline constexpr std::uint16_t kFofConfirmMouse = 0x0002;     // accepted, has no effect
inline constexpr std::uint16_t kFofSilent = 0x0004;           // no progress
inline constexpr std::uint16_t kFofRenameOnCollision = 0x0008;
inline constexpr std::uint16_t kFofNoConfirmation = 0x0010;   // "yes to all" to every question
inline constexpr std::uint16_t kFofAllowUndo = 0x0040;        // deletes go to the trash
inline constexpr std::uint16_t kFofFilesOnly = 0x0080;        // wildcards match files only
inline constexpr std::uint16_t kFofSimpleProgress = 0x0100;   // progress without file names
inline constexpr std::uint16_t kFofNoConfirmMkDir = 0x0200;

// Results other than 0 (success).
inline constexpr int kShellErrorFileNotFound = 2;
inline constexpr int kShellErrorAccessDenied = 5;
inline constexpr int kShellErrorFileExists = 80;
inline constexpr int kShellErrorDiskFull = 112;
inline constexpr int kShellErrorSameFile = 0x71;
inline constexpr int kShellErrorDestinationInSource = 0x76;
inline constexpr int kShellErrorInvalidFiles = 0x7C;   // empty or unusable name lists
inline constexpr int kShellErrorBadFunction = 0x7D;
inline constexpr int kShellErrorCancelled = 1223;
inline constexpr int kShellErrorOther = 0x402;

enum class ShellAnswer { Yes, YesToAll, No, NoToAll, Cancel };

enum class ShellProblem {
    NotFound,
    AccessDenied,
    Exists,              // the name is taken (a rename, or a file against a folder)
    DestinationInSource, // a folder into itself
    NoSpace,
    NotTrashed,          // the trash refused the item; it was left in place
    ChangedDuringMove,   // another program changed the source meanwhile: it was kept beside the copy
    Incomplete,          // a folder could not be read to its end: the copy is not complete
    Other,
};

struct ShellProgress {
    int item = 0;        // index of the item being worked on
    int itemCount = 0;
    QString from;        // empty with simple progress
    QString to;
    qint64 bytesDone = 0; // within the current file
    qint64 bytesTotal = 0;
};

// Everything the operation asks or tells the user.
class ShellFileInteraction {
public:
    virtual ~ShellFileInteraction() = default;
    // Start and end of one operation (always paired). showProgress is false when silent.
    virtual void begin(QObject* window, unsigned function, const QString& progressTitle,
                       bool showProgress, bool simpleProgress) = 0;
    virtual void end() = 0;
    // May the items go (to the trash with toTrash)? Asked once for the whole list.
    virtual bool confirmDelete(const QStringList& paths, bool toTrash) = 0;
    // The destination folder does not exist: create it?
    virtual bool confirmMakeDir(const QString& folder) = 0;
    // existing is in the way of source. For folders "yes" merges them.
    virtual ShellAnswer askReplace(const QString& source, const QString& existing,
                                   bool folders, bool moreToCome) = 0;
    // One item failed; true to go on with the rest, false to cancel.
    virtual bool reportError(const QString& path, ShellProblem problem, const QString& detail,
                             bool moreToCome) = 0;
    // Called before each item and during long copies; false when the user cancelled.
    virtual bool progress(const ShellProgress& progress) = 0;
};

struct ShellFileOp {
    QObject* window = nullptr;   // owner of the dialogs
    unsigned function = 0;
    QString from;                // absolute names separated by zero characters, ended by an empty name
    QString to;
    std::uint16_t flags = 0;
    // "*" and "?" in a source's last part match names only when asked; otherwise they are
    // ordinary characters of a name.
    bool namePatterns = false;
    bool anyOperationsAborted = false; // out: the user cancelled or skipped something
    QString progressTitle;
};

// Runs the operation; 0 on success. Without an interaction every question is answered
// conservatively: deletes and folder creation go ahead, nothing is replaced, errors go on.
// A relative source or destination is refused (kShellErrorInvalidFiles), never resolved
// against the working folder; only a rename's new name may be bare (it stays beside the file).
int shellFileOperation(ShellFileOp& op, ShellFileInteraction* interaction);

// The names of a zero-separated list, up to the first empty name (or the end).
QStringList splitZeroList(const QString& list);

// The full path of a name for fileName in folder that nothing holds yet: "name (2).ext",
// "name (3).ext", ..., the name's stem shortened when the name would pass 255 bytes.
// Empty when none is free.
QString freeNameInFolder(const QString& folder, const QString& fileName);

} // namespace qv
