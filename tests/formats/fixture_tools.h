// Test helpers for the picture readers: running the independent encoders and
// decoders installed by scripts/bootstrap (ImageMagick, netpbm), comparing
// pictures pixel by pixel, and little-endian byte builders.
#pragma once
#include "formats/picture_loader.h"
#include "support/testutil.h"

#include <QByteArray>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace qvtest {

// The message LoadPictureFile raises for a file, or "" when it loads.
inline QString failureOf(const QString& path)
{
    try {
        LoadPictureFile(path);
        return QString();
    } catch (const EPictureLoad& e) {
        return e.message();
    }
}

inline bool haveTool(const QString& name) { return !QStandardPaths::findExecutable(name).isEmpty(); }

// Runs a program; its standard output, or a null array when it fails.
inline QByteArray runTool(const QString& program, const QStringList& args, const QByteArray& input = {})
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(30000))
        return {};
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    QByteArray out = p.readAllStandardOutput();
    return out.isNull() ? QByteArray("") : out;
}

// A 37 x 23 picture with smooth colours, as PNG in `dir`: odd width and height
// exercise row padding, and the quantised versions have long runs.
inline QString makeBasePicture(const QDir& dir)
{
    const QString path = dir.filePath("base.png");
    runTool("convert", {"-size", "37x23", "xc:", "-sparse-color", "bilinear",
                        "0,0 red 36,0 blue 0,22 lime 36,22 yellow", "-depth", "8", path});
    return path;
}

// ImageMagick's own decode of a file, as an RGB picture. ImageMagick keeps a
// Targa's origin as metadata: -auto-orient applies it to the pixels.
inline QImage referenceDecode(const QString& path)
{
    const QByteArray ppm = runTool("convert", {path, "-auto-orient", "-depth", "8", "ppm:-"});
    return QImage::fromData(ppm, "PPM").convertToFormat(QImage::Format_RGB32);
}

// Same size and the same colour at every pixel (alpha ignored).
inline ::testing::AssertionResult samePixels(const QImage& actual, const QImage& expected)
{
    if (actual.isNull() || expected.isNull())
        return ::testing::AssertionFailure() << "null picture (actual " << actual.isNull()
                                             << ", expected " << expected.isNull() << ")";
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure() << "size " << actual.width() << "x" << actual.height()
                                             << " instead of " << expected.width() << "x" << expected.height();
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x) {
            const QRgb a = actual.pixel(x, y) & 0xFFFFFF, e = expected.pixel(x, y) & 0xFFFFFF;
            if (a != e)
                return ::testing::AssertionFailure()
                    << "pixel (" << x << "," << y << ") is " << std::hex << a << " instead of " << e;
        }
    return ::testing::AssertionSuccess();
}

inline void appendLe16(QByteArray& b, unsigned v)
{
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}
inline void appendLe32(QByteArray& b, quint32 v)
{
    appendLe16(b, v & 0xFFFF);
    appendLe16(b, v >> 16);
}

} // namespace qvtest

#define QV_REQUIRE_TOOL(name)                                                                   \
    do {                                                                                        \
        if (!qvtest::haveTool(name))                                                            \
            GTEST_SKIP() << name << " is not installed (scripts/bootstrap installs it)";        \
    } while (0)
