// LZW coding of GIF image data.
#include "formats/gif_lzw.h"

#include "formats/gif_errors.h"
#include "formats/lzw_string_table.h"

#include <QString>
#include <cstring>

void TByteBuffer::clear()
{
    m_bytes.clear();
    m_readPos = 0;
}

std::size_t TByteBuffer::blockSize(std::size_t block) const
{
    const std::size_t start = block * kBlockSize;
    if (start >= m_bytes.size())
        return 0;
    return std::min(kBlockSize, m_bytes.size() - start);
}

void TEncodedBytes::addCode(unsigned code, int length)
{
    // At most 7 bits wait in the accumulator, so 12 more always fit.
    m_bits |= std::uint32_t(code) << m_bitCount;
    m_bitCount += length;
    while (m_bitCount >= 8) {
        m_out.append(std::uint8_t(m_bits & 0xFF));
        m_bits >>= 8;
        m_bitCount -= 8;
    }
}

void TEncodedBytes::flush()
{
    if (m_bitCount > 0)
        m_out.append(std::uint8_t(m_bits & 0xFF));
    m_bits = 0;
    m_bitCount = 0;
}

static constexpr std::uint16_t kNoCode = 0xFFFF;

static inline unsigned hashOf(int prefix, std::uint8_t suffix)
{
    return (unsigned(prefix) * 2654435761u ^ unsigned(suffix) * 40503u) >> 19; // 13 bits
}

void TCodeTable::init(int minCodeSize)
{
    const int clear = 1 << minCodeSize;
    codeLength = minCodeSize + 1;
    firstFree = clear + 2;
    nextFree = firstFree;
    full = false;
    std::memset(m_hash, 0xFF, sizeof m_hash);
}

void TCodeTable::add(int prefixCode, std::uint8_t suffixByte)
{
    if (nextFree >= kMaxCodes)
        return; // never reached: a full table is reset before the next entry
    prefix[nextFree] = std::uint16_t(prefixCode);
    suffix[nextFree] = suffixByte;
    // At most 4096 of the 8192 slots are taken, so a free one is always found.
    unsigned h = hashOf(prefixCode, suffixByte);
    for (int probes = 0; probes < kHashSize && m_hash[h] != kNoCode; ++probes)
        h = (h + 1) & (kHashSize - 1);
    m_hash[h] = std::uint16_t(nextFree);
    ++nextFree;
    if (nextFree >= kMaxCodes)
        full = true;
    else if (nextFree > (1 << codeLength))
        ++codeLength;
}

int TCodeTable::find(int prefixCode, std::uint8_t suffixByte) const
{
    unsigned h = hashOf(prefixCode, suffixByte);
    for (int probes = 0; probes < kHashSize; ++probes) {
        const std::uint16_t c = m_hash[h];
        if (c == kNoCode)
            return -1;
        if (prefix[c] == prefixCode && suffix[c] == suffixByte)
            return c;
        h = (h + 1) & (kHashSize - 1);
    }
    return -1;
}

void LzwEncode(const std::uint8_t* pixels, std::size_t count, int minCodeSize, TByteBuffer& out,
               const std::function<void(double)>& progress)
{
    if (minCodeSize < 2 || minCodeSize > 9)
        throw EGifException(QStringLiteral("Bad code Size"));
    const unsigned clear = 1u << minCodeSize;
    const unsigned end = clear + 1;
    for (std::size_t i = 0; i < count; ++i)
        if (pixels[i] >= clear)
            throw EIndexOutOfBounds(QStringLiteral("Dynamic array index out of bounds"));

    auto table = std::make_unique<TCodeTable>();
    table->init(minCodeSize);
    TEncodedBytes enc(out);
    enc.addCode(clear, table->codeLength);
    if (count == 0) {
        enc.addCode(end, table->codeLength);
        enc.flush();
        return;
    }
    std::size_t i = 0;
    int previous = pixels[i++];
    enc.addCode(unsigned(previous), table->codeLength);
    if (progress)
        progress(0.0);

    while (i < count) {
        const std::uint8_t p = pixels[i++];
        table->add(previous, p);
        int current = p;
        while (i < count) {
            const int c = table->find(current, pixels[i]);
            if (c < 0)
                break; // pixels[i] starts the next string
            current = c;
            ++i;
        }
        enc.addCode(unsigned(current), table->codeLength);
        if (table->full && i < count) {
            enc.addCode(clear, table->codeLength);
            table->init(minCodeSize);
            previous = pixels[i++];
            enc.addCode(unsigned(previous), table->codeLength);
            if (progress)
                progress(double(i) / double(count));
        } else {
            previous = current;
        }
    }
    // A reader widens its codes as soon as its table reaches 2^length, which
    // happens on reading the last code; the end code must have that width too.
    int endLength = table->codeLength;
    if (!table->full && table->nextFree == 1 << table->codeLength)
        ++endLength;
    enc.addCode(end, endLength);
    enc.flush();
    if (progress)
        progress(1.0);
}

namespace {

// Places decoded pixels into rows, in pass order for interlaced pictures.
class RowWriter {
public:
    RowWriter(TByteArray2D& pixels, bool interlaced, const std::function<void()>& rowDone)
        : m_pixels(pixels), m_rowDone(rowDone), m_interlaced(interlaced),
          m_width(pixels.columns()), m_height(pixels.rows())
    {
        m_buffer.resize(m_width);
        m_done = m_width == 0 || m_height == 0;
    }

    bool done() const { return m_done; }

    // Pixels past the end of the picture are dropped: encoders that omit the
    // end code may pad the last byte with whole codes.
    void put(const std::uint8_t* run, std::size_t n)
    {
        while (n > 0 && !m_done) {
            const std::size_t k = std::min(n, m_width - m_column);
            std::memcpy(m_buffer.data() + m_column, run, k);
            m_column += k;
            run += k;
            n -= k;
            if (m_column == m_width)
                finishRow();
        }
    }

private:
    void finishRow()
    {
        m_pixels.setRow(m_rowIndex + 1, m_buffer.data());
        m_column = 0;
        if (m_rowDone)
            m_rowDone();
        static constexpr std::size_t start[4] = {0, 4, 2, 1};
        static constexpr std::size_t step[4] = {8, 8, 4, 2};
        if (!m_interlaced) {
            if (++m_rowIndex >= m_height)
                m_done = true;
            return;
        }
        m_rowIndex += step[m_pass];
        while (m_rowIndex >= m_height) { // passes that start below the picture are skipped
            if (++m_pass >= 4) {
                m_done = true;
                return;
            }
            m_rowIndex = start[m_pass];
        }
    }

    TByteArray2D& m_pixels;
    const std::function<void()>& m_rowDone;
    bool m_interlaced;
    std::size_t m_width, m_height;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_column = 0, m_rowIndex = 0;
    int m_pass = 0;
    bool m_done = false;
};

// Reads codes least significant bit first from the encoded bytes.
class CodeReader {
public:
    explicit CodeReader(TByteBuffer& data) : m_data(data) { m_data.rewind(); }
    unsigned read(int length)
    {
        while (m_bitCount < length) {
            if (m_data.atEnd())
                throw EGifException(QStringLiteral("Image data ends before the end code"));
            m_bits |= std::uint32_t(m_data.read()) << m_bitCount;
            m_bitCount += 8;
        }
        const unsigned code = m_bits & ((1u << length) - 1);
        m_bits >>= length;
        m_bitCount -= length;
        return code;
    }

private:
    TByteBuffer& m_data;
    std::uint32_t m_bits = 0;
    int m_bitCount = 0;
};

} // namespace

void LzwDecode(TByteBuffer& data, int minCodeSize, bool interlaced, TByteArray2D& pixels,
               const std::function<void()>& rowDone)
{
    // Sizes 10 and 11 leave room for few or no table entries but are valid
    // codes; 12 would need 13-bit codes.
    if (minCodeSize < 2 || minCodeSize > kMaxDecodableMinCodeSize)
        throw EGifException(QStringLiteral("Bad code Size"));
    const unsigned clear = 1u << minCodeSize;
    const unsigned end = clear + 1;

    // Literal codes above 255 (code sizes 10 and 11) cannot be a colour
    // index; they give index 0, as a code missing from the table does.
    LzwStringTable table(clear);
    table.reset(clear + 2);
    RowWriter writer(pixels, interlaced, rowDone);
    CodeReader reader(data);
    int codeLength = minCodeSize + 1;
    unsigned limit = 1u << (minCodeSize + 1);
    bool afterClear = true; // a stream that does not start with a clear code is read as if it did
    unsigned previous = 0;

    // Codes widen as soon as the table reaches 2^length. A full table at 12
    // bits stays as it is until a clear code: the encoder may defer the clear
    // and go on with 12-bit codes of the existing strings.
    auto addEntry = [&](unsigned pre, std::uint8_t byte) {
        if (table.add(pre, byte) && table.nextFree() == limit && codeLength < 12) {
            limit <<= 1;
            ++codeLength;
        }
    };
    auto output = [&](unsigned code) {
        const std::uint8_t* string = nullptr;
        const std::size_t n = table.spell(code, &string);
        writer.put(string, n);
    };

    // Every pass reads at least three bits, so the loop ends with the data.
    // Once the picture is complete nothing more is read: the end code, or the
    // end of the data when the encoder left the end code out, may follow.
    while (!writer.done()) {
        unsigned code = reader.read(codeLength);
        if (code == clear) {
            codeLength = minCodeSize + 1;
            table.reset(clear + 2);
            limit = 1u << (minCodeSize + 1);
            afterClear = true;
            continue;
        }
        if (afterClear) {
            if (code == end)
                throw EGifException(QStringLiteral("Bad code"));
            if (code >= table.nextFree())
                code = 0;
            writer.put(&table.first(code), 1);
            previous = code;
            afterClear = false;
            continue;
        }
        if (code == end)
            break;
        if (code < table.nextFree()) {
            output(code);
            addEntry(previous, table.first(code));
        } else if (code == table.nextFree()) {
            addEntry(previous, table.first(previous));
            output(code);
        } else {
            throw EGifException(QStringLiteral("Bad code"));
        }
        previous = code;
    }
}
