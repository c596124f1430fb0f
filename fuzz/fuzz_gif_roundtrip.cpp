// Fuzz target: pictures made from the input are written as GIF and read back;
// the indices, tables and colours must come back unchanged.
#include "formats/gif_file.h"
#include "formats/gif_image.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

class Input {
public:
    Input(const std::uint8_t* d, std::size_t n) : m_d(d), m_n(n) {}
    std::uint8_t next() { return m_pos < m_n ? m_d[m_pos++] : std::uint8_t(m_pos++ * 131 >> 3); }

private:
    const std::uint8_t* m_d;
    std::size_t m_n, m_pos = 0;
};

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// Indexed images straight through AddSubImage, SaveToBytes and LoadFromBytes.
void indexedRoundTrip(Input& in)
{
    static constexpr int counts[] = {2, 16, 256};
    TGifFile gif;
    const int images = 1 + in.next() % 3;
    std::vector<TColorTable> tables;
    std::vector<TByteArray2D> matrices;
    for (int k = 0; k < images; ++k) {
        TColorTable table;
        // The first image's table is global (2, 16 or 256); later ones any power of two.
        table.count = k == 0 ? counts[in.next() % 3] : 2 << (in.next() % 8);
        for (int i = 0; i < table.count; ++i)
            for (int c = 0; c < 3; ++c)
                table.entries[i][c] = in.next();
        const std::size_t w = 1 + in.next() % 80, h = 1 + in.next() % 80;
        const int run = 1 + in.next() % 8; // runs make the coder find long strings
        TByteArray2D px(w, h);
        std::uint8_t v = 0;
        for (std::size_t i = 0; i < w * h; ++i) {
            if (i % std::size_t(run) == 0)
                v = std::uint8_t(in.next() % table.count);
            px.bytes().data()[i] = v;
        }
        gif.AddSubImage(table, px);
        gif.images.back()->interlaced = in.next() & 1;
        tables.push_back(table);
        matrices.push_back(px);
    }
    TGifFile back;
    back.LoadFromBytes(gif.SaveToBytes());
    check(back.images.size() == std::size_t(images));
    for (int k = 0; k < images; ++k) {
        const TGifSubImage& image = *back.images[std::size_t(k)];
        const TByteArray2D& px = matrices[std::size_t(k)];
        check(image.pixels.columns() == px.columns() && image.pixels.rows() == px.rows());
        check(std::memcmp(image.pixels.bytes().data(), px.bytes().data(), px.bytes().count()) == 0);
        const TColorTable& t = k == 0 ? back.globalColorTable : image.colorTable;
        check(std::memcmp(t.entries, tables[std::size_t(k)].entries, std::size_t(tables[std::size_t(k)].count) * 3) == 0);
    }
}

// A true-colour picture through the reduction to indices and back.
void pictureRoundTrip(Input& in)
{
    const int w = 1 + in.next() % 64, h = 1 + in.next() % 64;
    const int colours = 1 + in.next() % 300; // beyond 256 the conversion must fail
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int c = (in.next() | in.next() << 8) % colours;
            img.setPixel(x, y, qRgb(c & 0xFF, c >> 8, 7));
        }
    QByteArray gif;
    try {
        gif = EncodeGifPicture(img);
    } catch (const EGifConversionError&) {
        return;
    }
    const QImage back = DecodeGifPicture(gif);
    check(back.size() == img.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            check(back.pixel(x, y) == img.pixel(x, y));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    Input in(data + 1, size - 1);
    if (data[0] & 1)
        indexedRoundTrip(in);
    else
        pictureRoundTrip(in);
    return 0;
}
