// win.ini's wallpaper value and the desktop commands that set the wallpaper.
#include "platform/wallpaper.h"

#include "testutil.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ProfileString, SetsTheKeyOfItsSectionKeepingEverythingElse)
{
    struct Case {
        const char* before;
        const char* after;
    } cases[] = {
        {nullptr, "[Desktop]\nwallpaper=/p/a.bmp\n"},
        {"", "[Desktop]\nwallpaper=/p/a.bmp\n"},
        {"[fonts]\nx=1", "[fonts]\nx=1\n\n[Desktop]\nwallpaper=/p/a.bmp\n"},
        // Names without case; the value replaced where it stands.
        {"[DESKTOP]\r\nWallPaper = old\r\nTile=1\r\n", "[DESKTOP]\nwallpaper=/p/a.bmp\nTile=1\n"},
        // Added after the section's last entry, not after its blank lines.
        {"[Desktop]\nTile=1\n\n[Other]\nwallpaper=no\n", "[Desktop]\nTile=1\nwallpaper=/p/a.bmp\n\n[Other]\nwallpaper=no\n"},
        // A key of the same name in another section is not ours.
        {"[Other]\nwallpaper=no\n[Desktop]\n", "[Other]\nwallpaper=no\n[Desktop]\nwallpaper=/p/a.bmp\n"},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        const QString ini = dir.path() + "/sub/win.ini";
        QFile::remove(ini);
        if (c.before) {
            QDir().mkpath(dir.path() + "/sub");
            qvtest::writeFile(ini, c.before);
        }
        ASSERT_TRUE(writeProfileString(ini, "Desktop", "wallpaper", "/p/a.bmp")) << c.after;
        EXPECT_EQ(qvtest::readFile(ini), QByteArray(c.after)) << c.after;
        EXPECT_EQ(readProfileString(ini, "desktop", "WALLPAPER"), "/p/a.bmp");
    }
    // A line break would make a line of its own: refused, the file as it was.
    const QString ini = dir.path() + "/sub/win.ini";
    EXPECT_FALSE(writeProfileString(ini, "Desktop", "wallpaper", "/p/a\n[x].bmp"));
    EXPECT_EQ(readProfileString(ini, "Desktop", "wallpaper"), "/p/a.bmp");
}

TEST(DesktopWallpaperCommands, ChosenByTheCurrentDesktop)
{
    const QString path = "/home/ann/my pictures/sunset.bmp";
    EXPECT_EQ(SystemDesktopWallpaper::commandsFor("ubuntu:GNOME", path).value(0).last(),
              "file:///home/ann/my%20pictures/sunset.bmp");
    EXPECT_EQ(SystemDesktopWallpaper::commandsFor("KDE", path).value(0).last(), path);
    EXPECT_EQ(SystemDesktopWallpaper::commandsFor("MATE", path).value(0).last(), path);
    EXPECT_TRUE(SystemDesktopWallpaper::commandsFor("", path).isEmpty());
    EXPECT_TRUE(SystemDesktopWallpaper::commandsFor("sway", path).isEmpty());
}
