// The metafile player on an 800 x 600 EMF of 10,000 records (shapes, lines,
// object changes, some text), beside Qt decoding a PNG of the same picture.
#include "formats/dib_image.h"
#include "platform/metafile_player.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QtEndian>
#include <benchmark/benchmark.h>

namespace {

class EmfWriter {
public:
    void record(quint32 type, std::initializer_list<qint32> fields)
    {
        put(type);
        put(quint32(8 + 4 * fields.size()));
        for (qint32 f : fields)
            put(quint32(f));
        ++m_count;
    }
    void polygon16(quint32 type, std::initializer_list<qint16> xy)
    {
        put(type);
        put(quint32(8 + 16 + 4 + 2 * xy.size()));
        for (int i = 0; i < 4; ++i)
            put(0); // bounds: not used in playback
        put(quint32(xy.size() / 2));
        for (qint16 v : xy)
            m_bytes.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
        ++m_count;
    }
    void text(qint32 x, qint32 y, const QString& s)
    {
        const quint32 chars = quint32(s.size());
        const quint32 stringBytes = (chars * 2 + 3) & ~3u;
        put(84);
        put(76 + stringBytes);
        for (int i = 0; i < 4; ++i)
            put(0);
        put(1), put(0), put(0);          // graphics mode, scales
        put(quint32(x)), put(quint32(y)); // reference
        put(chars), put(76), put(0);      // count, string offset, options
        for (int i = 0; i < 4; ++i)
            put(0);
        put(0); // no advances
        QByteArray utf16(qsizetype(stringBytes), '\0');
        for (quint32 i = 0; i < chars; ++i)
            qToLittleEndian<quint16>(s[qsizetype(i)].unicode(), utf16.data() + 2 * i);
        m_bytes.append(utf16);
        ++m_count;
    }
    QByteArray finish()
    {
        record(14, {0, 16, 20}); // EOF
        QByteArray header(108, '\0');
        char* h = header.data();
        const qint32 fields[] = {1, 108, 0, 0, 799, 599, 0, 0, 21167, 15875, 0x464D4520, 0x10000};
        for (int i = 0; i < 12; ++i)
            qToLittleEndian<qint32>(fields[i], h + 4 * i);
        qToLittleEndian<quint32>(quint32(108 + m_bytes.size()), h + 48);
        qToLittleEndian<quint32>(m_count + 1, h + 52);
        qToLittleEndian<quint16>(4, h + 56);
        const qint32 device[] = {800, 600, 212, 159};
        for (int i = 0; i < 4; ++i)
            qToLittleEndian<qint32>(device[i], h + 72 + 4 * i);
        qToLittleEndian<qint32>(211667, h + 100);
        qToLittleEndian<qint32>(158750, h + 104);
        return header + m_bytes;
    }
    quint32 count() const { return m_count; }

private:
    void put(quint32 v)
    {
        char b[4];
        qToLittleEndian(v, b);
        m_bytes.append(b, 4);
    }
    QByteArray m_bytes;
    quint32 m_count = 0;
};

QByteArray tenThousandRecords()
{
    EmfWriter w;
    w.record(18, {1});                 // transparent background
    w.record(82, {3, -16, 0, 0, 0, 400, 0, 0}); // font 3: 16 pixels, the default face
    w.record(37, {3});
    // The mix of the office suite's files: objects made, selected and
    // deleted around each shape, so about one record in nine draws.
    for (int i = 0; w.count() < 10000; ++i) {
        const qint32 x = (i * 37) % 760, y = (i * 23) % 560;
        w.record(39, {1, 0, qint32((i * 2654435761u) & 0xFFFFFF), 0});
        w.record(38, {2, 0, 1 + i % 3, 0, 0x202020});
        w.record(37, {1});
        w.record(37, {2});
        switch (i % 4) {
        case 0: w.record(43, {x, y, x + 30, y + 20}); break;
        case 1: w.record(42, {x + 5, y + 5, x + 35, y + 40}); break;
        case 2:
            w.polygon16(86, {qint16(x), qint16(y + 40), qint16(x + 20), qint16(y + 10), qint16(x + 40),
                             qint16(y + 40)});
            break;
        default:
            w.polygon16(87, {qint16(x), qint16(y), qint16(x + 15), qint16(y + 30), qint16(x + 30), qint16(y),
                             qint16(x + 40), qint16(y + 30)});
            break;
        }
        w.record(37, {int(0x80000000u | 5)}); // stock hollow brush
        w.record(37, {int(0x80000000u | 7)}); // stock black pen
        w.record(40, {1});
        w.record(40, {2});
        if (i % 8 == 0)
            w.text(x, y + 20, QStringLiteral("Quorvel"));
    }
    return w.finish();
}

QImage decodeDib(QByteArrayView dib) { return DibToImage(dib); }

void BM_RenderEmf10kRecords(benchmark::State& state)
{
    const QByteArray emf = tenThousandRecords();
    for (auto _ : state) {
        QImage image = RenderMetafile(emf, decodeDib);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["records"] = 10000;
}
BENCHMARK(BM_RenderEmf10kRecords)->Unit(benchmark::kMillisecond);

// The peer: Qt's PNG reader on the same picture, the work qvtool convert does for a PNG of that size.
void BM_DecodePngSameSize(benchmark::State& state)
{
    const QImage picture = RenderMetafile(tenThousandRecords(), decodeDib);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    for (auto _ : state) {
        QImage image = QImage::fromData(png, "PNG");
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_DecodePngSameSize)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
