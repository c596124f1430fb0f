// The one way the readers and the metafile player take bytes from a file:
// fixed-order field reads and a checked cursor over a byte range.
#pragma once
#include <QByteArrayView>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace qv {

inline quint16 le16(const uchar* p) { return quint16(p[0] | (p[1] << 8)); }
inline quint32 le32(const uchar* p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}
inline quint16 be16(const uchar* p) { return quint16((p[0] << 8) | p[1]); }
inline quint32 be32(const uchar* p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}
inline void putLe16(uchar* p, quint16 v) { p[0] = uchar(v); p[1] = uchar(v >> 8); }
inline void putLe32(uchar* p, quint32 v)
{
    p[0] = uchar(v); p[1] = uchar(v >> 8); p[2] = uchar(v >> 16); p[3] = uchar(v >> 24);
}

// Called with an offset of the file: the bytes before it are done with, so a
// mapped file may hand their pages back.
using ReleaseHook = std::function<void(std::size_t)>;

// Reads from a byte range. Every request either succeeds whole or takes
// nothing: a short read gives null or false and leaves the cursor where it
// was, and the caller turns that into its format's own error.
class ByteCursor {
public:
    enum class Order { LittleEndian, BigEndian };

    ByteCursor() : ByteCursor(QByteArrayView()) {}
    explicit ByteCursor(QByteArrayView data, Order order = Order::LittleEndian)
        : m_data(reinterpret_cast<const uchar*>(data.data())), m_size(std::size_t(data.size())), m_order(order) {}

    std::size_t pos() const { return m_pos; }
    std::size_t size() const { return m_size; }
    std::size_t remaining() const { return m_size - m_pos; }
    bool atEnd() const { return m_pos >= m_size; }

    // The byte order of the 16- and 32-bit reads.
    void setOrder(Order order) { m_order = order; }
    Order order() const { return m_order; }

    // Next byte; at the end it returns false and leaves *out untouched.
    bool byte(uchar* out)
    {
        if (m_pos >= m_size)
            return false;
        *out = m_data[m_pos++];
        return true;
    }
    bool u16(quint16* out) { return read16(take(2), out); }
    bool u32(quint32* out) { return read32(take(4), out); }
    // Points at the next n bytes and steps over them, or null when fewer remain.
    const uchar* take(std::size_t n)
    {
        if (n > remaining())
            return nullptr;
        const uchar* p = m_data + m_pos;
        m_pos += n;
        return p;
    }
    bool skip(std::size_t n) { return take(n) != nullptr; }
    bool seek(std::size_t pos)
    {
        if (pos > m_size)
            return false;
        m_pos = pos;
        return true;
    }

    // Random access, without moving: the n bytes at pos, or null when they
    // are not all there.
    const uchar* at(std::size_t pos, std::size_t n) const
    {
        return holds(pos, n) ? m_data + pos : nullptr;
    }
    bool holds(std::size_t pos, std::size_t n) const { return pos <= m_size && n <= m_size - pos; }
    bool u16At(std::size_t pos, quint16* out) const { return read16(at(pos, 2), out); }
    bool u32At(std::size_t pos, quint32* out) const { return read32(at(pos, 4), out); }
    // The bytes [pos, pos + n) as a cursor of their own in the same byte
    // order; an empty one when they are not all there.
    ByteCursor window(std::size_t pos, std::size_t n) const
    {
        const uchar* p = at(pos, n);
        return ByteCursor(p ? QByteArrayView(p, qsizetype(n)) : QByteArrayView(), m_order);
    }

    // Stops reading at end (end <= size): what lies behind is not wanted.
    void limit(std::size_t end)
    {
        if (end < m_size)
            m_size = end < m_pos ? m_pos : end;
    }

    // Decoders that read front to back call releaseRead() now and then; the
    // hook hears of the bytes behind the cursor a few MiB at a time.
    void setReleaseHook(const ReleaseHook* hook) { m_release = hook; }
    void releaseRead()
    {
        if (m_release && *m_release && m_pos - m_released >= kReleaseStep) {
            (*m_release)(m_pos);
            m_released = m_pos;
        }
    }

private:
    bool read16(const uchar* p, quint16* out) const
    {
        if (!p)
            return false;
        *out = m_order == Order::BigEndian ? be16(p) : le16(p);
        return true;
    }
    bool read32(const uchar* p, quint32* out) const
    {
        if (!p)
            return false;
        *out = m_order == Order::BigEndian ? be32(p) : le32(p);
        return true;
    }

    static constexpr std::size_t kReleaseStep = std::size_t(4) << 20;
    const uchar* m_data;
    std::size_t m_size;
    Order m_order;
    std::size_t m_pos = 0;
    std::size_t m_released = 0;
    const ReleaseHook* m_release = nullptr;
};

} // namespace qv
