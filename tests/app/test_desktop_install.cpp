// The desktop integration: the entry and the AppStream data pass their
// validators, and an install into a fresh prefix has everything in place.
#include "app/help_window.h"

#include "testutil.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ProcessResult {
    int code = -1;
    QString output;
};

ProcessResult run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    ProcessResult r;
    if (p.waitForFinished(300000) && p.exitStatus() == QProcess::NormalExit)
        r.code = p.exitCode();
    r.output = QString::fromUtf8(p.readAll());
    return r;
}

const QString kId = "org.quorvel.Quorvel";

} // namespace

TEST(DesktopFiles, InstallIntoAFreshPrefixValidates)
{
    if (!QFileInfo::exists(qvtest::binaryDir() + "/quorvel"))
        GTEST_SKIP() << "the program is not built";
    QTemporaryDir prefix;
    const ProcessResult install = run("cmake", {"--install", qvtest::binaryDir(), "--prefix", prefix.path()});
    ASSERT_EQ(install.code, 0) << install.output.toStdString();
    const QString p = prefix.path();
    EXPECT_TRUE(QFileInfo(p + "/bin/quorvel").isExecutable());
    EXPECT_TRUE(QFileInfo::exists(p + "/share/quorvel/QVITA.HLP"));
    // The installed program finds its help in the prefix's data folder.
    HelpWindow help;
    EXPECT_TRUE(help.showContents(p + "/bin/QVENG.HLP"));
    EXPECT_EQ(help.currentFile(), QFileInfo(p + "/share/quorvel/QVENG.HLP").canonicalFilePath());
    const ProcessResult entry = run("desktop-file-validate", {p + "/share/applications/" + kId + ".desktop"});
    EXPECT_EQ(entry.code, 0) << entry.output.toStdString();
    EXPECT_TRUE(entry.output.trimmed().isEmpty()) << entry.output.toStdString();
    const ProcessResult meta = run("appstreamcli", {"validate", "--no-net", p + "/share/metainfo/" + kId + ".metainfo.xml"});
    EXPECT_EQ(meta.code, 0) << meta.output.toStdString();
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QImage icon(QString("%1/share/icons/hicolor/%2x%2/apps/%3.png").arg(p).arg(size).arg(kId));
        EXPECT_EQ(icon.size(), QSize(size, size)) << size;
    }
}
