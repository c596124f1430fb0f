// Small helpers shared by the tests: temporary folders, file bytes, tool paths.
#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QFile>
#include <QTemporaryDir>

namespace qvtest {

// A temporary folder removed by the bytes of its names on destruction, so that
// names that are not UTF-8 go too (QTemporaryDir leaves them and their folders).
class TempDir : public QTemporaryDir {
public:
    using QTemporaryDir::QTemporaryDir;
    ~TempDir();
};

// Folder of the build tree (where qvtool and the help files are).
QString binaryDir();
// Folder of the source tree.
QString sourceDir();

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
// The same on a path given as the system's bytes (names that are not UTF-8).
QByteArray readFileAt(const QByteArray& path);
void writeFileAt(const QByteArray& path, const QByteArray& bytes);

struct ToolResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
// Runs the built qvtool with the arguments; waits at most 120 s.
ToolResult runQvtool(const QStringList& args);

// For a test that needs namespaces of its own (a private tmpfs as a second file system, a
// lower inotify limit): in the test process it runs the same test again in a child made by
// unshare(1) with unshareArgs, after the shell command setup (QV_NS_DIR names an empty folder
// for it), checks that the child passed, and returns false. In that child it returns true.
// Only root can do this; otherwise, or when unshare is refused, it returns false with *skip set.
bool inOwnNamespace(const QStringList& unshareArgs, const QString& setup, QString* skip);

// What a message box showed.
struct MessageBoxSeen {
    QString title;
    QString text;
    QStringList buttons;
};
// Once the next modal message box is up (within 5 s), notes what it shows and clicks the
// button labelled `button`, or accepts it when `button` is empty.
void answerNextMessageBox(const QString& button, MessageBoxSeen* seen, int triesLeft = 500);

// Sets environment variables for as long as it lives, then puts back what was there.
class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv();
    void set(const char* name, const QString& value);

private:
    struct Old {
        QByteArray name, value;
        bool was;
    };
    QList<Old> m_old;
};

} // namespace qvtest
