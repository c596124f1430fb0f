// Small helpers shared by the tests: temporary folders, file bytes, tool paths.
#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace qvtest {

// Folder of the build tree (where qvtool and the help files are).
QString binaryDir();
// Folder of the source tree.
QString sourceDir();

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

struct ToolResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
// Runs the built qvtool with the arguments; waits at most 120 s.
ToolResult runQvtool(const QStringList& args);

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
