// Cuts the thumbnails out of a cache strip while the strip is being expanded,
// so the strip itself (a quarter of a gigabyte for ten thousand thumbnails)
// is never held whole.
#pragma once
#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <memory>
#include <unordered_map>
#include <vector>

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
    struct Arena;
    bool parseHeader();
    void planCells();
    void takeRow(const uchar* row);

    const int m_side;
    std::vector<qint64> m_wanted;
    QByteArray m_head;      // the bytes before the pixels, or the whole strip when not plain
    bool m_plain = false;   // cut while expanding
    bool m_decided = false; // the header has been looked at
    bool m_tooLarge = false;
    int m_width = 0, m_height = 0, m_bpp = 0, m_perRow = 0;
    qint64 m_stride = 0, m_offset = 0;
    bool m_bottomUp = true;
    qint64 m_rowsDone = 0;
    qint64 m_skipped = 0; // bytes passed over between the header and the pixels
    std::vector<uchar> m_partial; // a row split between two writes
    // Per band of the strip (a row of cells): the columns wanted and their slots.
    std::vector<std::vector<std::pair<int, int>>> m_bands;
    std::unordered_map<qint64, int> m_slotOf; // image index -> slot in the arena
    std::shared_ptr<Arena> m_arena;
    QImage m_whole; // not plain: the strip read by the platform's reader
};
