// Test helpers for the TIFF reader: a file builder in either byte order, an
// LZW code writer, and the reader's message for a file.
#pragma once
#include "formats/tif_map.h"

#include <QByteArray>
#include <QString>
#include <initializer_list>
#include <map>
#include <utility>
#include <vector>

namespace qvtest {

enum TifType : quint16 { TifShort = 3, TifLong = 4 };

class TifBuilder {
public:
    explicit TifBuilder(bool bigEndian = false) : m_big(bigEndian)
    {
        m_file = QByteArray(bigEndian ? "MM" : "II") + num(42, 2) + num(0, 4);
    }
    // Bytes in the file's order.
    QByteArray num(quint32 v, int size) const
    {
        QByteArray b;
        for (int i = 0; i < size; ++i)
            b.append(char(v >> (8 * (m_big ? size - 1 - i : i))));
        return b;
    }
    // Appends bytes to the file and gives their offset.
    quint32 data(const QByteArray& bytes)
    {
        const quint32 at = quint32(m_file.size());
        m_file.append(bytes);
        if (m_file.size() & 1)
            m_file.append('\0');
        return at;
    }
    // An entry: its values inside the entry when they fit, else written first.
    void set(quint16 tag, std::vector<quint32> values, quint16 type = TifLong)
    {
        QByteArray bytes;
        for (quint32 v : values)
            bytes += num(v, type == TifShort ? 2 : 4);
        const QByteArray field = bytes.size() <= 4 ? bytes.leftJustified(4, '\0') : num(data(bytes), 4);
        m_entries[tag] = num(tag, 2) + num(type, 2) + num(quint32(values.size()), 4) + field;
    }
    // An entry pointing anywhere.
    void setRaw(quint16 tag, quint16 type, quint32 count, quint32 offset)
    {
        m_entries[tag] = num(tag, 2) + num(type, 2) + num(count, 4) + num(offset, 4);
    }
    void remove(quint16 tag) { m_entries.erase(tag); }

    // The tags of a picture stored as the given strips.
    void picture(quint32 width, quint32 height, quint32 bitsPerSample, quint32 samples, quint32 compression,
                 quint32 photometric, const std::vector<QByteArray>& strips, quint32 rowsPerStrip)
    {
        set(256, {width});
        set(257, {height});
        set(258, std::vector<quint32>(samples, bitsPerSample), TifShort);
        set(259, {compression}, TifShort);
        set(262, {photometric}, TifShort);
        std::vector<quint32> offsets, counts;
        for (const QByteArray& s : strips) {
            offsets.push_back(data(s));
            counts.push_back(quint32(s.size()));
        }
        set(273, offsets);
        set(277, {samples}, TifShort);
        set(278, {rowsPerStrip});
        set(279, counts);
    }

    // The data so far, then the directory.
    QByteArray build() const
    {
        QByteArray f = m_file;
        f.replace(4, 4, num(quint32(f.size()), 4));
        f += num(quint32(m_entries.size()), 2);
        for (const auto& entry : m_entries)
            f += entry.second;
        return f + num(0, 4);
    }

private:
    bool m_big;
    QByteArray m_file;
    std::map<quint16, QByteArray> m_entries;
};

// LZW codes most significant bit first, as wide as a TIFF decoder reads them:
// the decoder adds an entry on every code but the first after a clear (and
// the clear and end codes), and widens at 511, 1023 and 2047 entries.
class LzwCodeWriter {
public:
    LzwCodeWriter& code(int c)
    {
        m_acc = (m_acc << m_width) | quint64(c);
        for (m_bits += m_width; m_bits >= 8; m_bits -= 8)
            m_out.append(char(m_acc >> (m_bits - 8)));
        if (c == 256) {
            m_next = 258;
            m_width = 9;
        } else if (c != 257 && !std::exchange(m_fresh, false)) {
            ++m_next;
            m_width += m_next == 511 || m_next == 1023 || m_next == 2047;
        }
        m_fresh = m_fresh || c == 256;
        return *this;
    }
    LzwCodeWriter& codes(std::initializer_list<int> cs)
    {
        for (int c : cs)
            code(c);
        return *this;
    }
    QByteArray bytes() const { return m_bits ? m_out + char(m_acc << (8 - m_bits)) : m_out; }
    int next() const { return m_next; }

private:
    QByteArray m_out;
    quint64 m_acc = 0;
    int m_bits = 0, m_width = 9, m_next = 258;
    bool m_fresh = true;
};

// LZW of bytes as literals between a clear and the end code.
inline QByteArray lzwLiterals(const QByteArray& bytes)
{
    LzwCodeWriter w;
    w.code(256);
    for (char c : bytes)
        w.code(uchar(c));
    return w.code(257).bytes();
}

// The reader's message for a file, or "" when it decodes.
inline QString tifFailure(const QByteArray& tif)
{
    try {
        TifToBitmapFile(tif);
        return QString();
    } catch (const ETifException& e) {
        return e.message();
    }
}

} // namespace qvtest
