// Desktop wallpaper: win.ini's value and the desktop environment's setting.
#include "platform/wallpaper.h"

#include "platform/registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QUrl>

namespace {

DesktopWallpaper* g_desktop = nullptr;

// Runs a settings tool; a desktop that hangs does not hang the program.
bool run(const QStringList& command, QByteArray* out = nullptr)
{
    QProcess p;
    p.start(command.first(), command.mid(1));
    if (!p.waitForStarted(2000))
        return false;
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(1000);
        return false;
    }
    if (out)
        *out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool isSection(const QString& line, QString* name)
{
    const QString t = line.trimmed();
    if (!t.startsWith('[') || !t.endsWith(']'))
        return false;
    *name = t.mid(1, t.size() - 2).trimmed();
    return true;
}

// The key of a "key=value" line, or nothing.
bool isKey(const QString& line, const QString& key)
{
    const qsizetype eq = line.indexOf('=');
    return eq > 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0;
}

} // namespace

QList<QStringList> SystemDesktopWallpaper::commandsFor(const QString& desktop, const QString& path)
{
    const QString uri = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    QList<QStringList> out;
    // XDG_CURRENT_DESKTOP is a colon-separated list, most specific first.
    for (const QString& name : desktop.toUpper().split(':', Qt::SkipEmptyParts)) {
        if (name == "KDE") {
            out << QStringList{"plasma-apply-wallpaperimage", path};
        } else if (name == "X-CINNAMON" || name == "CINNAMON") {
            out << QStringList{"gsettings", "set", "org.cinnamon.desktop.background", "picture-uri", uri};
        } else if (name == "MATE") {
            out << QStringList{"gsettings", "set", "org.mate.background", "picture-filename", path};
        } else if (name == "GNOME" || name == "UNITY" || name == "BUDGIE" || name == "PANTHEON") {
            out << QStringList{"gsettings", "set", "org.gnome.desktop.background", "picture-uri", uri};
            // Newer GNOME keeps a second picture for the dark style.
            out << QStringList{"gsettings", "set", "org.gnome.desktop.background", "picture-uri-dark", uri};
        }
        if (!out.isEmpty())
            break;
    }
    return out;
}

bool SystemDesktopWallpaper::apply(const QString& path)
{
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    if (desktop.toUpper().split(':').contains("XFCE")) {
        // One backdrop per monitor and workspace, each with its own image property.
        QByteArray listing;
        if (!run({"xfconf-query", "-c", "xfce4-desktop", "-l"}, &listing))
            return false;
        bool any = false;
        for (const QByteArray& line : listing.split('\n')) {
            const QString property = QString::fromUtf8(line).trimmed();
            if (property.startsWith("/backdrop/") && property.endsWith("/last-image"))
                any = run({"xfconf-query", "-c", "xfce4-desktop", "-p", property, "-s", path}) || any;
        }
        return any;
    }
    bool any = false;
    for (const QStringList& command : commandsFor(desktop, path))
        any = run(command) || any;
    return any;
}

DesktopWallpaper& desktopWallpaper()
{
    static SystemDesktopWallpaper system;
    return g_desktop ? *g_desktop : system;
}

void setDesktopWallpaper(DesktopWallpaper* desktop) { g_desktop = desktop; }

QString winIniFileName()
{
    return QFileInfo(RegFileRegistry::defaultFileName()).path() + QStringLiteral("/win.ini");
}

bool writeProfileString(const QString& iniFile, const QString& section, const QString& key,
                        const QString& value)
{
    // A line break inside a name or value would make lines of its own.
    for (const QString* s : {&section, &key, &value})
        if (s->contains('\n') || s->contains('\r'))
            return false;
    QStringList lines;
    QFile in(iniFile);
    if (in.open(QIODevice::ReadOnly)) {
        // A damaged or huge file is not ours to read whole; win.ini is small.
        if (in.size() > 16 * 1024 * 1024)
            return false;
        lines = QString::fromUtf8(in.readAll()).split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        for (QString& l : lines)
            if (l.endsWith('\r'))
                l.chop(1);
    }
    const QString entry = key + '=' + value;
    qsizetype sectionLine = -1, insertAt = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString name;
        if (isSection(lines[i], &name)) {
            if (sectionLine >= 0)
                break; // the end of our section
            if (name.compare(section, Qt::CaseInsensitive) == 0)
                sectionLine = insertAt = i;
            continue;
        }
        if (sectionLine < 0)
            continue;
        if (isKey(lines[i], key)) {
            lines[i] = entry;
            insertAt = -2;
            break;
        }
        if (!lines[i].trimmed().isEmpty())
            insertAt = i;
    }
    if (sectionLine < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines << QString();
        lines << '[' + section + ']' << entry;
    } else if (insertAt != -2) {
        lines.insert(insertAt + 1, entry);
    }

    QDir().mkpath(QFileInfo(iniFile).absolutePath());
    QSaveFile out(iniFile);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = (lines.join('\n') + '\n').toUtf8();
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

QString readProfileString(const QString& iniFile, const QString& section, const QString& key)
{
    QFile in(iniFile);
    if (!in.open(QIODevice::ReadOnly) || in.size() > 16 * 1024 * 1024)
        return QString();
    bool inSection = false;
    for (QString line : QString::fromUtf8(in.readAll()).split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        QString name;
        if (isSection(line, &name))
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
        else if (inSection && isKey(line, key))
            return line.mid(line.indexOf('=') + 1);
    }
    return QString();
}

bool setDeskWallpaper(const QString& path, DesktopWallpaper& desktop)
{
    if (!writeProfileString(winIniFileName(), QStringLiteral("Desktop"), QStringLiteral("wallpaper"), path))
        return false;
    desktop.apply(path);
    return true;
}
