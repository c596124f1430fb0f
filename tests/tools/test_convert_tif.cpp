// qvtool convert and info on TIFF files and drawing previews, and on cut ".tif" and
// ".cdr" files, which never crash it.
#include "support/testutil.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qvtest;

TEST(QvtoolConvertTif, MapFormatsAndDamagedFiles)
{
    QTemporaryDir dir;
    // A drawing whose preview is 3 x 2 at 8 bits, grey table.
    QByteArray cdr(34, '\0');
    for (quint32 v : {40u, 3u, 2u, 1u | (8u << 16), 0u, 0u, 0u, 0u, 0u, 0u})
        cdr.append(reinterpret_cast<const char*>(&v), 4); // little-endian host
    for (quint32 i = 0; i < 256; ++i)
        cdr.append(char(i)).append(char(i)).append(char(i)).append('\0');
    cdr += QByteArray::fromHex("1020300040506000");
    std::vector<std::pair<QString, QByteArray>> samples{{"cdr", cdr}};
    writeFile(dir.filePath("d.cdr"), cdr);
    ToolResult r = runQvtool({"info", dir.filePath("d.cdr")});
    EXPECT_EQ(r.out, "width: 3\nheight: 2\nbits per pixel: 8\n") << r.err.constData();

    const QString tif = dir.filePath("p.TIF");
    if (QProcess::execute("convert", {"-size", "17x9", "-seed", "5", "plasma:", "-colors", "12", "-type", "Palette",
                                      "-depth", "4", "-compress", "LZW", tif}) == 0) {
        r = runQvtool({"convert", tif, dir.filePath("p.png")});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_EQ(QImage(dir.filePath("p.png")).size(), QSize(17, 9));
        EXPECT_EQ(runQvtool({"info", tif}).out, "width: 17\nheight: 9\nbits per pixel: 4\n");
        samples.emplace_back("tif", readFile(tif));
    }

    // Cut files: status 0, or 1 with the dispatch's message (random and mutated ones are
    // the fuzz targets' part).
    for (const auto& [ext, bytes] : samples)
        for (int cut : {8, 60, 74, 100, int(bytes.size() / 2), int(bytes.size() - 20)}) {
            writeFile(dir.filePath("f." + ext), bytes.left(cut));
            r = runQvtool({"convert", dir.filePath("f." + ext), dir.filePath("out.png")});
            EXPECT_TRUE(r.exitCode == 0 || (r.exitCode == 1 && r.err.contains("Errore nella lettura del file")))
                << qPrintable(ext) << " cut at " << cut << ": exit " << r.exitCode << " " << r.err.constData();
        }
}
