// Test helpers for the TIFF reader: a TIFF file builder in either byte order,
// PackBits and LZW code writers, and a call that gives the reader's message.
#pragma once
#include "formats/tif_map.h"

#include <QByteArray>
#include <QString>
#include <initializer_list>
#include <map>
#include <vector>

namespace qvtest {

enum TifType : quint16 { TifByte = 1, TifShort = 3, TifLong = 4 };

class TifBuilder {
public:
    explicit TifBuilder(bool bigEndian = false) : m_big(bigEndian)
    {
        m_file = bigEndian ? QByteArray("MM") : QByteArray("II");
        put16(m_file, 42);
        put32(m_file, 0); // directory offset, set by build()
    }

    bool bigEndian() const { return m_big; }

    // Appends bytes to the file (after what is there) and returns their offset.
    quint32 data(const QByteArray& bytes)
    {
        const quint32 at = quint32(m_file.size());
        m_file.append(bytes);
        if (m_file.size() & 1)
            m_file.append('\0');
        return at;
    }

    // Values in the file's byte order.
    QByteArray shorts(std::initializer_list<quint32> values) const { return shorts(std::vector<quint32>(values)); }
    QByteArray shorts(const std::vector<quint32>& values) const
    {
        QByteArray b;
        for (quint32 v : values)
            put16(b, v);
        return b;
    }
    QByteArray longs(const std::vector<quint32>& values) const
    {
        QByteArray b;
        for (quint32 v : values)
            put32(b, v);
        return b;
    }

    // An entry whose values fit in its field (at most 4 bytes).
    void inlineEntry(quint16 tag, quint16 type, quint32 count, const QByteArray& values)
    {
        Entry e{type, count, values.leftJustified(4, '\0')};
        m_entries[tag] = e;
    }
    // An entry whose values lie at an offset.
    void offsetEntry(quint16 tag, quint16 type, quint32 count, quint32 offset)
    {
        QByteArray field;
        put32(field, offset);
        m_entries[tag] = Entry{type, count, field};
    }
    void setShort(quint16 tag, quint32 v) { inlineEntry(tag, TifShort, 1, shorts({v})); }
    void setLong(quint16 tag, quint32 v) { inlineEntry(tag, TifLong, 1, longs({v})); }
    // An array: inline when it fits, else written to the file first.
    void setArray(quint16 tag, quint16 type, const std::vector<quint32>& values)
    {
        const QByteArray bytes = type == TifShort ? shorts(values) : longs(values);
        if (bytes.size() <= 4)
            inlineEntry(tag, type, quint32(values.size()), bytes);
        else
            offsetEntry(tag, type, quint32(values.size()), data(bytes));
    }
    void remove(quint16 tag) { m_entries.erase(tag); }

    // The file: data so far, then the directory (entries sorted by tag).
    QByteArray build() const
    {
        QByteArray f = m_file;
        if (f.size() & 1)
            f.append('\0');
        const quint32 ifd = quint32(f.size());
        put16(f, quint32(m_entries.size()));
        for (const auto& [tag, e] : m_entries) {
            put16(f, tag);
            put16(f, e.type);
            put32(f, e.count);
            f.append(e.field);
        }
        put32(f, 0);
        QByteArray offset;
        put32(offset, ifd);
        f.replace(4, 4, offset);
        return f;
    }

    // The tags of a plain picture stored as the given strips.
    void picture(quint32 width, quint32 height, quint32 bitsPerSample, quint32 samples, quint32 compression,
                 quint32 photometric, const std::vector<QByteArray>& strips, quint32 rowsPerStrip)
    {
        setLong(256, width);
        setLong(257, height);
        if (samples == 1)
            setShort(258, bitsPerSample);
        else
            setArray(258, TifShort, std::vector<quint32>(samples, bitsPerSample));
        setShort(259, compression);
        setShort(262, photometric);
        std::vector<quint32> offsets, counts;
        for (const QByteArray& s : strips) {
            offsets.push_back(data(s));
            counts.push_back(quint32(s.size()));
        }
        setArray(273, TifLong, offsets);
        setShort(277, samples);
        setLong(278, rowsPerStrip);
        setArray(279, TifLong, counts);
    }

private:
    struct Entry {
        quint16 type;
        quint32 count;
        QByteArray field;
    };
    void put16(QByteArray& b, quint32 v) const
    {
        if (m_big) {
            b.append(char(v >> 8));
            b.append(char(v));
        } else {
            b.append(char(v));
            b.append(char(v >> 8));
        }
    }
    void put32(QByteArray& b, quint32 v) const
    {
        if (m_big) {
            put16(b, v >> 16);
            put16(b, v & 0xFFFF);
        } else {
            put16(b, v & 0xFFFF);
            put16(b, v >> 16);
        }
    }

    bool m_big;
    QByteArray m_file;
    std::map<quint16, Entry> m_entries;
};

// Writes LZW codes most significant bit first, with the width a TIFF decoder
// expects: 9 bits, one more each time the table is about to reach 512, 1024, 2048.
class LzwCodeWriter {
public:
    // The decoder adds a table entry on every code but the first after a
    // clear, the clear and the end code; the width follows that count.
    void code(int c)
    {
        m_acc = (m_acc << m_width) | quint64(c);
        m_bits += m_width;
        while (m_bits >= 8) {
            m_bits -= 8;
            m_out.append(char((m_acc >> m_bits) & 0xFF));
        }
        if (c == 256) {
            m_next = 258;
            m_width = 9;
            m_fresh = true;
        } else if (c != 257) {
            if (!m_fresh)
                grow();
            m_fresh = false;
        }
    }
    QByteArray finish()
    {
        if (m_bits > 0)
            m_out.append(char((m_acc << (8 - m_bits)) & 0xFF));
        m_bits = 0;
        return m_out;
    }
    int next() const { return m_next; }

private:
    void grow()
    {
        ++m_next;
        if (m_next == 511 || m_next == 1023 || m_next == 2047)
            ++m_width;
    }
    QByteArray m_out;
    quint64 m_acc = 0;
    int m_bits = 0;
    int m_width = 9;
    int m_next = 258;
    bool m_fresh = true;
};

// LZW of a byte string as plain literals: clear, each byte, end. Decodes to the
// input; the table grows but is never used, so a clear is sent every 3000 codes.
inline QByteArray lzwLiterals(const QByteArray& bytes)
{
    LzwCodeWriter w;
    w.code(256);
    int sinceClear = 0;
    for (char c : bytes) {
        if (++sinceClear == 3000) {
            w.code(256);
            sinceClear = 0;
        }
        w.code(uchar(c));
    }
    w.code(257);
    return w.finish();
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
