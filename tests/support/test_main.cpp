// Test entry: one application object for every test program, offscreen unless
// told otherwise. A test program may supply its own application class.
#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

// Defined by test programs that need a special application object.
QApplication* qvtestCreateApplication(int& argc, char** argv) __attribute__((weak));

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QApplication> app(qvtestCreateApplication ? qvtestCreateApplication(argc, argv)
                                                              : new QApplication(argc, argv));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
