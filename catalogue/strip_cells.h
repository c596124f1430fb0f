// Cuts the thumbnails out of a cache strip while the strip is being expanded,
// so the strip itself (a quarter of a gigabyte for ten thousand thumbnails)
// is never held whole.
#pragma once
#include "catalogue/image_list.h"

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <memory>
#include <unordered_map>
#include <vector>

// The layout of a strip that can be cut in place: an uncompressed 24- or
// 32-bit BMP of moderate width.
struct PlainStrip {
    int width = 0, height = 0, bpp = 0;
    qint64 stride = 0, offset = 0;
    bool bottomUp = true;
    static constexpr int kHeaderBytes = 54;
    // Reads the first kHeaderBytes bytes of a BMP file; false for any other kind.
    bool parse(const uchar* header);
    // Cell i lies in strip row i / perRow, column i - 4 * row: the layout the
    // cache writes (four a row). False for a cell outside the strip.
    bool place(qint64 i, int side, qint64& row, qint64& col) const;
};

class StripCells : public QIODevice {
public:
    // `side`: the thumbnail size; `wanted`: the image indexes the records name.
    // Cell i lies in strip row i / (width / side), column i - 4 * row, the
    // layout the cache writes (four a row).
    StripCells(int side, const std::vector<qint64>& wanted);
    ~StripCells() override;


    // After the expansion. A plain 24- or 32-bit strip is cut as it comes;
    // anything else is kept whole (it comes from other writers and is small)
    // and cut afterwards by the platform's reader.
    int width() const;
    int height() const;
    // The thumbnail of index i, or a null image when it lies outside the strip.
    QImage cell(qint64 i) const;
    // The strip kept whole went past the limit for strips of other writers.
    bool tooLarge() const { return m_tooLarge; }
    // Ends the expansion; false when a plain strip ended before its last row.
    bool finish();

protected:
    qint64 writeData(const char* data, qint64 len) override;
    qint64 readData(char*, qint64) override { return -1; }

private:
    void planCells();
    void takeRow(const uchar* row);

    const int m_side;
    std::vector<qint64> m_wanted;
    QByteArray m_head;      // the bytes before the pixels, or the whole strip when not plain
    bool m_plain = false;   // cut while expanding
    bool m_decided = false; // the header has been looked at
    bool m_tooLarge = false;
    PlainStrip m_strip;
    int m_perRow = 0;
    qint64 m_rowsDone = 0;
    qint64 m_skipped = 0; // bytes passed over between the header and the pixels
    std::vector<uchar> m_partial; // a row split between two writes
    // Per band of the strip (a row of cells): the columns wanted and their slots.
    std::vector<std::vector<std::pair<int, int>>> m_bands;
    std::unordered_map<qint64, int> m_slotOf; // image index -> its cell
    std::vector<QImage> m_cells;
    QImage m_whole; // not plain: the strip read by the platform's reader
};

// A cache strip stored as a FAST stream, read in place: its blocks are
// indexed when the cache is read, and a band of four thumbnails is expanded
// when one of them is first shown. Not for use from several threads.
class LazyStrip final : public CellSource {
public:
    // Null when `stream`, from its position on, is not a FAST stream of a
    // plain strip with every block present (the caller then expands it whole,
    // which reports what is wrong). `fallback` stands in for a cell whose
    // blocks turn out to be damaged.
    static std::shared_ptr<LazyStrip> open(QIODevice& stream, int side, const QImage& fallback);
    ~LazyStrip() override;

    int width() const { return m_strip.width; }
    int height() const { return m_strip.height; }
    // Whether cell i lies inside the strip.
    bool holds(qint64 i) const;
    QImage cell(qint64 i) const override;

private:
    LazyStrip() = default;
    qint64 readAt(qint64 pos, void* buf, qint64 n) const;
    // Expands bytes [from, to) of the strip into m_band; false when a block is damaged.
    bool expand(qint64 from, qint64 to) const;

    int m_fd = -1;        // our own handle of the cache file
    QByteArray m_memory;  // or the stream's bytes when it lives in memory
    qint64 m_base = 0;    // where the stream starts
    qint64 m_end = 0;     // where the file ends
    quint32 m_size = 0;   // the strip's size in bytes, from the stream header
    std::vector<qint64> m_blocks; // position of each block's length word
    PlainStrip m_strip;
    int m_side = 0, m_perRow = 0;
    QImage m_fallback;
    mutable qint64 m_bandRow = -1; // the band held in m_band
    mutable bool m_bandGood = false;
    mutable std::vector<uchar> m_band;
};
