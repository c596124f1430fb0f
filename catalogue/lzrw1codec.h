// The compressor without a widget: whole streams or files compressed with FAST
// (LZRW1/KH blocks) or GOOD (LZHUF), expanded by the stream's identifier.
#pragma once
#include "platform/errors.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

class QIODevice;

QV_DECLARE_ERROR(ELzrw1Exception);

// Stored as 0, 1, 2.
enum class TCompressMode { Good = 0, Fast = 1, Auto = 2 };

namespace lzrw1 {
inline constexpr std::uint32_t kFastIdentifier = 0x4C5A5257; // "WRZL"
inline constexpr std::uint32_t kGoodIdentifier = 0x4C5A4821; // "!HZL"
inline constexpr int kHeaderSize = 8;                        // identifier, size
inline constexpr qint64 kAdviseSmallInput = 0x18000;         // below: always GOOD
} // namespace lzrw1

// Compress, Decompress and Advise run one at a time in the process: a call
// made while another is running on the same thread (from the idle handler)
// is refused, one from another thread waits for it.
class Lzrw1Codec {
public:
    Lzrw1Codec() = default;

    bool UseStream() const { return m_useStream; }
    void setUseStream(bool on) { m_useStream = on; }
    QString InputFile() const { return m_inputFile; }
    void setInputFile(const QString& name) { m_inputFile = name; }
    QString OutputFile() const { return m_outputFile; }
    void setOutputFile(const QString& name) { m_outputFile = name; }
    TCompressMode CompressMode() const { return m_mode; }
    void setCompressMode(TCompressMode mode) { m_mode = mode; }
    int Threshold() const { return m_threshold; }
    void setThreshold(int percent) { m_threshold = percent; }
    // Owned by the caller; used when UseStream is true.
    QIODevice* InputStream() const { return m_inputStream; }
    void setInputStream(QIODevice* device) { m_inputStream = device; }
    QIODevice* OutputStream() const { return m_outputStream; }
    void setOutputStream(QIODevice* device) { m_outputStream = device; }

    // Writes identifier, size and payload; returns the bytes written.
    qint64 Compress();
    // Expands by the identifier of the input; returns the bytes written.
    qint64 Decompress();
    // Recommends Good or Fast; a small input also sets CompressMode to Good.
    TCompressMode Advise();

    // Receives each status text: running totals after every block or buffer,
    // then the result.
    void setStatusHandler(std::function<void(const QString&)> handler) { m_status = std::move(handler); }
    // Called after every read and write, so that a window can stay responsive.
    void setIdleHandler(std::function<void()> handler) { m_idle = std::move(handler); }
    // The status text given last.
    QString lastStatus() const { return m_lastStatus; }

private:
    friend class Lzrw1Call;
    TCompressMode adviseUnguarded();
    void status(const QString& text);
    void idle();

    bool m_useStream = false;
    QString m_inputFile;
    QString m_outputFile;
    TCompressMode m_mode = TCompressMode::Good;
    int m_threshold = 40;
    QIODevice* m_inputStream = nullptr;
    QIODevice* m_outputStream = nullptr;
    std::function<void(const QString&)> m_status;
    std::function<void()> m_idle;
    QString m_lastStatus;
};

namespace lzrw1 {
// Whole buffers in memory through stream mode; both throw ELzrw1Exception.
QByteArray compress(const QByteArray& data, TCompressMode mode);
QByteArray decompress(const QByteArray& stream);
} // namespace lzrw1
