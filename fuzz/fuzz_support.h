// The application object that Qt's painting and image plugins need, for the
// fuzz targets that use them.
#pragma once
#include <QGuiApplication>

// Made once, offscreen, and kept for the life of the process.
inline void ensureGuiApplication()
{
    static QGuiApplication* app = [] {
        static int argc = 1;
        static char name[] = "fuzz";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
}
