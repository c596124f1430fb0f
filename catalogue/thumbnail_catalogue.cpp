// The folder scan, the thumbnail maker and the cache files.
#include "catalogue/thumbnail_catalogue.h"

#include "catalogue/strip_cells.h"
#include "catalogue/thumbnail_decode.h"
#include "catalogue/thumbnail_geometry.h"
#include "formats/picture_loader.h"
#include "platform/file_names.h"
#include "platform/limits.h"
#include "platform/settings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPainter>
#include <QSaveFile>
#include <QStringDecoder>
#include <QtEndian>
#include <cstring>
#include <exception>
#include <vector>

namespace {

using thumbs::fileNameOf;
using thumbs::sizeText;
using thumbs::withSlash;

constexpr char kImagesFile[] = "qvthimgs.thi";
constexpr char kTextsFile[] = "qvthtxts.tht";


// The strip of the cache, 4 thumbnails a row, as the bytes of one 24-bit BMP
// file made row by row while the compressor reads them: ten thousand
// thumbnails would take hundreds of megabytes as a whole file in memory.
class StripDevice : public QIODevice {
public:
    explicit StripDevice(const ImageList* list)
        : m_list(list), m_count(list ? list->count() : 0), m_side(list ? list->size() : 0)
    {
        const int width = m_count > 0 ? 4 * m_side : 0;
        m_height = m_count > 0 ? m_side * ((m_count + 3) / 4) : 0;
        m_stride = (width * 3 + 3) & ~3;
        const qint64 pixels = qint64(m_stride) * m_height;
        uchar* p = m_header;
        std::memset(p, 0, sizeof m_header);
        p[0] = 'B';
        p[1] = 'M';
        qToLittleEndian<quint32>(quint32(54 + pixels), p + 2);
        qToLittleEndian<quint32>(54, p + 10);
        qToLittleEndian<quint32>(40, p + 14);
        qToLittleEndian<qint32>(width, p + 18);
        qToLittleEndian<qint32>(m_height, p + 22);
        qToLittleEndian<quint16>(1, p + 26);
        qToLittleEndian<quint16>(24, p + 28);
        qToLittleEndian<quint32>(quint32(pixels), p + 34);
        qToLittleEndian<qint32>(3780, p + 38);
        qToLittleEndian<qint32>(3780, p + 42);
        m_row.resize(size_t(m_stride));
    }

    bool isSequential() const override { return false; }
    qint64 size() const override { return 54 + qint64(m_stride) * m_height; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        qint64 pos = this->pos(), done = 0;
        while (done < maxSize && pos < size()) {
            qint64 n;
            if (pos < 54) {
                n = std::min(maxSize - done, 54 - pos);
                std::memcpy(data + done, m_header + pos, size_t(n));
            } else {
                const int fileRow = int((pos - 54) / m_stride);
                const int offset = int((pos - 54) % m_stride);
                makeRow(m_height - 1 - fileRow); // bottom-up
                n = std::min<qint64>(maxSize - done, m_stride - offset);
                std::memcpy(data + done, m_row.data() + offset, size_t(n));
            }
            done += n;
            pos += n;
        }
        return done;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    // Picture row y of the strip, blue-green-red, padded with zeros.
    void makeRow(int y)
    {
        if (y == m_rowY)
            return;
        m_rowY = y;
        std::fill(m_row.begin(), m_row.end(), uchar(0));
        const int cellRow = y / m_side, line = y % m_side;
        if (cellRow != m_cellRow) {
            // The four pictures of a band serve its every line.
            m_cellRow = cellRow;
            for (int col = 0; col < 4; ++col) {
                const int i = 4 * cellRow + col;
                m_cells[col] = i < m_count ? m_list->peek(i).convertToFormat(QImage::Format_RGB32) : QImage();
            }
        }
        for (int col = 0; col < 4; ++col) {
            const int i = 4 * cellRow + col;
            if (i >= m_count)
                break;
            const QImage& cell = m_cells[col];
            if (line >= cell.height())
                continue;
            const QRgb* src = reinterpret_cast<const QRgb*>(cell.constScanLine(line));
            uchar* dst = m_row.data() + col * m_side * 3;
            const int width = std::min(m_side, cell.width());
            for (int x = 0; x < width; ++x) {
                dst[3 * x] = uchar(qBlue(src[x]));
                dst[3 * x + 1] = uchar(qGreen(src[x]));
                dst[3 * x + 2] = uchar(qRed(src[x]));
            }
        }
    }

    const ImageList* m_list;
    int m_count, m_side, m_height, m_stride;
    uchar m_header[54];
    std::vector<uchar> m_row;
    int m_rowY = -1;
    int m_cellRow = -1;
    QImage m_cells[4];
};

// The text file: lines end at CR LF only; a lone CR stays in the value.
class CacheTextReader {
public:
    explicit CacheTextReader(const QByteArray& bytes) : m_text(QString::fromUtf8(bytes)) {}
    bool atEnd() const { return m_pos >= m_text.size(); }
    // A line past the end reads as empty.
    QString line()
    {
        if (atEnd())
            return {};
        const qsizetype end = m_text.indexOf(QLatin1String("\r\n"), m_pos);
        QString out;
        if (end < 0) {
            out = m_text.mid(m_pos);
            m_pos = m_text.size();
        } else {
            out = m_text.mid(m_pos, end - m_pos);
            m_pos = end + 2;
        }
        return out;
    }
    // A missing line reads as 0; a line that is not a number is an error.
    qint64 number()
    {
        if (atEnd())
            return 0;
        const QString l = line();
        bool ok = false;
        const qint64 v = l.trimmed().toLongLong(&ok);
        if (!ok)
            throw ECacheError(QStringLiteral("Invalid numeric input"));
        return v;
    }

private:
    QString m_text;
    qsizetype m_pos = 0;
};

} // namespace

ThumbnailCatalogue::ThumbnailCatalogue(CatalogueHost* host, QObject* parent)
    : QObject(parent), m_host(host ? host : &m_noHost), m_ahead(std::make_unique<ThumbnailDecodeAhead>())
{
    m_compressore.setCompressMode(TCompressMode::Fast);
    m_compressore.setIdleHandler([this] { m_host->processEvents(); });
    StartupObjects& so = startupObjects();
    m_model.setImageList(&so.lists[StartupObjects::slot(Configurazione.Dimensione)]);
}

ThumbnailCatalogue::~ThumbnailCatalogue() = default;

bool ThumbnailCatalogue::italian() const { return Configurazione.italianPrefix(); }

QString ThumbnailCatalogue::cacheImagesName(const QString& folder) { return withSlash(folder) + kImagesFile; }
QString ThumbnailCatalogue::cacheTextsName(const QString& folder) { return withSlash(folder) + kTextsFile; }

bool ThumbnailCatalogue::folderExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    QString p = path;
    if (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return QFileInfo(p).isDir();
}

QString ThumbnailCatalogue::dateText(const QDateTime& when)
{
    const QLocale loc = QLocale::system();
    return loc.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + loc.toString(when.time(), QLocale::LongFormat);
}

void ThumbnailCatalogue::AggiornaConteggio()
{
    const int n = m_model.count();
    m_host->setStatusText(0, italian() ? QStringLiteral("La lista contiene %1 immagini").arg(n)
                                       : QStringLiteral("There are %1 pictures in the list").arg(n));
}

bool ThumbnailCatalogue::scegliListaImmagini(int dimensione)
{
    if (dimensione < 1 || dimensione > 3)
        return false;
    StartupObjects& so = startupObjects();
    ImageList* wanted = &so.lists[dimensione - 1];
    if (wanted == m_model.imageList())
        return false;
    for (int i = 0; i < 3; ++i)
        so.lists[i].clear();
    so.resetList(dimensione - 1);
    m_model.setImageList(wanted);
    m_host->imageListChanged(wanted);
    return true;
}

bool ThumbnailCatalogue::LeggiDirectory(const QString& given)
{
    if (!folderExists(given))
        return false;
    const Occupato busy(*this);
    // Once it is the current directory, a relative name would mean another folder.
    const QString folder = QDir::isRelativePath(given) ? QDir::cleanPath(QDir::current().absoluteFilePath(given)) : given;
    if (!QDir::setCurrent(folder))
        throw ECacheError(QStringLiteral("Cannot change to the folder %1").arg(folder));
    m_host->setMonitoredFolder(folder);
    m_host->setStatusText(2, m_host->shortenPath(folder, 120));
    if (Configurazione.SalvaThumb && Configurazione.SvuotaLista && QFile::exists(cacheImagesName(folder))
        && QFile::exists(cacheTextsName(folder))) {
        m_model.clear();
        ListaCaricate.clear();
        CaricaMiniature(folder);
        for (const QString& p : m_model.paths())
            ListaCaricate.add(p);
        CompletaLista(folder);
        EliminaNonCaricate();
        AggiornaConteggio();
        return true;
    }
    if (Configurazione.SvuotaLista) {
        m_model.clear();
        StartupObjects& so = startupObjects();
        for (int i = 0; i < 3; ++i)
            so.resetList(i);
        ListaCaricate.clear();
        m_model.imagesChanged();
    }
    VisualizzaTutto(folder);
    AggiornaConteggio();
    return true;
}

int ThumbnailCatalogue::aggiungiElemento(const QString& path, int imageIndex)
{
    return aggiungiElemento(path, QFileInfo(path), imageIndex);
}

int ThumbnailCatalogue::aggiungiElemento(const QString& path, const QFileInfo& fi, int imageIndex)
{
    ThumbnailRecord rec;
    rec.Caption = thumbs::upperAscii(fileNameOf(path));
    rec.ImageIndex = imageIndex;
    rec.SubItems = {path,
                    thumbs::formatText(thumbs::extensionKey(path), italian()),
                    sizeText(holder.size()),
                    QString::number(fi.size()),
                    dateText(fi.lastModified()),
                    QStringLiteral("0")};
    return m_model.addItem(rec);
}

void ThumbnailCatalogue::enumerate(const QString& folder, bool completing, bool freshFrame)
{
    QList<qv::FolderEntry> entries; // read on bytes: a name that is not UTF-8 is listed too
    qv::listFolder(folder, &entries);
    ImageList* list = m_model.imageList();
    const int slot = StartupObjects::slot(Configurazione.Dimensione);
    for (qsizetype e = 0; e < entries.size() && !Interrompi; ++e) {
        if (entries[e].type != qv::FolderEntry::File)
            continue;
        const QString path = thumbs::withSlash(folder) + entries[e].name;
        if (completing)
            m_host->processEvents();
        // The extension first: it needs no file-system call.
        if (!IsPictureExtension(thumbs::extensionKey(path)))
            continue;
        const QFileInfo fi(path);
        if (fi.isDir() || fi.isHidden())
            continue;
        if (ListaCaricate.contains(path) || m_model.hasPath(path))
            continue;
        int index = list ? list->frameIndex : -1;
        if (freshFrame && list)
            index = list->add(startupObjects().frames[slot]);
        aggiungiElemento(path, fi, index);
    }
}

void ThumbnailCatalogue::VisualizzaTutto(const QString& folder)
{
    Interrompi = false;
    enumerate(withSlash(folder), false, false);
    AggiornaConteggio();
    m_host->setStatusText(1, QString());
    m_host->processEvents();
    Interrompi = false;
    thumbnailPass(false);
}

void ThumbnailCatalogue::CompletaLista(const QString& folder)
{
    Interrompi = false;
    enumerate(withSlash(folder), true, true);
    m_host->setStatusText(1, QString());
    m_host->processEvents();
    Interrompi = false;
    thumbnailPass(true);
}

void ThumbnailCatalogue::thumbnailPass(bool completing)
{
    const Occupato busy(*this);
    // The pictures to make, in list order; decoding runs ahead on worker
    // threads while the list, the texts and Esc stay on this thread.
    QStringList todo;
    for (int row = 0; row < m_model.count(); ++row) {
        const ThumbnailRecord& r = m_model.item(row);
        const QString& path = r.SubItems[SubPath];
        if (completing ? (ListaCaricate.contains(path) && r.SubItems[SubLoaded] != QLatin1String("0"))
                       : ListaCaricate.contains(path))
            continue;
        todo << path;
    }
    m_ahead->start(todo, Configurazione.Dimensione, Configurazione.Colori);
    for (const QString& path : todo) {
        int row = m_model.rowOfPath(path);
        if (row < 0) // gone while the interface ran
            continue;
        holder.clear();
        row = mostraMiniatura(path, CreaMiniatura(path, -1));
        if (row < 0)
            continue;
        if (completing) {
            m_model.setSubItem(row, SubLoaded, QStringLiteral("1"));
            m_host->processEvents();
            if (Interrompi)
                break;
            ListaCaricate.add(path);
        } else {
            if (Interrompi)
                break;
            ListaCaricate.add(path);
            m_model.setSubItem(row, SubLoaded, QStringLiteral("1"));
            m_host->processEvents();
        }
    }
    m_ahead->stop();
}

int ThumbnailCatalogue::CreaMiniatura(const QString& path, int replaceIndex)
{
    const int dim = Configurazione.Dimensione;
    m_host->setStatusText(1, QString());
    const QString msg = italian() ? QStringLiteral("Carico il file %1") : QStringLiteral("Loading file %1");
    m_host->setStatusText(1, msg.arg(thumbs::upperAscii(m_host->shortenPath(path, 200))));

    const DecodedThumbnail d = m_ahead->take(path, dim, Configurazione.Colori);
    holder = d.picture;
    StartupObjects& so = startupObjects();
    const int slot = StartupObjects::slot(dim);
    QImage& work = so.work[slot];
    {
        QPainter p(&work);
        p.drawImage(0, 0, so.frames[slot]);
        const thumbs::FitRect r = d.rect;
        p.drawImage(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), d.scaled);
    }
    ImageList* list = m_model.imageList();
    int result;
    if (replaceIndex > list->frameIndex) {
        list->replace(replaceIndex, work);
        result = -2;
    } else {
        result = list->add(work);
    }
    m_host->setStatusText(1, QString());
    return result;
}

void ThumbnailCatalogue::ImpostaDidascalia(int row)
{
    if (row < 0 || row >= m_model.count())
        return;
    const ThumbnailRecord& r = m_model.item(row);
    m_model.setCaption(row, thumbs::caption(fileNameOf(r.SubItems[SubPath]), r.SubItems[SubPixels],
                                            r.SubItems[SubBytes].toLongLong()));
}

int ThumbnailCatalogue::mostraMiniatura(const QString& path, int index)
{
    const int row = m_model.rowOfPath(path);
    if (row < 0)
        return row;
    m_model.setSubItem(row, SubPixels, sizeText(m_ahead->lastTrueSize()));
    if (index != -2)
        m_model.setImageIndex(row, index);
    ImpostaDidascalia(row);
    return m_model.rowOfPath(path); // the caption may have moved it
}

void ThumbnailCatalogue::EliminaNonCaricate()
{
    if (ListaCaricate.isEmpty()) {
        m_model.clear();
    } else {
        m_model.removeIf([this](const ThumbnailRecord& r) { return !ListaCaricate.contains(r.SubItems[SubPath]); });
    }
    AggiornaConteggio();
}

void ThumbnailCatalogue::RigeneraMiniature()
{
    const Occupato busy(*this);
    ImageList* list = m_model.imageList();
    for (int row = 0; row < m_model.count(); ++row) {
        m_model.setImageIndex(row, list->frameIndex);
        m_model.setSubItem(row, SubLoaded, QStringLiteral("0"));
    }
    Interrompi = false;
    const QStringList todo = m_model.paths();
    m_ahead->start(todo, Configurazione.Dimensione, Configurazione.Colori);
    for (const QString& path : todo) {
        int row = m_model.rowOfPath(path);
        if (row < 0)
            continue;
        holder.clear();
        const int index = CreaMiniatura(path, m_model.item(row).ImageIndex);
        row = m_model.rowOfPath(path);
        if (row < 0)
            continue;
        if (index != -2 && m_model.item(row).ImageIndex == list->frameIndex)
            m_model.setImageIndex(row, index);
        m_model.setSubItem(row, SubLoaded, QStringLiteral("1"));
        if (Interrompi)
            break;
        m_host->processEvents();
    }
    m_ahead->stop();
}

void ThumbnailCatalogue::Cancellalalista()
{
    m_model.clear();
    StartupObjects& so = startupObjects();
    for (int i = 0; i < 3; ++i)
        so.resetList(i);
    ListaCaricate.clear();
    m_model.imagesChanged();
    AggiornaConteggio();
}

// ---- cache files -----------------------------------------------------------------

namespace {

// Runs the compressor between two streams it does not own, and lets go of
// them whatever happens.
void runCodec(Lzrw1Codec& codec, QIODevice& in, QIODevice& out, qint64 (Lzrw1Codec::*step)())
{
    struct Detach {
        Lzrw1Codec& c;
        ~Detach()
        {
            c.setInputStream(nullptr);
            c.setOutputStream(nullptr);
        }
    } detach{codec};
    codec.setUseStream(true);
    codec.setInputStream(&in);
    codec.setOutputStream(&out);
    (codec.*step)();
}

// The wait cursor and a progress text for as long as it lives.
class WaitStatus {
public:
    WaitStatus(CatalogueHost* host, const QString& text) : m_host(host)
    {
        m_host->setWaitCursor(true);
        m_host->setStatusText(1, text);
    }
    ~WaitStatus()
    {
        m_host->setWaitCursor(false);
        m_host->setStatusText(1, QString());
    }
    WaitStatus(const WaitStatus&) = delete;
    WaitStatus& operator=(const WaitStatus&) = delete;

private:
    CatalogueHost* m_host;
};

// Replaces `name` with `bytes` through a temporary file in the same folder.
void writeAtomically(const QString& name, const QByteArray& bytes)
{
    QSaveFile f(name);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw ECacheError(QStringLiteral("Cannot write %1").arg(name));
}

} // namespace

void ThumbnailCatalogue::SalvaMiniature(const QString& folder)
{
    const Occupato busy(*this);
    if (m_model.count() == 0)
        return;
    const WaitStatus wait(m_host, italian() ? QStringLiteral("Salvo le miniature...") : QStringLiteral("Saving thumbnails..."));

    const int dim = Configurazione.Dimensione;
    const ImageList* list = dim >= 1 && dim <= 3 ? &startupObjects().lists[dim - 1] : nullptr;
    if (!folderExists(folder))
        return;
    m_host->setMonitorActive(false);
    struct MonitorBack {
        CatalogueHost* host;
        ~MonitorBack() { host->setMonitorActive(true); }
    } monitorBack{m_host};

    // The strip goes from the list through the compressor into a temporary
    // file that replaces the old one only once it is complete.
    // A copy shares the pictures and keeps them as they are while the
    // compressor lets the interface run.
    const ImageList snapshot = list ? *list : ImageList(0);
    StripDevice strip(list ? &snapshot : nullptr);
    strip.open(QIODevice::ReadOnly);
    QSaveFile images(cacheImagesName(folder));
    if (!images.open(QIODevice::WriteOnly))
        throw ECacheError(QStringLiteral("Cannot write %1").arg(images.fileName()));
    runCodec(m_compressore, strip, images, &Lzrw1Codec::Compress);
    if (!images.commit())
        throw ECacheError(QStringLiteral("Cannot write %1").arg(images.fileName()));

    QString text;
    const QString crlf = QStringLiteral("\r\n");
    text += QString::number(dim) + crlf + QString::number(m_model.count()) + crlf;
    for (int row = 0; row < m_model.count(); ++row) {
        const ThumbnailRecord& r = m_model.item(row);
        text += r.Caption + crlf + QString::number(r.ImageIndex) + crlf;
        for (int i = 0; i < 6; ++i)
            text += r.SubItems.value(i) + crlf;
    }
    writeAtomically(cacheTextsName(folder), text.toUtf8());
}

void ThumbnailCatalogue::CaricaMiniature(const QString& folder)
{
    const Occupato busy(*this);
    m_model.clear();
    const WaitStatus wait(m_host, italian() ? QStringLiteral("Carico le miniature...") : QStringLiteral("Loading thumbnails..."));

    const QString imagesName = cacheImagesName(folder);
    const QString textsName = cacheTextsName(folder);
    if (!QFile::exists(imagesName) || !QFile::exists(textsName))
        return;

    QFile images(imagesName);
    if (!images.open(QIODevice::ReadOnly))
        throw ECacheError(QStringLiteral("Cannot read %1").arg(imagesName));
    QFile texts(textsName);
    if (!texts.open(QIODevice::ReadOnly))
        throw ECacheError(QStringLiteral("Cannot read %1").arg(textsName));
    // Ten thousand records take a few megabytes; far more is not a cache of ours.
    constexpr qint64 kMaxTextBytes = qint64(256) << 20;
    if (texts.size() > kMaxTextBytes)
        throw ECacheError(QStringLiteral("%1 is too large").arg(textsName));
    caricaDa(images, texts.readAll());
}

// The size code of a cache decides the thumbnail size; its list starts afresh.
void ThumbnailCatalogue::useList(int dimensione, int slot)
{
    StartupObjects& so = startupObjects();
    Configurazione.Dimensione = dimensione;
    so.resetList(slot);
    if (m_model.imageList() != &so.lists[slot]) {
        m_model.setImageList(&so.lists[slot]);
        m_host->imageListChanged(&so.lists[slot]);
    }
}

void ThumbnailCatalogue::caricaDa(QIODevice& images, const QByteArray& texts)
{
    // The records first: they tell which thumbnails to cut from the strip
    // while it expands. A damaged text file is reported after the strip, so
    // a damaged strip is what the user hears of first.
    CacheTextReader text(texts);
    std::exception_ptr textError;
    int dimensione = Configurazione.Dimensione;
    std::vector<ThumbnailRecord> recs;
    std::vector<qint64> indexes;
    try {
        const qint64 code = text.number();
        dimensione = int(std::clamp<qint64>(code, INT_MIN, INT_MAX));
        const qint64 n = text.number();
        // A count larger than the file's lines stops at the end of the file.
        for (qint64 k = 0; k < n && !text.atEnd(); ++k) {
            ThumbnailRecord rec;
            rec.Caption = text.line();
            indexes.push_back(text.number());
            for (int sub = 0; sub < 6; ++sub)
                rec.SubItems << text.line();
            recs.push_back(std::move(rec));
        }
    } catch (const ECacheError&) {
        textError = std::current_exception();
        indexes.clear();
    }

    const int slot = StartupObjects::slot(dimensione);
    StartupObjects& so = startupObjects();
    const int s = so.lists[slot].size();

    // A strip of ours is read in place: its thumbnails are expanded when
    // first shown, so a folder of thousands opens at once.
    if (const std::shared_ptr<LazyStrip> lazy = LazyStrip::open(images, s, so.frames[slot])) {
        if (textError)
            std::rethrow_exception(textError);
        useList(dimensione, slot);
        if (lazy->width() / s == 0)
            throw ECacheError(QStringLiteral("The thumbnail strip is narrower than one thumbnail"));
        ImageList& list = so.lists[slot];
        for (size_t k = 0; k < recs.size(); ++k)
            recs[k].ImageIndex = lazy->holds(indexes[k]) ? list.addDeferred(lazy, indexes[k]) : list.add(so.frames[slot]);
        m_model.addItems(std::move(recs));
        m_host->processEvents();
        return;
    }

    // Any other stream is expanded whole, the thumbnails cut as it comes.
    StripCells strip(s, indexes);
    try {
        runCodec(m_compressore, images, strip, &Lzrw1Codec::Decompress);
    } catch (...) {
        if (strip.tooLarge())
            throw ECacheError(QStringLiteral("The thumbnail strip is too large"));
        throw;
    }
    if (!strip.finish())
        throw ECacheError(QStringLiteral("The thumbnail strip ends before its last row"));
    if (textError)
        std::rethrow_exception(textError);

    useList(dimensione, slot);
    if (strip.width() / s == 0)
        throw ECacheError(QStringLiteral("The thumbnail strip is narrower than one thumbnail"));
    for (size_t k = 0; k < recs.size(); ++k) {
        const QImage cell = strip.cell(indexes[k]);
        // An index outside the strip: the frame.
        recs[k].ImageIndex = so.lists[slot].add(cell.isNull() ? so.frames[slot] : cell);
    }
    m_model.addItems(std::move(recs));
    m_host->processEvents();
}
