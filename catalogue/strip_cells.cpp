#include "catalogue/strip_cells.h"

#include "platform/limits.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <limits>
#include <sys/mman.h>

namespace {

constexpr int kBmpHeader = 54;
// Strips cut while expanding are at most this wide; ours are four thumbnails.
constexpr int kMaxPlainWidth = 65536;
// A strip of another kind is kept whole up to this size.
constexpr qint64 kMaxWholeBytes = qint64(64) << 20;

} // namespace

// One block of memory for every thumbnail of the strip: one allocation rather
// than thousands, in large pages where the system offers them. It lives until
// the last thumbnail cut into it is gone.
struct StripCells::Arena {
    uchar* base = nullptr;
    size_t bytes = 0;

    explicit Arena(size_t n) : bytes(n)
    {
        if (n == 0)
            return;
        void* p = ::mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        ::madvise(p, n, MADV_HUGEPAGE);
        base = static_cast<uchar*>(p);
    }
    ~Arena()
    {
        if (base)
            ::munmap(base, bytes);
    }
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
};

StripCells::StripCells(int side, const std::vector<qint64>& wanted) : m_side(std::max(side, 1)), m_wanted(wanted)
{
    open(QIODevice::WriteOnly);
}

StripCells::~StripCells() = default;

bool StripCells::parseHeader()
{
    const auto* p = reinterpret_cast<const uchar*>(m_head.constData());
    if (p[0] != 'B' || p[1] != 'M')
        return false;
    const quint32 offset = qFromLittleEndian<quint32>(p + 10);
    const quint32 header = qFromLittleEndian<quint32>(p + 14);
    const qint32 w = qFromLittleEndian<qint32>(p + 18);
    const qint32 h = qFromLittleEndian<qint32>(p + 22);
    const quint16 bits = qFromLittleEndian<quint16>(p + 28);
    const quint32 compression = qFromLittleEndian<quint32>(p + 30);
    if (header < 40 || (bits != 24 && bits != 32) || compression != 0 || w <= 0 || w > kMaxPlainWidth || h == 0
        || h == std::numeric_limits<qint32>::min() || offset < quint32(kBmpHeader))
        return false;
    const qint64 absH = h < 0 ? -qint64(h) : qint64(h);
    if (qint64(w) * absH > qv::kMaxPicturePixels)
        return false;
    m_width = w;
    m_height = int(absH);
    m_bpp = bits / 8;
    m_stride = ((qint64(w) * bits + 31) / 32) * 4;
    m_offset = offset;
    m_bottomUp = h > 0;
    return true;
}

void StripCells::planCells()
{
    const int s = m_side;
    m_perRow = m_width / s;
    if (m_perRow == 0)
        return;
    m_bands.resize(size_t((qint64(m_height) + s - 1) / s));
    int used = 0;
    for (const qint64 i : m_wanted) {
        if (i < 0 || m_slotOf.count(i))
            continue;
        const qint64 r = i / m_perRow;
        const qint64 col = i - 4 * r;
        if (r * s >= m_height || col < 0 || col >= m_perRow)
            continue;
        m_slotOf.emplace(i, used);
        m_bands[size_t(r)].emplace_back(int(col), used);
        ++used;
    }
    const size_t cellBytes = size_t(s) * size_t(s) * 4;
    m_arena = std::make_shared<Arena>(size_t(used) * cellBytes);
    // The lines of the last band below the strip's end are never sent: black.
    const int last = int(m_bands.size()) - 1;
    const int inside = m_height - last * s;
    if (last >= 0 && inside < s)
        for (const auto& [col, slot] : m_bands[size_t(last)]) {
            Q_UNUSED(col)
            auto* dst = reinterpret_cast<quint32*>(m_arena->base + size_t(slot) * cellBytes);
            std::fill(dst + size_t(inside) * size_t(s), dst + size_t(s) * size_t(s), 0xFF000000u);
        }
}

void StripCells::takeRow(const uchar* row)
{
    const qint64 y = m_bottomUp ? m_height - 1 - m_rowsDone : m_rowsDone;
    ++m_rowsDone;
    const int s = m_side;
    const auto& band = m_bands[size_t(y / s)];
    const size_t cellBytes = size_t(s) * size_t(s) * 4;
    const int line = int(y % s);
    for (const auto& [col, slot] : band) {
        const uchar* src = row + qint64(col) * s * m_bpp;
        auto* dst = reinterpret_cast<quint32*>(m_arena->base + size_t(slot) * cellBytes + size_t(line) * size_t(s) * 4);
        if (m_bpp == 3) {
            for (int x = 0; x < s; ++x, src += 3)
                dst[x] = 0xFF000000u | quint32(src[2]) << 16 | quint32(src[1]) << 8 | src[0];
        } else {
            for (int x = 0; x < s; ++x, src += 4)
                dst[x] = 0xFF000000u | quint32(src[2]) << 16 | quint32(src[1]) << 8 | src[0];
        }
    }
}

qint64 StripCells::writeData(const char* data, qint64 len)
{
    const auto* p = reinterpret_cast<const uchar*>(data);
    qint64 n = len;
    while (n > 0) {
        if (!m_decided) {
            const qint64 take = std::min<qint64>(n, kBmpHeader - m_head.size());
            m_head.append(reinterpret_cast<const char*>(p), take);
            p += take;
            n -= take;
            if (m_head.size() == kBmpHeader) {
                m_decided = true;
                m_plain = parseHeader();
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
        if (m_skipped < m_offset - kBmpHeader) { // what lies between the header and the pixels
            const qint64 take = std::min<qint64>(n, m_offset - kBmpHeader - m_skipped);
            m_skipped += take;
            p += take;
            n -= take;
            continue;
        }
        if (m_rowsDone >= m_height || m_perRow == 0)
            return len; // past the last row, or nothing to cut
        if (m_partial.empty() && n >= m_stride) {
            takeRow(p);
            p += m_stride;
            n -= m_stride;
            continue;
        }
        const qint64 take = std::min<qint64>(n, m_stride - qint64(m_partial.size()));
        m_partial.insert(m_partial.end(), p, p + take);
        p += take;
        n -= take;
        if (qint64(m_partial.size()) == m_stride) {
            takeRow(m_partial.data());
            m_partial.clear();
        }
    }
    return len;
}

bool StripCells::finish()
{
    if (m_plain)
        return m_perRow == 0 || m_rowsDone >= m_height;
    // Another writer's strip, or no header at all: the platform's reader.
    QBuffer buf(&m_head);
    buf.open(QIODevice::ReadOnly);
    QImageReader reader(&buf, "bmp");
    reader.setAllocationLimit(int(kMaxWholeBytes >> 20));
    m_whole = reader.read();
    return true;
}

int StripCells::width() const { return m_plain ? m_width : m_whole.width(); }
int StripCells::height() const { return m_plain ? m_height : m_whole.height(); }

QImage StripCells::cell(qint64 i) const
{
    const int s = m_side;
    if (m_plain) {
        const auto it = m_slotOf.find(i);
        if (it == m_slotOf.end())
            return {};
        const size_t cellBytes = size_t(s) * size_t(s) * 4;
        // Each thumbnail holds a share of the block for as long as it lives.
        auto* share = new std::shared_ptr<Arena>(m_arena);
        return QImage(m_arena->base + size_t(it->second) * cellBytes, s, s, s * 4, QImage::Format_RGB32,
                      [](void* info) { delete static_cast<std::shared_ptr<Arena>*>(info); }, share);
    }
    const int perRow = m_whole.width() / s;
    if (perRow == 0 || i < 0)
        return {};
    const qint64 r = i / perRow;
    const qint64 col = i - 4 * r;
    if (r * s >= m_whole.height() || col < 0 || col >= perRow)
        return {};
    return m_whole.copy(int(col * s), int(r * s), s, s).convertToFormat(QImage::Format_RGB32);
}
