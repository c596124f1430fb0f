// Tlzrw1: the compressor component, a panel kept invisible whose caption
// serves as a status line while it works and is shown.
#pragma once
#include "lzrw1codec.h"

#include <QFrame>
#include <QMetaType>

class QIODevice;

Q_DECLARE_METATYPE(TCompressMode)

class Tlzrw1 : public QFrame {
    Q_OBJECT
    Q_PROPERTY(bool UseStream READ UseStream WRITE setUseStream)
    Q_PROPERTY(QString InputFile READ InputFile WRITE setInputFile)
    Q_PROPERTY(QString OutputFile READ OutputFile WRITE setOutputFile)
    Q_PROPERTY(TCompressMode CompressMode READ CompressMode WRITE setCompressMode)
    Q_PROPERTY(int Threshold READ Threshold WRITE setThreshold)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)

public:
    explicit Tlzrw1(QWidget* parent = nullptr);

    bool UseStream() const { return m_codec.UseStream(); }
    void setUseStream(bool on) { m_codec.setUseStream(on); }
    QString InputFile() const { return m_codec.InputFile(); }
    void setInputFile(const QString& name) { m_codec.setInputFile(name); }
    QString OutputFile() const { return m_codec.OutputFile(); }
    void setOutputFile(const QString& name) { m_codec.setOutputFile(name); }
    TCompressMode CompressMode() const { return m_codec.CompressMode(); }
    void setCompressMode(TCompressMode mode) { m_codec.setCompressMode(mode); }
    int Threshold() const { return m_codec.Threshold(); }
    void setThreshold(int percent) { m_codec.setThreshold(percent); }
    // Owned by the caller, used when UseStream is true.
    QIODevice* InputStream() const { return m_codec.InputStream(); }
    void setInputStream(QIODevice* device) { m_codec.setInputStream(device); }
    QIODevice* OutputStream() const { return m_codec.OutputStream(); }
    void setOutputStream(QIODevice* device) { m_codec.setOutputStream(device); }

    QString Caption() const { return m_caption; }
    void setCaption(const QString& text);

    // Each throws ELzrw1Exception on failure; see Lzrw1Codec.
    qint64 Compress() { return m_codec.Compress(); }
    qint64 Decompress() { return m_codec.Decompress(); }
    TCompressMode Advise() { return m_codec.Advise(); }

    // The status text given last, shown or not.
    QString lastStatus() const { return m_codec.lastStatus(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Lzrw1Codec m_codec;
    QString m_caption;
};
