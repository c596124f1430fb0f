// A plain LZHUF coder in the shape of the 1988 program (16-bit bit buffers,
// table-driven positions), kept apart from the codec to check it against.
#pragma once
#include <algorithm>
#include <vector>

namespace plainlzhuf {

using Bytes = std::vector<unsigned char>;

class PlainLzhuf {
public:
    static constexpr int N = 4096, F = 60, THRESHOLD = 2, NIL = N;
    static constexpr int N_CHAR = 256 - THRESHOLD + F, T = N_CHAR * 2 - 1, R = T - 1;

    Bytes encode(const Bytes& input)
    {
        in = &input;
        inPos = 0;
        Bytes output;
        out = &output;
        if (input.empty())
            return output;
        startHuff();
        for (int i = N + 1; i <= N + 256; i++)
            rson[i] = NIL;
        for (int i = 0; i < N; i++)
            dad[i] = NIL;
        int s = 0, r = N - F, len, c;
        for (int i = s; i < r; i++)
            text_buf[i] = ' ';
        for (len = 0; len < F && (c = getc()) != -1; len++)
            text_buf[r + len] = (unsigned char)c;
        for (int i = 1; i <= F; i++)
            insertNode(r - i);
        insertNode(r);
        do {
            if (match_length > len)
                match_length = len;
            if (match_length <= THRESHOLD) {
                match_length = 1;
                encodeChar(text_buf[r]);
            } else {
                encodeChar(255 - THRESHOLD + match_length);
                const unsigned i = unsigned(match_position) >> 6;
                putcode(p_len[i], unsigned(p_code[i]) << 8);
                putcode(6, (unsigned(match_position) & 0x3f) << 10);
            }
            const int last = match_length;
            int i;
            for (i = 0; i < last && (c = getc()) != -1; i++) {
                deleteNode(s);
                text_buf[s] = (unsigned char)c;
                if (s < F - 1)
                    text_buf[s + N] = (unsigned char)c;
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
        if (putlen)
            out->push_back((unsigned char)(putbuf >> 8));
        return output;
    }

    Bytes decode(const Bytes& input, unsigned long textsize)
    {
        in = &input;
        inPos = 0;
        Bytes output;
        if (textsize == 0)
            return output;
        startHuff();
        for (int i = 0; i < N - F; i++)
            text_buf[i] = ' ';
        int r = N - F;
        for (unsigned long count = 0; count < textsize;) {
            int c = son[R];
            while (c < T)
                c = son[c + getBit()];
            c -= T;
            update(c);
            if (c < 256) {
                output.push_back((unsigned char)c);
                text_buf[r++] = (unsigned char)c;
                r &= N - 1;
                count++;
            } else {
                unsigned i = getByte();
                const unsigned upper = d_code(i) << 6;
                for (int j = d_len(i) - 2; j > 0; j--)
                    i = (i << 1) + getBit();
                const int from = (r - int(upper | (i & 0x3f)) - 1) & (N - 1);
                for (int k = 0; k < c - 255 + THRESHOLD; k++) {
                    const unsigned char b = text_buf[(from + k) & (N - 1)];
                    output.push_back(b);
                    text_buf[r++] = b;
                    r &= N - 1;
                    count++;
                }
            }
        }
        return output;
    }

private:
    static constexpr unsigned char p_len[64] = {
        3, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7, 7,
        7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8};
    static constexpr unsigned char p_code[64] = {
        0x00, 0x20, 0x30, 0x40, 0x50, 0x58, 0x60, 0x68, 0x70, 0x78, 0x80, 0x88, 0x90, 0x94, 0x98, 0x9C,
        0xA0, 0xA4, 0xA8, 0xAC, 0xB0, 0xB4, 0xB8, 0xBC, 0xC0, 0xC2, 0xC4, 0xC6, 0xC8, 0xCA, 0xCC, 0xCE,
        0xD0, 0xD2, 0xD4, 0xD6, 0xD8, 0xDA, 0xDC, 0xDE, 0xE0, 0xE2, 0xE4, 0xE6, 0xE8, 0xEA, 0xEC, 0xEE,
        0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};

    // The decoding tables by ranges of the next 8 bits.
    static unsigned d_code(unsigned n)
    {
        if (n < 32) return 0;
        if (n < 80) return (n - 16) >> 4;
        if (n < 144) return (n - 48) >> 3;
        if (n < 192) return (n - 96) >> 2;
        if (n < 240) return (n - 144) >> 1;
        return n - 192;
    }
    static int d_len(unsigned n)
    {
        static const int byHighNibble[16] = {3, 3, 4, 4, 4, 5, 5, 5, 5, 6, 6, 6, 7, 7, 7, 8};
        return byHighNibble[n >> 4];
    }

    int getc() { return inPos < in->size() ? (*in)[inPos++] : -1; }

    // 16-bit bit buffers, as on the machines the program was written for.
    void putcode(int l, unsigned c)
    {
        putbuf = (putbuf | c >> putlen) & 0xFFFF;
        if ((putlen += l) >= 8) {
            out->push_back((unsigned char)(putbuf >> 8));
            if ((putlen -= 8) >= 8) {
                out->push_back((unsigned char)putbuf);
                putlen -= 8;
                putbuf = (c << (l - putlen)) & 0xFFFF;
            } else {
                putbuf = (putbuf << 8) & 0xFFFF;
            }
        }
    }
    int getBit()
    {
        while (getlen <= 8) {
            const int i = getc();
            getbuf = (getbuf | unsigned(i < 0 ? 0 : i) << (8 - getlen)) & 0xFFFF;
            getlen += 8;
        }
        const unsigned i = getbuf;
        getbuf = (getbuf << 1) & 0xFFFF;
        getlen--;
        return int(i >> 15);
    }
    unsigned getByte()
    {
        while (getlen <= 8) {
            const int i = getc();
            getbuf = (getbuf | unsigned(i < 0 ? 0 : i) << (8 - getlen)) & 0xFFFF;
            getlen += 8;
        }
        const unsigned i = getbuf;
        getbuf = (getbuf << 8) & 0xFFFF;
        getlen -= 8;
        return i >> 8;
    }

    void startHuff()
    {
        for (int i = 0; i < N_CHAR; i++) {
            freq[i] = 1;
            son[i] = i + T;
            prnt[i + T] = i;
        }
        for (int i = 0, j = N_CHAR; j <= R; i += 2, j++) {
            freq[j] = freq[i] + freq[i + 1];
            son[j] = i;
            prnt[i] = prnt[i + 1] = j;
        }
        freq[T] = 0xffff;
        prnt[R] = 0;
    }
    void reconst()
    {
        int j = 0;
        for (int i = 0; i < T; i++)
            if (son[i] >= T) {
                freq[j] = (freq[i] + 1) / 2;
                son[j] = son[i];
                j++;
            }
        for (int i = 0, j = N_CHAR; j < T; i += 2, j++) {
            const unsigned f = freq[i] + freq[i + 1];
            int k = j - 1;
            while (f < freq[k])
                k--;
            k++;
            for (int m = j; m > k; m--) {
                freq[m] = freq[m - 1];
                son[m] = son[m - 1];
            }
            freq[k] = f;
            son[k] = i;
        }
        for (int i = 0; i < T; i++) {
            const int k = son[i];
            prnt[k] = i;
            if (k < T)
                prnt[k + 1] = i;
        }
    }
    void update(int c)
    {
        if (freq[R] == 0x8000)
            reconst();
        c = prnt[c + T];
        do {
            const unsigned k = ++freq[c];
            int l = c + 1;
            if (k > freq[l]) {
                while (k > freq[++l]) {
                }
                l--;
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
    void encodeChar(int c)
    {
        std::vector<int> path; // leaf first
        for (int k = prnt[c + T]; k != R; k = prnt[k])
            path.push_back(k & 1);
        // Root first, 16 bits at most per call.
        for (size_t done = 0; done < path.size();) {
            const int n = int(std::min<size_t>(16, path.size() - done));
            unsigned code = 0;
            for (int b = 0; b < n; b++)
                code |= unsigned(path[path.size() - 1 - done - size_t(b)]) << (15 - b);
            putcode(n, code);
            done += size_t(n);
        }
        update(c);
    }

    void insertNode(int r)
    {
        int cmp = 1, p = N + 1 + text_buf[r];
        const unsigned char* key = &text_buf[r];
        rson[r] = lson[r] = NIL;
        match_length = 0;
        for (;;) {
            int* next = cmp >= 0 ? &rson[p] : &lson[p];
            if (*next == NIL) {
                *next = r;
                dad[r] = p;
                return;
            }
            p = *next;
            int i;
            for (i = 1; i < F; i++)
                if ((cmp = key[i] - text_buf[p + i]) != 0)
                    break;
            if (i > THRESHOLD) {
                const int c = ((r - p) & (N - 1)) - 1;
                if (i > match_length) {
                    match_position = c;
                    if ((match_length = i) >= F)
                        break;
                }
                if (i == match_length && c < match_position)
                    match_position = c;
            }
        }
        dad[r] = dad[p];
        lson[r] = lson[p];
        rson[r] = rson[p];
        dad[lson[p]] = r;
        dad[rson[p]] = r;
        (rson[dad[p]] == p ? rson[dad[p]] : lson[dad[p]]) = r;
        dad[p] = NIL;
    }
    void deleteNode(int p)
    {
        if (dad[p] == NIL)
            return;
        int q;
        if (rson[p] == NIL)
            q = lson[p];
        else if (lson[p] == NIL)
            q = rson[p];
        else {
            q = lson[p];
            if (rson[q] != NIL) {
                while (rson[q] != NIL)
                    q = rson[q];
                rson[dad[q]] = lson[q];
                dad[lson[q]] = dad[q];
                lson[q] = lson[p];
                dad[lson[p]] = q;
            }
            rson[q] = rson[p];
            dad[rson[p]] = q;
        }
        dad[q] = dad[p];
        (rson[dad[p]] == p ? rson[dad[p]] : lson[dad[p]]) = q;
        dad[p] = NIL;
    }

    const Bytes* in = nullptr;
    size_t inPos = 0;
    Bytes* out = nullptr;
    unsigned putbuf = 0, getbuf = 0;
    int putlen = 0, getlen = 0;
    unsigned char text_buf[N + F - 1] = {};
    int lson[N + 1] = {}, rson[N + 257] = {}, dad[N + 1] = {};
    int match_position = 0, match_length = 0;
    unsigned freq[T + 1] = {};
    int prnt[T + N_CHAR] = {};
    int son[T] = {};
};

} // namespace plainlzhuf
