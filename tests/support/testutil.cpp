#include "testutil.h"

#include <filesystem>

#include <QApplication>
#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace qvtest {

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(QFile::encodeName(path()).toStdString(), ignored);
}

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

QByteArray readFileAt(const QByteArray& path)
{
    std::ifstream f(path.constData(), std::ios::binary);
    if (!f)
        throw std::runtime_error("cannot read " + path.toStdString());
    return QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(f), {}));
}

void writeFileAt(const QByteArray& path, const QByteArray& bytes)
{
    std::ofstream f(path.constData(), std::ios::binary);
    if (!f.write(bytes.constData(), bytes.size()))
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

bool inOwnNamespace(const QStringList& unshareArgs, const QString& setup, QString* skip)
{
    if (qEnvironmentVariableIsSet("QV_IN_NAMESPACE"))
        return true;
    if (::geteuid() != 0) {
        *skip = QStringLiteral("needs root for its own namespaces (run the test binary as root)");
        return false;
    }
    if (QProcess::execute(QStringLiteral("unshare"), unshareArgs + QStringList{QStringLiteral("true")}) != 0) {
        *skip = QStringLiteral("unshare %1 is refused here").arg(unshareArgs.join(' '));
        return false;
    }
    QTemporaryDir dir;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QV_IN_NAMESPACE"), QStringLiteral("1"));
    env.insert(QStringLiteral("QV_NS_DIR"), dir.path());
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("unshare"),
            unshareArgs
                + QStringList{QStringLiteral("sh"), QStringLiteral("-c"), setup + QStringLiteral(" && exec \"$0\" \"$1\""),
                              QCoreApplication::applicationFilePath(),
                              QStringLiteral("--gtest_filter=%1.%2").arg(test->test_suite_name(), test->name())});
    const bool ended = p.waitForFinished(120000);
    const QByteArray out = p.readAll();
    EXPECT_TRUE(ended && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0) << out.toStdString();
    return false;
}

void answerNextMessageBox(const QString& button, MessageBoxSeen* seen, int triesLeft)
{
    QTimer::singleShot(triesLeft == 500 ? 0 : 10, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            if (triesLeft > 0)
                answerNextMessageBox(button, seen, triesLeft - 1); // not shown yet
            return;
        }
        seen->title = box->windowTitle();
        seen->text = box->text();
        for (QAbstractButton* b : box->buttons()) {
            seen->buttons.append(b->text());
            if (b->text() == button)
                b->click();
        }
        if (button.isEmpty())
            box->accept();
    });
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
