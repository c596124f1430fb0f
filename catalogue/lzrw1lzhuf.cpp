// LZHUF encoder and decoder: binary-tree match finder, adaptive Huffman tree
// of 314 symbols, 6-bit upper position codes and MSB-first bit packing.
#include "lzrw1lzhuf.h"

#include <array>
#include <cstring>

namespace lzrw1 {

namespace {

constexpr int N = 4096;           // ring buffer
constexpr int F = 60;             // look-ahead
constexpr int kThreshold = 2;     // longest match coded as literals
constexpr int NIL = N;            // no tree node
constexpr int kChars = 256 - kThreshold + F; // 314 symbols
constexpr int T = kChars * 2 - 1; // 627 tree nodes
constexpr int R = T - 1;          // root
constexpr unsigned kMaxFreq = 0x8000;
constexpr int kStart = N - F;     // first coding position; the ring before it holds spaces

// Codes of the upper 6 bits of a match position: canonical prefix codes of
// 3 (x1), 4 (x3), 5 (x8), 6 (x12), 7 (x24) and 8 (x16) bits.
struct PositionCodes {
    std::array<std::uint8_t, 64> len{};
    std::array<std::uint8_t, 64> code{}; // right-aligned
    std::array<std::uint8_t, 256> upperOf{}; // by the next 8 bits of input
    std::array<std::uint8_t, 256> lenOf{};
};

constexpr PositionCodes makePositionCodes()
{
    PositionCodes t;
    constexpr int counts[][2] = {{3, 1}, {4, 3}, {5, 8}, {6, 12}, {7, 24}, {8, 16}};
    int index = 0;
    unsigned next = 0;
    int prevLen = 3;
    for (const auto& c : counts) {
        next <<= c[0] - prevLen;
        prevLen = c[0];
        for (int k = 0; k < c[1]; ++k, ++index, ++next) {
            t.len[index] = std::uint8_t(c[0]);
            t.code[index] = std::uint8_t(next);
            const unsigned first = next << (8 - c[0]);
            for (unsigned b = 0; b < (1u << (8 - c[0])); ++b) {
                t.upperOf[first + b] = std::uint8_t(index);
                t.lenOf[first + b] = std::uint8_t(c[0]);
            }
        }
    }
    return t;
}

constexpr PositionCodes kPositionCodes = makePositionCodes();

// The adaptive Huffman tree shared by both directions. Nodes are kept in
// ascending frequency; son[n] and son[n] + 1 are the children of node n
// (values >= T are leaves, symbol + T); prnt maps back, leaves at T + symbol.
struct HuffmanTree {
    unsigned freq[T + 1];
    int prnt[T + kChars];
    int son[T];

    void start()
    {
        for (int i = 0; i < kChars; ++i) {
            freq[i] = 1;
            son[i] = i + T;
            prnt[i + T] = i;
        }
        for (int i = 0, j = kChars; j <= R; i += 2, ++j) {
            freq[j] = freq[i] + freq[i + 1];
            son[j] = i;
            prnt[i] = prnt[i + 1] = j;
        }
        freq[T] = 0xFFFF; // stops the upward search in update()
        prnt[R] = 0;
    }

    // Halves every leaf frequency and builds the tree again.
    void rebuild()
    {
        int j = 0;
        for (int i = 0; i < T; ++i) {
            if (son[i] >= T) {
                freq[j] = (freq[i] + 1) / 2;
                son[j] = son[i];
                ++j;
            }
        }
        for (int i = 0, n = kChars; n < T; i += 2, ++n) {
            const unsigned f = freq[i] + freq[i + 1];
            int k = n - 1;
            while (f < freq[k])
                --k;
            ++k;
            std::memmove(&freq[k + 1], &freq[k], size_t(n - k) * sizeof freq[0]);
            freq[k] = f;
            std::memmove(&son[k + 1], &son[k], size_t(n - k) * sizeof son[0]);
            son[k] = i;
        }
        for (int i = 0; i < T; ++i) {
            const int k = son[i];
            if (k >= T)
                prnt[k] = i;
            else
                prnt[k] = prnt[k + 1] = i;
        }
    }

    // Counts one more occurrence of symbol c, keeping the order by swapping.
    void update(int c)
    {
        if (freq[R] == kMaxFreq)
            rebuild();
        c = prnt[c + T];
        do {
            const unsigned k = ++freq[c];
            int l = c + 1;
            if (k > freq[l]) {
                while (k > freq[++l]) {
                }
                --l;
                freq[c] = freq[l];
                freq[l] = k;
                const int i = son[c];
                prnt[i] = l;
                if (i < T)
                    prnt[i + 1] = l;
                const int j = son[l];
                son[l] = i;
                prnt[j] = c;
                if (j < T)
                    prnt[j + 1] = c;
                son[c] = j;
                c = l;
            }
        } while ((c = prnt[c]) != 0);
    }
};

} // namespace

// ---------------------------------------------------------------- encoder

struct LzhufEncoder::State {
    HuffmanTree tree;
    // The ring, followed by a copy of its first F - 1 bytes so that keys
    // never wrap; bytes past the end of the input keep whatever was there,
    // which can steer the choice of a match but never its coded length.
    std::uint8_t text[N + F - 1];
    int lson[N + 1];
    int rson[N + 257];
    int dad[N + 1];
    int matchPosition = 0;
    int matchLength = 0;

    const ByteSource* source = nullptr;
    const ByteSink* sink = nullptr;
    std::uint8_t in[kLzhufChunk];
    std::size_t inPos = 0, inLen = 0;
    bool inEnded = false;
    std::uint8_t out[kLzhufChunk];
    std::size_t outLen = 0;
    std::uint64_t bits = 0; // pending bits, right-aligned
    int bitCount = 0;

    int getByte()
    {
        if (inPos == inLen) {
            if (inEnded)
                return -1;
            inLen = (*source)(in, kLzhufChunk);
            inPos = 0;
            if (inLen == 0) {
                inEnded = true;
                return -1;
            }
        }
        return in[inPos++];
    }

    void putByte(std::uint8_t b)
    {
        out[outLen++] = b;
        if (outLen == kLzhufChunk) {
            (*sink)(out, outLen);
            outLen = 0;
        }
    }

    // Writes the low n (at most 32) bits of v, most significant first.
    void putBits(std::uint32_t v, int n)
    {
        bits = bits << n | v;
        bitCount += n;
        while (bitCount >= 8) {
            bitCount -= 8;
            putByte(std::uint8_t(bits >> bitCount));
        }
    }

    void finish()
    {
        if (bitCount > 0)
            putByte(std::uint8_t(bits << (8 - bitCount)));
        bitCount = 0;
        if (outLen > 0)
            (*sink)(out, outLen);
        outLen = 0;
    }

    void encodeChar(int c)
    {
        // Walk from the leaf up; an odd node address is the second child.
        // A Huffman tree whose root counts at most 0x8000 is at most 22 deep,
        // so 64 bits hold any code.
        std::uint64_t code = 0;
        int len = 0;
        int k = tree.prnt[c + T];
        do {
            code |= std::uint64_t(k & 1) << len;
            ++len;
        } while ((k = tree.prnt[k]) != R);
        if (len > 32) {
            putBits(std::uint32_t(code >> 32), len - 32);
            putBits(std::uint32_t(code), 32);
        } else {
            putBits(std::uint32_t(code), len);
        }
        tree.update(c);
    }

    void encodePosition(unsigned c)
    {
        const unsigned upper = c >> 6;
        putBits(kPositionCodes.code[upper], kPositionCodes.len[upper]);
        putBits(c & 0x3F, 6);
    }

    void initTree()
    {
        for (int i = N + 1; i <= N + 256; ++i)
            rson[i] = NIL;
        for (int i = 0; i < N; ++i)
            dad[i] = NIL;
    }

    // Enters the string at r into the tree and finds its longest match
    // (the nearest one among equals seen on the way).
    void insertNode(int r)
    {
        int cmp = 1;
        const std::uint8_t* key = &text[r];
        int p = N + 1 + key[0];
        rson[r] = lson[r] = NIL;
        matchLength = 0;
        for (;;) {
            if (cmp >= 0) {
                if (rson[p] != NIL) {
                    p = rson[p];
                } else {
                    rson[p] = r;
                    dad[r] = p;
                    return;
                }
            } else {
                if (lson[p] != NIL) {
                    p = lson[p];
                } else {
                    lson[p] = r;
                    dad[r] = p;
                    return;
                }
            }
            const std::uint8_t* candidate = &text[p];
            const int i = commonLength(key, candidate);
            cmp = i < F ? int(key[i]) - int(candidate[i]) : 0;
            if (i > kThreshold) {
                const int distance = ((r - p) & (N - 1)) - 1;
                if (i > matchLength) {
                    matchPosition = distance;
                    matchLength = i;
                    if (i >= F)
                        break;
                }
                if (i == matchLength && distance < matchPosition)
                    matchPosition = distance;
            }
        }
        // A full-length equal string: r takes p's place in the tree.
        dad[r] = dad[p];
        lson[r] = lson[p];
        rson[r] = rson[p];
        dad[lson[p]] = r;
        dad[rson[p]] = r;
        if (rson[dad[p]] == p)
            rson[dad[p]] = r;
        else
            lson[dad[p]] = r;
        dad[p] = NIL;
    }

    // Bytes 1 to F - 1 of two keys: the index of the first that differs, or F.
    static int commonLength(const std::uint8_t* a, const std::uint8_t* b)
    {
        int i = 1;
        for (; i + 8 <= F; i += 8) {
            std::uint64_t x, y;
            std::memcpy(&x, a + i, 8);
            std::memcpy(&y, b + i, 8);
            if (x != y)
                break;
        }
        while (i < F && a[i] == b[i])
            ++i;
        return i;
    }

    void deleteNode(int p)
    {
        if (dad[p] == NIL)
            return;
        int q;
        if (rson[p] == NIL) {
            q = lson[p];
        } else if (lson[p] == NIL) {
            q = rson[p];
        } else {
            q = lson[p];
            if (rson[q] != NIL) {
                do {
                    q = rson[q];
                } while (rson[q] != NIL);
                rson[dad[q]] = lson[q];
                dad[lson[q]] = dad[q];
                lson[q] = lson[p];
                dad[lson[p]] = q;
            }
            rson[q] = rson[p];
            dad[rson[p]] = q;
        }
        dad[q] = dad[p];
        if (rson[dad[p]] == p)
            rson[dad[p]] = q;
        else
            lson[dad[p]] = q;
        dad[p] = NIL;
    }

    void run()
    {
        int len = 0;
        int c = 0;
        std::memset(text, 0, sizeof text);
        std::memset(text, ' ', kStart);
        // The published coder starts from static (zeroed) arrays; the same
        // start makes the same choices, hence the same bytes.
        std::memset(lson, 0, sizeof lson);
        std::memset(rson, 0, sizeof rson);
        std::memset(dad, 0, sizeof dad);
        for (; len < F && (c = getByte()) >= 0; ++len)
            text[kStart + len] = std::uint8_t(c);
        if (len == 0)
            return;
        tree.start();
        initTree();
        int s = 0;
        int r = kStart;
        for (int i = 1; i <= F; ++i)
            insertNode(r - i);
        insertNode(r);
        do {
            if (matchLength > len)
                matchLength = len;
            if (matchLength <= kThreshold) {
                matchLength = 1;
                encodeChar(text[r]);
            } else {
                encodeChar(255 - kThreshold + matchLength);
                encodePosition(unsigned(matchPosition));
            }
            const int last = matchLength;
            int i = 0;
            for (; i < last && (c = getByte()) >= 0; ++i) {
                deleteNode(s);
                text[s] = std::uint8_t(c);
                if (s < F - 1)
                    text[s + N] = std::uint8_t(c);
                s = (s + 1) & (N - 1);
                r = (r + 1) & (N - 1);
                insertNode(r);
            }
            while (i++ < last) {
                deleteNode(s);
                s = (s + 1) & (N - 1);
                r = (r + 1) & (N - 1);
                if (--len)
                    insertNode(r);
            }
        } while (len > 0);
    }
};

LzhufEncoder::LzhufEncoder() : d(std::make_unique<State>()) {}
LzhufEncoder::~LzhufEncoder() = default;

void LzhufEncoder::encode(const ByteSource& source, const ByteSink& sink)
{
    State& s = *d;
    s.source = &source;
    s.sink = &sink;
    s.inPos = s.inLen = 0;
    s.inEnded = false;
    s.outLen = 0;
    s.bits = 0;
    s.bitCount = 0;
    s.matchPosition = s.matchLength = 0;
    s.run();
    s.finish();
}

// ---------------------------------------------------------------- decoder

struct LzhufDecoder::State {
    HuffmanTree tree;
    std::uint8_t text[N];

    const ByteSource* source = nullptr;
    std::uint8_t in[kLzhufChunk];
    std::size_t inPos = 0, inLen = 0;
    bool inEnded = false;
    std::uint64_t bits = 0; // the low bitCount bits are unread
    int bitCount = 0;
    bool overrun = false;   // a bit past the end was asked for
    std::uint8_t out[kLzhufChunk];

    void refill()
    {
        while (bitCount <= 56) {
            if (inPos == inLen) {
                if (inEnded)
                    return;
                inLen = (*source)(in, kLzhufChunk);
                inPos = 0;
                if (inLen == 0) {
                    inEnded = true;
                    return;
                }
            }
            bits = bits << 8 | in[inPos++];
            bitCount += 8;
        }
    }

    // Bits past the end read as 0 and set overrun, checked once per symbol.
    unsigned getBits(int n)
    {
        if (bitCount < n) {
            refill();
            if (bitCount < n) {
                overrun = true;
                const unsigned v = unsigned(bits & ((1u << bitCount) - 1)) << (n - bitCount);
                bitCount = 0;
                return v;
            }
        }
        bitCount -= n;
        return unsigned(bits >> bitCount) & ((1u << n) - 1);
    }

    int decodeChar()
    {
        int c = tree.son[R];
        while (c < T)
            c = tree.son[c + int(getBits(1))];
        c -= T;
        tree.update(c);
        return c;
    }

    unsigned decodePosition()
    {
        const unsigned first = getBits(8);
        const unsigned upper = kPositionCodes.upperOf[first];
        const int more = kPositionCodes.lenOf[first] - 2;
        const unsigned lower = (first << more | getBits(more)) & 0x3F;
        return upper << 6 | lower;
    }
};

LzhufDecoder::LzhufDecoder() : d(std::make_unique<State>()) {}
LzhufDecoder::~LzhufDecoder() = default;

bool LzhufDecoder::decode(std::uint64_t size, const ByteSource& source, const ByteSink& sink)
{
    if (size == 0)
        return true;
    State& s = *d;
    s.source = &source;
    s.inPos = s.inLen = 0;
    s.inEnded = false;
    s.bits = 0;
    s.bitCount = 0;
    s.overrun = false;
    s.tree.start();
    std::memset(s.text, ' ', kStart);
    std::memset(s.text + kStart, 0, N - kStart);

    std::uint8_t* const out = s.out;
    std::size_t outLen = 0;
    auto put = [&](std::uint8_t b) {
        out[outLen++] = b;
        if (outLen == kLzhufChunk) {
            sink(out, outLen);
            outLen = 0;
        }
    };

    int r = kStart;
    std::uint64_t count = 0;
    while (count < size) {
        const int c = s.decodeChar();
        if (c < 256) {
            if (s.overrun)
                return false;
            put(std::uint8_t(c));
            s.text[r] = std::uint8_t(c);
            r = (r + 1) & (N - 1);
            ++count;
            continue;
        }
        const unsigned position = s.decodePosition();
        if (s.overrun)
            return false;
        int from = int((unsigned(r) - position - 1) & (N - 1));
        // A match running past the stored size is cut there: exactly size bytes.
        std::uint64_t n = unsigned(c - 255 + kThreshold);
        if (n > size - count)
            n = size - count;
        for (std::uint64_t k = 0; k < n; ++k) {
            const std::uint8_t b = s.text[from];
            from = (from + 1) & (N - 1);
            put(b);
            s.text[r] = b;
            r = (r + 1) & (N - 1);
        }
        count += n;
    }
    if (outLen > 0)
        sink(out, outLen);
    return true;
}

} // namespace lzrw1
