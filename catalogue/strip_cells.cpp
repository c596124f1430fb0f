#include "catalogue/strip_cells.h"

#include "catalogue/lzrw1codec.h"
#include "catalogue/lzrw1fast.h"
#include "platform/limits.h"

#include <QBuffer>
#include <QFileDevice>
#include <QImageReader>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <limits>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Strips cut while expanding are at most this wide; ours are four thumbnails.
constexpr int kMaxPlainWidth = 65536;
// A strip of another kind is kept whole up to this size.
constexpr qint64 kMaxWholeBytes = qint64(64) << 20;

// One line of a cell: blue-green-red pixels of 3 or 4 bytes to 0xffRRGGBB.
void bgrLine(const uchar* src, int bpp, quint32* dst, int n)
{
    for (int x = 0; x < n; ++x, src += bpp)
        dst[x] = 0xFF000000u | quint32(src[2]) << 16 | quint32(src[1]) << 8 | src[0];
}

QImage blackCell(int side)
{
    QImage cell(side, side, QImage::Format_RGB32);
    cell.fill(Qt::black); // lines below the strip's end stay so
    return cell;
}

} // namespace

StripCells::StripCells(int side, const std::vector<qint64>& wanted) : m_side(std::max(side, 1)), m_wanted(wanted)
{
    open(QIODevice::WriteOnly);
}

StripCells::~StripCells() = default;

bool PlainStrip::parse(const uchar* p)
{
    if (p[0] != 'B' || p[1] != 'M')
        return false;
    const quint32 off = qFromLittleEndian<quint32>(p + 10);
    const quint32 header = qFromLittleEndian<quint32>(p + 14);
    const qint32 w = qFromLittleEndian<qint32>(p + 18);
    const qint32 h = qFromLittleEndian<qint32>(p + 22);
    const quint16 bits = qFromLittleEndian<quint16>(p + 28);
    const quint32 compression = qFromLittleEndian<quint32>(p + 30);
    if (header < 40 || (bits != 24 && bits != 32) || compression != 0 || w <= 0 || w > kMaxPlainWidth || h == 0
        || h == std::numeric_limits<qint32>::min() || off < quint32(kHeaderBytes))
        return false;
    const qint64 absH = h < 0 ? -qint64(h) : qint64(h);
    if (qint64(w) * absH > qv::kMaxPicturePixels)
        return false;
    width = w;
    height = int(absH);
    bpp = bits / 8;
    stride = ((qint64(w) * bits + 31) / 32) * 4;
    offset = off;
    bottomUp = h > 0;
    return true;
}

bool PlainStrip::place(qint64 i, int side, qint64& row, qint64& col) const
{
    const qint64 perRow = width / side;
    if (i < 0 || perRow == 0)
        return false;
    row = i / perRow;
    col = i - 4 * row;
    return row * side < height && col >= 0 && col < perRow;
}

void StripCells::planCells()
{
    const int s = m_side;
    m_perRow = m_strip.width / s;
    if (m_perRow == 0)
        return;
    m_bands.resize(size_t((qint64(m_strip.height) + s - 1) / s));
    for (const qint64 i : m_wanted) {
        qint64 r = 0, col = 0;
        if (m_slotOf.count(i) || !m_strip.place(i, s, r, col))
            continue;
        m_slotOf.emplace(i, int(m_cells.size()));
        m_bands[size_t(r)].emplace_back(int(col), int(m_cells.size()));
        m_cells.emplace_back(); // made when its band arrives
    }
}

void StripCells::takeRow(const uchar* row)
{
    const qint64 y = m_strip.bottomUp ? m_strip.height - 1 - m_rowsDone : m_rowsDone;
    ++m_rowsDone;
    const int s = m_side;
    for (const auto& [col, slot] : m_bands[size_t(y / s)]) {
        QImage& cell = m_cells[size_t(slot)];
        if (cell.isNull())
            cell = blackCell(s);
        bgrLine(row + qint64(col) * s * m_strip.bpp, m_strip.bpp, reinterpret_cast<quint32*>(cell.scanLine(int(y % s))), s);
    }
}

qint64 StripCells::writeData(const char* data, qint64 len)
{
    const auto* p = reinterpret_cast<const uchar*>(data);
    qint64 n = len;
    while (n > 0) {
        if (!m_decided) {
            const qint64 take = std::min<qint64>(n, PlainStrip::kHeaderBytes - m_head.size());
            m_head.append(reinterpret_cast<const char*>(p), take);
            p += take;
            n -= take;
            if (m_head.size() == PlainStrip::kHeaderBytes) {
                m_decided = true;
                m_plain = m_strip.parse(reinterpret_cast<const uchar*>(m_head.constData()));
                if (m_plain)
                    planCells();
            }
            continue;
        }
        if (!m_plain) {
            if (m_head.size() + n > kMaxWholeBytes) {
                m_tooLarge = true;
                setErrorString(QStringLiteral("The thumbnail strip is too large"));
                return -1;
            }
            m_head.append(reinterpret_cast<const char*>(p), n);
            return len;
        }
        if (m_skipped < m_strip.offset - PlainStrip::kHeaderBytes) { // between the header and the pixels
            const qint64 take = std::min<qint64>(n, m_strip.offset - PlainStrip::kHeaderBytes - m_skipped);
            m_skipped += take;
            p += take;
            n -= take;
            continue;
        }
        if (m_rowsDone >= m_strip.height || m_perRow == 0)
            return len; // past the last row, or nothing to cut
        if (m_partial.empty() && n >= m_strip.stride) {
            takeRow(p);
            p += m_strip.stride;
            n -= m_strip.stride;
            continue;
        }
        const qint64 take = std::min<qint64>(n, m_strip.stride - qint64(m_partial.size()));
        m_partial.insert(m_partial.end(), p, p + take);
        p += take;
        n -= take;
        if (qint64(m_partial.size()) == m_strip.stride) {
            takeRow(m_partial.data());
            m_partial.clear();
        }
    }
    return len;
}

bool StripCells::finish()
{
    if (m_plain)
        return m_perRow == 0 || m_rowsDone >= m_strip.height;
    // Another writer's strip, or no header at all: the platform's reader.
    QBuffer buf(&m_head);
    buf.open(QIODevice::ReadOnly);
    QImageReader reader(&buf, "bmp");
    reader.setAllocationLimit(int(kMaxWholeBytes >> 20));
    m_whole = reader.read();
    return true;
}

int StripCells::width() const { return m_plain ? m_strip.width : m_whole.width(); }
int StripCells::height() const { return m_plain ? m_strip.height : m_whole.height(); }

QImage StripCells::cell(qint64 i) const
{
    if (m_plain) {
        const auto it = m_slotOf.find(i);
        return it == m_slotOf.end() ? QImage() : m_cells[size_t(it->second)];
    }
    PlainStrip whole; // the platform's picture, placed as a strip of ours
    whole.width = m_whole.width();
    whole.height = m_whole.height();
    qint64 r = 0, col = 0;
    if (!whole.place(i, m_side, r, col))
        return {};
    return m_whole.copy(int(col * m_side), int(r * m_side), m_side, m_side).convertToFormat(QImage::Format_RGB32);
}

// ---- the strip read in place ----------------------------------------------------------------

LazyStrip::~LazyStrip()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

qint64 LazyStrip::readAt(qint64 pos, void* buf, qint64 n) const
{
    if (pos < 0 || n < 0 || pos > m_end)
        return -1;
    n = std::min(n, m_end - pos);
    if (m_fd < 0) {
        std::memcpy(buf, m_memory.constData() + pos, size_t(n));
        return n;
    }
    qint64 done = 0;
    while (done < n) {
        const ssize_t got = ::pread(m_fd, static_cast<char*>(buf) + done, size_t(n - done), off_t(pos + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

std::shared_ptr<LazyStrip> LazyStrip::open(QIODevice& stream, int side, const QImage& fallback)
{
    if (side <= 0 || stream.isSequential())
        return {};
    std::shared_ptr<LazyStrip> lazy(new LazyStrip);
    lazy->m_base = stream.pos();
    if (auto* file = qobject_cast<QFileDevice*>(&stream); file && file->handle() >= 0) {
        // A handle of our own: the list may outlive the caller's file, and a
        // cache written again later replaces the name, not what we read.
        lazy->m_fd = ::fcntl(file->handle(), F_DUPFD_CLOEXEC, 0);
        struct stat st {};
        if (lazy->m_fd < 0 || ::fstat(lazy->m_fd, &st) != 0)
            return {};
        lazy->m_end = st.st_size;
    } else if (auto* buffer = qobject_cast<QBuffer*>(&stream)) {
        lazy->m_memory = buffer->data();
        lazy->m_end = lazy->m_memory.size();
    } else {
        return {};
    }

    uchar head[lzrw1::kHeaderSize];
    if (lazy->readAt(lazy->m_base, head, sizeof head) != qint64(sizeof head)
        || qFromLittleEndian<quint32>(head) != lzrw1::kFastIdentifier)
        return {};
    lazy->m_size = qFromLittleEndian<quint32>(head + 4);
    // Every block but the last expands to a whole block; the last to less.
    const qint64 blocks = qint64(lazy->m_size) / lzrw1::kBlockSize + 1;
    qint64 at = lazy->m_base + lzrw1::kHeaderSize;
    lazy->m_blocks.reserve(size_t(std::min<qint64>(blocks, (lazy->m_end - at) / 2 + 1)));
    for (qint64 k = 0; k < blocks; ++k) {
        uchar length[2];
        if (lazy->readAt(at, length, 2) != 2)
            return {};
        const int len = length[0] | length[1] << 8;
        if (len > lzrw1::kBlockBufferSize || at + 2 + len > lazy->m_end)
            return {};
        lazy->m_blocks.push_back(at);
        at += 2 + len;
    }

    // The strip's header, from the first block.
    if (lazy->m_size < quint32(PlainStrip::kHeaderBytes) || !lazy->expand(0, PlainStrip::kHeaderBytes)
        || !lazy->m_strip.parse(lazy->m_band.data()))
        return {};
    const PlainStrip& st = lazy->m_strip;
    if (st.offset + st.stride * st.height > qint64(lazy->m_size))
        return {};
    lazy->m_side = side;
    lazy->m_perRow = st.width / side;
    lazy->m_fallback = fallback;
    lazy->m_bandRow = -1;
    return lazy;
}

bool LazyStrip::expand(qint64 from, qint64 to) const
{
    m_band.resize(size_t(to - from));
    std::vector<uchar> packed(lzrw1::kBlockBufferSize);
    std::vector<uchar> plain(lzrw1::kBlockSize + lzrw1::kDecodeSlack);
    for (qint64 k = from / lzrw1::kBlockSize; k * lzrw1::kBlockSize < to; ++k) {
        if (k >= qint64(m_blocks.size()))
            return false;
        uchar length[2];
        if (readAt(m_blocks[size_t(k)], length, 2) != 2)
            return false;
        const int len = length[0] | length[1] << 8;
        if (len > lzrw1::kBlockBufferSize || readAt(m_blocks[size_t(k)] + 2, packed.data(), len) != len)
            return false;
        const qint64 start = k * lzrw1::kBlockSize;
        const qint64 expected = std::min<qint64>(lzrw1::kBlockSize, qint64(m_size) - start);
        if (lzrw1::decodeFastBlock(packed.data(), len, plain.data()) != expected)
            return false;
        const qint64 lo = std::max(from, start), hi = std::min(to, start + expected);
        if (hi > lo)
            std::memcpy(m_band.data() + (lo - from), plain.data() + (lo - start), size_t(hi - lo));
    }
    return true;
}

bool LazyStrip::holds(qint64 i) const
{
    qint64 r = 0, col = 0;
    return m_strip.place(i, m_side, r, col);
}

QImage LazyStrip::cell(qint64 i) const
{
    qint64 r = 0, col = 0;
    if (!m_strip.place(i, m_side, r, col))
        return m_fallback;
    const int s = m_side;
    const qint64 y0 = r * s, y1 = std::min<qint64>(m_strip.height, y0 + s);
    // The file rows of the band, which lie together.
    const qint64 f0 = m_strip.bottomUp ? m_strip.height - y1 : y0;
    const qint64 f1 = m_strip.bottomUp ? m_strip.height - y0 : y1;
    if (r != m_bandRow) {
        m_bandRow = r;
        m_bandGood = expand(m_strip.offset + f0 * m_strip.stride, m_strip.offset + f1 * m_strip.stride);
    }
    if (!m_bandGood)
        return m_fallback;
    QImage out = blackCell(s);
    for (qint64 y = y0; y < y1; ++y) {
        const qint64 f = m_strip.bottomUp ? m_strip.height - 1 - y : y;
        const uchar* src = m_band.data() + (f - f0) * m_strip.stride + col * s * m_strip.bpp;
        bgrLine(src, m_strip.bpp, reinterpret_cast<quint32*>(out.scanLine(int(y - y0))), s);
    }
    return out;
}
