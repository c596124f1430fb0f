// The string table of an LZW decoder, shared by the GIF and TIFF readers; the
// code widths and the bit order, which the two formats set differently, stay
// with their readers.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

class LzwStringTable {
public:
    static constexpr unsigned kMaxCodes = 4096;

    // Codes below `literals` stand for one byte each; those above 255 (GIF's
    // code sizes 10 and 11) cannot be a byte and stand for 0.
    explicit LzwStringTable(unsigned literals)
    {
        for (unsigned c = 0; c < literals && c < kMaxCodes; ++c) {
            m_suffix[c] = m_first[c] = c < 256 ? std::uint8_t(c) : 0;
            m_length[c] = 1;
        }
    }

    // Forgets the strings added since the start: `firstFree` is the next code.
    void reset(unsigned firstFree) { m_next = firstFree; }
    unsigned nextFree() const { return m_next; }

    // Adds the string of `prefix` followed by `last` at the next free code;
    // false, adding nothing, when all 4096 codes are taken.
    bool add(unsigned prefix, std::uint8_t last)
    {
        if (m_next >= kMaxCodes)
            return false;
        m_prefix[m_next] = std::uint16_t(prefix);
        m_suffix[m_next] = last;
        m_first[m_next] = m_first[prefix];
        m_length[m_next] = std::uint16_t(m_length[prefix] + 1);
        ++m_next;
        return true;
    }

    // The first byte of a code's string.
    const std::uint8_t& first(unsigned code) const { return m_first[code]; }

    // Spells the string of a code below nextFree() into the table's buffer,
    // back to front by prefix links (never by recursion: the length bounds
    // the walk); valid until the next call. Returns its length.
    std::size_t spell(unsigned code, const std::uint8_t** bytes)
    {
        const std::size_t n = m_length[code];
        std::size_t at = n;
        for (unsigned c = code; at > 0; c = m_prefix[c])
            m_spelled[--at] = m_suffix[c];
        *bytes = m_spelled.data();
        return n;
    }

private:
    unsigned m_next = 0;
    std::array<std::uint16_t, kMaxCodes> m_prefix{};
    std::array<std::uint8_t, kMaxCodes> m_suffix{};
    std::array<std::uint8_t, kMaxCodes> m_first{};
    std::array<std::uint16_t, kMaxCodes> m_length{};
    std::array<std::uint8_t, kMaxCodes> m_spelled{};
};
