// Test entry: one application object for every test program, offscreen unless
// told otherwise. A test program may supply its own application class.
#include "testutil.h"

#include <QApplication>
#include <QSettings>
#include <gtest/gtest.h>
#include <memory>

// Defined by test programs that need a special application object.
QApplication* qvtestCreateApplication(int& argc, char** argv) __attribute__((weak));

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt keeps its own settings (the file dialog's among them) in the user's
    // configuration folder, which it looks up once: a folder of this run, so
    // that they neither reach the real one nor outlive a test's own folder.
    const qvtest::TempDir configuration;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configuration.path()));
    std::unique_ptr<QApplication> app(qvtestCreateApplication ? qvtestCreateApplication(argc, argv)
                                                              : new QApplication(argc, argv));
    (void)QSettings(QSettings::UserScope, QStringLiteral("QtProject")).fileName();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    app.reset();
    return result;
}
