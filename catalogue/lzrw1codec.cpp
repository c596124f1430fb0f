// Compress, Decompress and Advise over QIODevice streams or named files, with
// the status and error texts of the compressor.
#include "lzrw1codec.h"

#include "lzrw1fast.h"
#include "lzrw1lzhuf.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <memory>
#include <mutex>
#include <new>

using namespace lzrw1;

namespace {

// The working storage exists once per call; one call at a time keeps the
// behaviour of a single shared set of buffers.
std::mutex g_callMutex;
thread_local bool t_inCall = false;

class CallGuard {
public:
    CallGuard()
    {
        if (t_inCall)
            throw ELzrw1Exception(QStringLiteral("Lzrw1 : another compression or decompression is running !"));
        g_callMutex.lock();
        t_inCall = true;
    }
    ~CallGuard()
    {
        t_inCall = false;
        g_callMutex.unlock();
    }
    CallGuard(const CallGuard&) = delete;
    CallGuard& operator=(const CallGuard&) = delete;
};

// Room for an encoded block with its 2-byte length, or a decoded block and
// the decoder's slack.
constexpr int kWorkBufferSize = kBlockBufferSize + 64;

std::unique_ptr<std::uint8_t[]> allocateBuffer(std::size_t n)
{
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[n]);
}

void putLe32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

std::uint32_t getLe32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
        | std::uint32_t(p[3]) << 24;
}

// Reads up to n bytes, as many as the device has; -1 on a read error.
qint64 readUpTo(QIODevice* dev, std::uint8_t* buf, qint64 n)
{
    qint64 got = 0;
    while (got < n) {
        const qint64 r = dev->read(reinterpret_cast<char*>(buf) + got, n - got);
        if (r < 0)
            return -1;
        if (r == 0)
            break;
        got += r;
    }
    return got;
}

QString percentOf(qint64 part, qint64 whole)
{
    return QString::number(whole > 0 ? part * 100 / whole : 0);
}

} // namespace

// The state of one call: the two ends, their names in file mode, the
// buffers and the running totals.
class Lzrw1Call {
public:
    explicit Lzrw1Call(Lzrw1Codec& codec)
        : m_codec(codec), m_fileMode(!codec.m_useStream), m_inName(codec.m_inputFile),
          m_outName(codec.m_outputFile)
    {}

    void openInput()
    {
        if (m_fileMode) {
            m_inFile.setFileName(m_inName);
            if (!m_inFile.open(QIODevice::ReadOnly))
                fail("Lzrw1 (de)compression : Failed to open input file : " + m_inName);
            m_in = &m_inFile;
        } else {
            m_in = m_codec.m_inputStream;
            if (!m_in || !m_in->seek(m_in->pos()))
                fail(QStringLiteral("Lzrw1 (de)compression : Failed to initialize input stream !"));
        }
    }

    // A file is written aside and put in place by commit(): a failure leaves
    // no output file and never harms one that was there before. Devices and
    // pipes (an existing name that is no plain file) are written directly.
    void openOutput()
    {
        if (m_fileMode) {
            const QFileInfo info(m_outName);
            if (info.exists() && !info.isFile() && !info.isDir()) {
                m_outDevice.setFileName(m_outName);
                if (!m_outDevice.open(QIODevice::WriteOnly))
                    fail("Lzrw1 (de)compression : Failed to open output file : " + m_outName);
                m_out = &m_outDevice;
                return;
            }
            m_outFile = std::make_unique<QSaveFile>(m_outName);
            if (!m_outFile->open(QIODevice::WriteOnly))
                fail("Lzrw1 (de)compression : Failed to open output file : " + m_outName);
            m_out = m_outFile.get();
        } else {
            m_out = m_codec.m_outputStream;
            if (!m_out || !m_out->seek(m_out->pos()))
                fail(QStringLiteral("Lzrw1 (de)compression : Failed to initialize output stream !"));
        }
    }

    // Bytes from the current position to the end; the stored size has 32 bits.
    std::uint32_t inputSize()
    {
        const QString cannot = m_fileMode
            ? "Lzrw1 compression : Failed to obtain the size of : " + m_inName
            : QStringLiteral("Lzrw1 compression : Failed to obtain the size of the input stream !");
        if (m_in->isSequential())
            fail(cannot);
        const qint64 size = m_in->size() - m_in->pos();
        if (size < 0)
            fail(cannot);
        if (size > qint64(0xFFFFFFFF))
            fail(m_fileMode ? "Lzrw1 compression : file too large (4 GB at most) : " + m_inName
                            : QStringLiteral("Lzrw1 compression : input stream too large (4 GB at most) !"));
        return std::uint32_t(size);
    }

    void allocate(bool withHashTable)
    {
        m_inBuf = allocateBuffer(kWorkBufferSize);
        m_outBuf = allocateBuffer(kWorkBufferSize);
        if (!m_inBuf || !m_outBuf)
            fail(QStringLiteral("Lzrw1 (de)compression : Failed to get memory for I/O buffers !"));
        if (withHashTable) {
            m_table.reset(new (std::nothrow) std::uint16_t[kHashSize]);
            if (!m_table)
                fail(QStringLiteral("LZRW1KH : no memory for HASH table"));
        }
    }

    void commit()
    {
        if (m_outFile && !m_outFile->commit())
            fail(writeError());
        if (m_outDevice.isOpen() && !m_outDevice.flush())
            fail(writeError());
    }

    // ---- compression

    void writeHeader(std::uint32_t identifier, std::uint32_t size)
    {
        std::uint8_t header[kHeaderSize];
        putLe32(header, identifier);
        putLe32(header + 4, size);
        write(header, kHeaderSize);
    }

    void compressFast(std::uint32_t size)
    {
        std::uint32_t remaining = size;
        for (;;) {
            const int want = int(std::min<std::uint32_t>(remaining, kBlockSize));
            if (readUpTo(m_in, m_inBuf.get(), want) != want)
                fail(m_fileMode ? "Lzrw1 : Error reading from input file : " + m_inName + " (LZRW1/KH)"
                                : QStringLiteral("Lzrw1 : Error reading from input stream ! (LZRW1/KH)"));
            m_bytesIn += want;
            remaining -= std::uint32_t(want);
            m_codec.idle();
            const int len = encodeFastBlock(m_inBuf.get(), want, m_outBuf.get() + 2, m_table.get());
            m_outBuf[0] = std::uint8_t(len);
            m_outBuf[1] = std::uint8_t(len >> 8);
            write(m_outBuf.get(), len + 2);
            fastProgress();
            if (want < kBlockSize)
                break;
        }
    }

    void compressGood(std::uint32_t size)
    {
        std::uint32_t remaining = size;
        const ByteSource source = [&](std::uint8_t* buf, std::size_t max) -> std::size_t {
            const qint64 want = qint64(std::min<std::uint64_t>(remaining, max));
            if (want == 0)
                return 0;
            if (readUpTo(m_in, buf, want) != want)
                fail(m_fileMode ? "Lzrw1 : Error reading from input file : " + m_inName + " (LZH)"
                                : QStringLiteral("Lzrw1 : Error reading from input stream ! (LZH)"));
            remaining -= std::uint32_t(want);
            m_bytesIn += want;
            m_codec.idle();
            goodProgress();
            return std::size_t(want);
        };
        const ByteSink sink = [&](const std::uint8_t* buf, std::size_t n) {
            write(buf, qint64(n));
            goodProgress();
        };
        LzhufEncoder().encode(source, sink);
    }

    // ---- expansion

    // Returns the identifier after checking it.
    std::uint32_t readHeader(std::uint32_t& size)
    {
        std::uint8_t header[4];
        readExactly(header, 4);
        const std::uint32_t identifier = getLe32(header);
        if (identifier != kFastIdentifier && identifier != kGoodIdentifier)
            fail(m_fileMode ? m_inName + " : Lzrw1 decompression : this file has no valid header !"
                            : QStringLiteral("Lzrw1 decompression : input stream contains no valid header !"));
        readExactly(header, 4);
        size = getLe32(header);
        return identifier;
    }

    void expandFast(std::uint32_t size)
    {
        const QString mismatch =
            QStringLiteral("Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !");
        const QString corrupt = QStringLiteral("Lzrw1 (decompression LZRW1/KH) : corrupt block !");
        std::uint64_t total = 0;
        for (;;) {
            std::uint8_t lengthBytes[2];
            readExactly(lengthBytes, 2);
            const int len = lengthBytes[0] | lengthBytes[1] << 8;
            if (len > kBlockBufferSize)
                fail(corrupt);
            readExactly(m_inBuf.get(), len);
            const int n = decodeFastBlock(m_inBuf.get(), len, m_outBuf.get());
            if (n < 0)
                fail(corrupt);
            write(m_outBuf.get(), n);
            total += std::uint64_t(n);
            fastProgress();
            // Past the stored size the sizes can no longer match: stop here
            // rather than let a hostile stream write on.
            if (total > size)
                fail(mismatch);
            if (n < kBlockSize)
                break;
        }
        if (total != size)
            fail(mismatch);
    }

    void expandGood(std::uint32_t size)
    {
        const ByteSource source = [&](std::uint8_t* buf, std::size_t max) -> std::size_t {
            const qint64 got = readUpTo(m_in, buf, qint64(max));
            if (got < 0)
                fail(readError());
            m_bytesIn += got;
            m_codec.idle();
            if (got > 0)
                goodProgress();
            return std::size_t(got);
        };
        std::uint64_t total = 0;
        const ByteSink sink = [&](const std::uint8_t* buf, std::size_t n) {
            write(buf, qint64(n));
            total += n;
            goodProgress();
        };
        if (!LzhufDecoder().decode(size, source, sink))
            fail(QStringLiteral("Lzrw1 (LZH decompression) : compressed data ends too early !"));
        if (total != size)
            fail(QStringLiteral("Lzrw1 (LZH decompression) : Original and compressed sizes do not match !"));
    }

    qint64 bytesIn() const { return m_bytesIn; }
    qint64 bytesOut() const { return m_bytesOut; }
    bool fileMode() const { return m_fileMode; }

    [[noreturn]] void fail(const QString& message)
    {
        // The unfinished output file goes away with the session.
        throw ELzrw1Exception(message);
    }

private:
    QString readError() const
    {
        return m_fileMode ? "Lzrw1 : Error reading from input file : " + m_inName
                          : QStringLiteral("Lzrw1 : Error reading from input stream !");
    }
    QString writeError() const
    {
        return m_fileMode ? "Lzrw1 : Error writing to output file : " + m_outName
                          : QStringLiteral("Lzrw1 : Error writing to output stream !");
    }

    void readExactly(std::uint8_t* buf, qint64 n)
    {
        if (readUpTo(m_in, buf, n) != n)
            fail(readError());
        m_bytesIn += n;
        m_codec.idle();
    }

    void write(const std::uint8_t* buf, qint64 n)
    {
        if (n > 0 && m_out->write(reinterpret_cast<const char*>(buf), n) != n)
            fail(writeError());
        m_bytesOut += n;
        m_codec.idle();
    }

    void fastProgress()
    {
        if (m_codec.m_status)
            m_codec.status("(LZRW1/KH) Bytes in : " + QString::number(m_bytesIn) + " Bytes out : "
                           + QString::number(m_bytesOut));
    }
    void goodProgress()
    {
        if (m_codec.m_status)
            m_codec.status("(LZH) Bytes in : " + QString::number(m_bytesIn) + " Bytes out : "
                           + QString::number(m_bytesOut));
    }

    Lzrw1Codec& m_codec;
    const bool m_fileMode;
    const QString m_inName;
    const QString m_outName;
    QFile m_inFile;
    std::unique_ptr<QSaveFile> m_outFile;
    QFile m_outDevice;
    QIODevice* m_in = nullptr;
    QIODevice* m_out = nullptr;
    std::unique_ptr<std::uint8_t[]> m_inBuf;
    std::unique_ptr<std::uint8_t[]> m_outBuf;
    std::unique_ptr<std::uint16_t[]> m_table;
    qint64 m_bytesIn = 0;
    qint64 m_bytesOut = 0;
};

void Lzrw1Codec::status(const QString& text)
{
    m_lastStatus = text;
    if (m_status)
        m_status(text);
}

void Lzrw1Codec::idle()
{
    if (m_idle)
        m_idle();
}

qint64 Lzrw1Codec::Compress()
{
    CallGuard guard;
    TCompressMode mode = m_mode;
    if (mode == TCompressMode::Auto)
        mode = adviseUnguarded();
    Lzrw1Call call(*this);
    call.openInput();
    const std::uint32_t size = call.inputSize();
    call.openOutput();
    call.allocate(mode == TCompressMode::Fast);
    if (mode == TCompressMode::Fast) {
        call.writeHeader(kFastIdentifier, size);
        call.compressFast(size);
    } else {
        call.writeHeader(kGoodIdentifier, size);
        call.compressGood(size);
    }
    call.commit();
    const QString p = percentOf(call.bytesOut(), size);
    status(call.fileMode() ? m_inputFile + " : Lzrw1 : successfully compressed at " + p + "%"
                           : "Lzrw1 : inputstream successfully compressed at " + p + "%");
    return call.bytesOut();
}

qint64 Lzrw1Codec::Decompress()
{
    CallGuard guard;
    Lzrw1Call call(*this);
    call.openInput();
    call.openOutput();
    call.allocate(false);
    std::uint32_t size = 0;
    if (call.readHeader(size) == kFastIdentifier)
        call.expandFast(size);
    else
        call.expandGood(size);
    call.commit();
    const QString p = percentOf(call.bytesOut(), call.bytesIn());
    status(call.fileMode() ? m_inputFile + " : Lzrw1 : successfully decompressed at " + p + "%"
                           : "LZrw1 : inputstream successfully decompressed at " + p + "%");
    return call.bytesOut();
}

TCompressMode Lzrw1Codec::Advise()
{
    CallGuard guard;
    return adviseUnguarded();
}

TCompressMode Lzrw1Codec::adviseUnguarded()
{
    QFile file;
    QIODevice* in = nullptr;
    qint64 restoreTo = -1;
    if (m_useStream) {
        status(QStringLiteral("Guessing the best compression mode for the inputstream"));
        in = m_inputStream;
        if (!in || !in->isOpen())
            throw ELzrw1Exception(QStringLiteral("Lzrw1 edvise : can not initialize the input stream!"));
        restoreTo = in->pos();
    } else {
        status("Guessing the best compression mode for : " + m_inputFile);
        file.setFileName(m_inputFile);
        if (!file.open(QIODevice::ReadOnly))
            throw ELzrw1Exception("Lzrw1 advise : can open input file : " + m_inputFile);
        in = &file;
    }
    // The stream goes back where it was on every way out.
    struct Restore {
        QIODevice* dev;
        qint64 pos;
        ~Restore()
        {
            if (pos >= 0)
                dev->seek(pos);
        }
    } restore{in, restoreTo};

    if (m_useStream && !in->seek(0))
        throw ELzrw1Exception(QStringLiteral("Lzrw1 edvise : can not initialize the input stream!"));
    const qint64 size = in->isSequential() ? -1 : in->size();
    if (size < 0)
        throw ELzrw1Exception(m_useStream ? QStringLiteral("Lzrw1 advise : can not get size of inputstream !")
                                          : "Lzrw1 advise : can not get the size of : " + m_inputFile);
    if (size < kAdviseSmallInput) {
        m_mode = TCompressMode::Good;
        status(QStringLiteral("Lzrw1 recommends GOOD compression :  small file !!"));
        return TCompressMode::Good;
    }

    auto sample = allocateBuffer(kWorkBufferSize);
    auto block = allocateBuffer(kWorkBufferSize);
    std::unique_ptr<std::uint16_t[]> table(new (std::nothrow) std::uint16_t[kHashSize]);
    if (!sample || !block || !table)
        throw ELzrw1Exception(QStringLiteral("Lzrw1 advise : Error getting I/O buffers"));
    const QString readError = m_useStream ? QStringLiteral("Lzrw1 advise : input stream read error !")
                                          : "Lzrw1 advise : read error on input file : " + m_inputFile;
    qint64 coded = 0;
    qint64 taken = 0;
    for (const qint64 at : {size / 3, 2 * size / 3}) {
        const qint64 offset = at - at % kBlockSize;
        const qint64 want = std::min<qint64>(kBlockSize, size - offset);
        if (!in->seek(offset) || readUpTo(in, sample.get(), want) != want)
            throw ELzrw1Exception(readError);
        idle();
        coded += encodeFastBlock(sample.get(), int(want), block.get(), table.get());
        taken += want;
    }
    const QString p = percentOf(coded, taken);
    if (coded >= qint64(m_threshold) * taken / 100) {
        status("Lzrw1 recommends GOOD compression : " + p + "%.");
        return TCompressMode::Good;
    }
    status("Lzrw1 recommends FAST compression : " + p + "%.");
    return TCompressMode::Fast;
}

namespace lzrw1 {

QByteArray compress(const QByteArray& data, TCompressMode mode)
{
    QBuffer in;
    in.setData(data);
    in.open(QIODevice::ReadOnly);
    QByteArray result;
    result.reserve(data.size() + data.size() / 16 + 64); // no regrowth, even for noise
    QBuffer out(&result);
    out.open(QIODevice::WriteOnly);
    Lzrw1Codec codec;
    codec.setUseStream(true);
    codec.setCompressMode(mode);
    codec.setInputStream(&in);
    codec.setOutputStream(&out);
    codec.Compress();
    out.close();
    return result;
}

QByteArray decompress(const QByteArray& stream)
{
    QBuffer in;
    in.setData(stream);
    in.open(QIODevice::ReadOnly);
    QByteArray result;
    if (stream.size() >= kHeaderSize) {
        // Room for the stored size, as far as this much input can justify it.
        const qint64 stored = getLe32(reinterpret_cast<const std::uint8_t*>(stream.constData()) + 4);
        result.reserve(qsizetype(std::min({stored, qint64(stream.size()) * 64, qint64(256) << 20})));
    }
    QBuffer out(&result);
    out.open(QIODevice::WriteOnly);
    Lzrw1Codec codec;
    codec.setUseStream(true);
    codec.setInputStream(&in);
    codec.setOutputStream(&out);
    codec.Decompress();
    out.close();
    return result;
}

} // namespace lzrw1
