#include "testutil.h"

#include <QFile>
#include <QProcess>
#include <stdexcept>

namespace qvtest {

QString binaryDir() { return qEnvironmentVariable("QV_BINARY_DIR", "."); }
QString sourceDir() { return qEnvironmentVariable("QV_SOURCE_DIR", ".."); }

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

ToolResult runQvtool(const QStringList& args)
{
    QProcess p;
    // Settings of the person running the tests must not change what qvtool does.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", binaryDir() + "/qvtool-test-config");
    p.setProcessEnvironment(env);
    p.start(binaryDir() + "/qvtool", args);
    ToolResult r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.exitCode = -2;
    } else {
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

void ScopedEnv::set(const char* name, const QString& value)
{
    m_old.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
    qputenv(name, value.toUtf8());
}

ScopedEnv::~ScopedEnv()
{
    for (auto it = m_old.rbegin(); it != m_old.rend(); ++it) {
        if (it->was)
            qputenv(it->name.constData(), it->value);
        else
            qunsetenv(it->name.constData());
    }
}

} // namespace qvtest
