// The desktop wallpaper: the "wallpaper" value of win.ini's [Desktop] section,
// then the running desktop environment's own setting.
#pragma once
#include <QString>
#include <QStringList>

// The desktop environment's background setting, behind an interface tests replace.
class DesktopWallpaper {
public:
    virtual ~DesktopWallpaper() = default;
    // Shows the picture file as the desktop background; false when no desktop took it.
    virtual bool apply(const QString& path) = 0;
};

// GNOME and its relatives (gsettings), Xfce (xfconf-query) or KDE Plasma
// (plasma-apply-wallpaperimage), told apart by XDG_CURRENT_DESKTOP; silently
// nothing on any other desktop.
class SystemDesktopWallpaper : public DesktopWallpaper {
public:
    bool apply(const QString& path) override;

    // The commands (program and arguments) that set the picture on the desktop
    // named by an XDG_CURRENT_DESKTOP value; empty for a desktop we do not know.
    // Xfce's one per backdrop is found at run time and not listed here.
    static QList<QStringList> commandsFor(const QString& desktop, const QString& path);
};

// The desktop used by the wallpaper command: the system's unless a test set
// another (not owned; nullptr goes back to the system's).
DesktopWallpaper& desktopWallpaper();
void setDesktopWallpaper(DesktopWallpaper* desktop);

// $XDG_CONFIG_HOME/quorvel/win.ini, beside the settings file.
QString winIniFileName();

// Sets `key` of `[section]` in an ini file the way the system's profile
// writer does: names compared without case, every other line kept, the
// section or the key added when missing. The file is replaced atomically.
bool writeProfileString(const QString& iniFile, const QString& section, const QString& key,
                        const QString& value);
// The value, or an empty text when the file, the section or the key is missing.
QString readProfileString(const QString& iniFile, const QString& section, const QString& key);

// The set-desk-wallpaper call: win.ini's value, then the desktop (the change
// is broadcast to it). False when win.ini could not be written.
bool setDeskWallpaper(const QString& path, DesktopWallpaper& desktop = desktopWallpaper());
