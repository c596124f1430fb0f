// Fixtures of the JPEG tests: synthetic photographs, PPM bytes, the
// libjpeg-turbo command-line tools, and a reader of JPEG marker segments.
#pragma once
#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <gtest/gtest.h>

namespace jpegtest {

// A deterministic picture with smooth gradients, hard edges and grain, so that
// every decoding option leaves its mark.
inline QImage makePicture(int w, int h, int seed = 1)
{
    QImage img(w, h, QImage::Format_RGB888);
    quint32 state = 2463534242u + quint32(seed) * 7919u;
    for (int y = 0; y < h; ++y) {
        uchar* row = img.scanLine(y);
        for (int x = 0; x < w; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int grain = int(state % 25) - 12;
            const bool disc = (x - w / 3) * (x - w / 3) + (y - h / 2) * (y - h / 2) < (h * h) / 9;
            const int r = x * 255 / std::max(1, w - 1) + grain;
            const int g = disc ? 220 + grain : y * 255 / std::max(1, h - 1);
            const int b = ((x / 7 + y / 5) % 2 ? 180 : 40) + grain + seed * 13 % 40;
            row[3 * x] = uchar(std::clamp(r, 0, 255));
            row[3 * x + 1] = uchar(std::clamp(g, 0, 255));
            row[3 * x + 2] = uchar(std::clamp(b, 0, 255));
        }
    }
    return img;
}

inline QByteArray toPpm(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    QByteArray out = "P6\n" + QByteArray::number(rgb.width()) + ' ' + QByteArray::number(rgb.height())
        + "\n255\n";
    for (int y = 0; y < rgb.height(); ++y)
        out.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), rgb.width() * 3);
    return out;
}

inline bool haveTool(const QString& name)
{
    return !QStandardPaths::findExecutable(name).isEmpty();
}

// Runs a tool with input on stdin; its standard output, empty on failure.
inline QByteArray runTool(const QString& program, const QStringList& args, const QByteArray& input = {})
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted())
        return {};
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " " << args.join(' ').toStdString() << " failed: "
                      << p.readAllStandardError().toStdString();
        return {};
    }
    return p.readAllStandardOutput();
}

inline QByteArray cjpeg(const QImage& picture, const QStringList& args)
{
    return runTool("cjpeg", args, toPpm(picture));
}

// The colour of every pixel, whatever the format (palette entries looked up).
inline std::vector<QRgb> colours(const QImage& image)
{
    std::vector<QRgb> out;
    out.reserve(size_t(image.width()) * size_t(image.height()));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            out.push_back(image.pixel(x, y) | 0xff000000u);
    return out;
}

// An 8-bit picture whose palette holds only greys.
inline bool greyPalette(const QImage& image)
{
    if (image.format() != QImage::Format_Indexed8 || image.colorCount() == 0)
        return false;
    for (QRgb c : image.colorTable())
        if (qRed(c) != qGreen(c) || qGreen(c) != qBlue(c))
            return false;
    return true;
}

struct Segment {
    uchar marker;
    QByteArray body; // without the length field
    qsizetype offset; // of the 0xFF
};

// The marker segments up to the first SOS (header segments only).
inline std::vector<Segment> headerSegments(const QByteArray& jpeg)
{
    std::vector<Segment> out;
    qsizetype i = 2;
    while (i + 4 <= jpeg.size() && uchar(jpeg[i]) == 0xff) {
        const uchar m = uchar(jpeg[i + 1]);
        const int len = (uchar(jpeg[i + 2]) << 8) | uchar(jpeg[i + 3]);
        out.push_back({m, jpeg.mid(i + 4, len - 2), i});
        if (m == 0xda)
            break;
        i += 2 + len;
    }
    return out;
}

inline int componentCount(const QByteArray& jpeg)
{
    for (const Segment& s : headerSegments(jpeg))
        if (s.marker == 0xc0 || s.marker == 0xc1 || s.marker == 0xc2)
            return uchar(s.body[5]);
    return -1;
}

// 8-bit quantisation tables by table number, in zigzag order.
inline std::map<int, std::vector<int>> quantTables(const QByteArray& jpeg)
{
    std::map<int, std::vector<int>> out;
    for (const Segment& s : headerSegments(jpeg)) {
        if (s.marker != 0xdb)
            continue;
        for (qsizetype i = 0; i + 65 <= s.body.size(); i += 65) {
            std::vector<int>& t = out[uchar(s.body[i]) & 0x0f];
            for (int k = 1; k <= 64; ++k)
                t.push_back(uchar(s.body[i + k]));
        }
    }
    return out;
}

} // namespace jpegtest
