// The folder scan, the thumbnail maker and the cache files.
#include "catalogue/thumbnail_catalogue.h"

#include "catalogue/strip_cells.h"
#include "catalogue/thumbnail_decode.h"
#include "catalogue/thumbnail_geometry.h"
#include "formats/bitmap_header.h"
#include "formats/picture_loader.h"
#include "platform/file_names.h"
#include "platform/interface_language.h"
#include "platform/limits.h"
#include "platform/settings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPainter>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>
#include <QtEndian>
#include <cstring>
#include <exception>
#include <optional>
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
    // `cells`: the list's image of each cell of the strip; empty for the whole list in order.
    StripDevice(const ImageList* list, std::vector<int> cells)
        : m_list(list), m_sources(std::move(cells)),
          m_count(!list ? 0 : m_sources.empty() ? list->count() : int(m_sources.size())),
          m_side(list ? list->size() : 0)
    {
        const int width = m_count > 0 ? 4 * m_side : 0;
        m_height = m_count > 0 ? m_side * ((m_count + 3) / 4) : 0;
        m_stride = (width * 3 + 3) & ~3;
        const qint64 pixels = qint64(m_stride) * m_height;
        qv::writeBitmapFileHeader(m_header, quint32(54 + pixels), 54);
        qv::BitmapInfo info;
        info.width = width;
        info.height = m_height;
        info.bits = 24;
        info.imageSize = quint32(pixels);
        info.pixelsPerMetre = 3780; // 96 an inch
        qv::writeBitmapInfoHeader(m_header + qv::kBitmapFileHeaderSize, info);
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
                m_cells[col] = i < m_count ? m_list->peek(source(i)).convertToFormat(QImage::Format_RGB32) : QImage();
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

    int source(int cell) const { return m_sources.empty() ? cell : m_sources[size_t(cell)]; }

    const ImageList* m_list;
    std::vector<int> m_sources;
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
    // A line was asked for past the end, or the last one had no CR LF: the file was cut short.
    bool cut() const { return m_cut; }
    // A line past the end reads as empty.
    QString line()
    {
        if (atEnd()) {
            m_cut = true;
            return {};
        }
        const qsizetype end = m_text.indexOf(QLatin1String("\r\n"), m_pos);
        QString out;
        if (end < 0) {
            m_cut = true;
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
        if (atEnd()) {
            m_cut = true;
            return 0;
        }
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
    bool m_cut = false;
};

// Thrown by the codec's idle step when Esc stops a cache read.
struct CacheReadStopped {};

} // namespace

ThumbnailCatalogue::ThumbnailCatalogue(CatalogueHost* host, QObject* parent)
    : QObject(parent), m_host(host ? host : &m_noHost), m_ahead(std::make_unique<ThumbnailDecodeAhead>())
{
    m_compressore.setCompressMode(TCompressMode::Fast);
    m_compressore.setIdleHandler([this] {
        m_host->processEvents();
        if (m_readingCache && Interrompi)
            throw CacheReadStopped{};
    });
    // Any change of the items means the list no longer is what its cache pair holds;
    // pictures shown anew (frame colours, a strip cell expanded) are no change.
    const auto changed = [this] { m_listMatchesPair = false; };
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, changed);
    connect(&m_model, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(&m_model, &QAbstractItemModel::modelReset, this, changed);
    connect(&m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (roles != QList<int>{Qt::DecorationRole})
                    m_listMatchesPair = false;
            });
    StartupObjects& so = startupObjects();
    m_model.setImageList(&so.lists[StartupObjects::slot(Configurazione.Dimensione)]);
}

ThumbnailCatalogue::~ThumbnailCatalogue() = default;

bool ThumbnailCatalogue::italian() const { return italianInterface(LanguageTest::ItalianPrefix); }

QString ThumbnailCatalogue::cacheImagesName(const QString& folder) { return withSlash(folder) + kImagesFile; }
QString ThumbnailCatalogue::cacheTextsName(const QString& folder) { return withSlash(folder) + kTextsFile; }

QString ThumbnailCatalogue::folderKey(const QString& folder)
{
    // Every read changes the working folder, so a relative name would mean
    // a different folder from one read to the next: it names none.
    if (folder.isEmpty() || QDir::isRelativePath(folder))
        return {};
    return QDir::cleanPath(folder);
}

void ThumbnailCatalogue::noteStatus(const QString& italianText, const QString& englishText)
{
    m_host->setStatusText(1, italian() ? italianText : englishText);
}

bool ThumbnailCatalogue::folderExists(const QString& path)
{
    if (path.isEmpty() || QDir::isRelativePath(path))
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
    m_host->setStatusText(0, thumbs::countText(QString::number(m_model.count()), italian()));
}

bool ThumbnailCatalogue::chooseImageList(int sizeCode)
{
    if (sizeCode < 1 || sizeCode > 3)
        return false;
    StartupObjects& so = startupObjects();
    ImageList* wanted = &so.lists[sizeCode - 1];
    if (wanted == m_model.imageList())
        return false;
    for (int i = 0; i < 3; ++i)
        so.lists[i].clear();
    so.resetList(sizeCode - 1);
    m_model.setImageList(wanted);
    m_host->imageListChanged(wanted);
    return true;
}

bool ThumbnailCatalogue::readFolder(const QString& given)
{
    // A read started from inside another (its pending messages) would reset
    // the stop flag and rewrite the list under it.
    if (isBusy() || !folderExists(given))
        return false;
    const BusyScope busy(*this);
    Interrompi = false; // once per command: Esc at any step stops the whole read
    const QString folder = folderKey(given);
    if (!QDir::setCurrent(folder))
        throw ECacheError(QStringLiteral("Cannot change to the folder %1").arg(folder));
    m_host->setMonitoredFolder(folder);
    m_host->setStatusText(2, m_host->shortenPath(folder, 120));
    bool damaged = false;
    if (Configurazione.SalvaThumb && Configurazione.SvuotaLista && QFile::exists(cacheImagesName(folder))
        && QFile::exists(cacheTextsName(folder))) {
        m_model.clear();
        ListaCaricate.clear();
        damaged = !readPairOrNote(folder);
        if (!damaged) {
            for (const QString& p : m_model.paths())
                ListaCaricate.add(p);
            if (!Interrompi)
                completeList(folder);
            EliminaNonCaricate();
            AggiornaConteggio();
            m_listFolder = folder;
            return true;
        }
        // A damaged pair never hides the folder: it is scanned, and the pair
        // is replaced when the list is next saved.
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
    if (m_listFolder != folder)
        m_listMatchesPair = false;
    m_listFolder = folder;
    if (damaged)
        noteDamagedCache(true);
    return true;
}

int ThumbnailCatalogue::addScanItem(const QString& path, int imageIndex)
{
    return addScanItem(path, QFileInfo(path), imageIndex);
}

int ThumbnailCatalogue::addScanItem(const QString& path, const QFileInfo& fi, int imageIndex)
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
        addScanItem(path, fi, index);
    }
}

// The read-folder command clears Interrompi once when it starts; Esc seen
// during the listing stops the thumbnails too.
void ThumbnailCatalogue::VisualizzaTutto(const QString& folder)
{
    enumerate(withSlash(folder), false, false);
    AggiornaConteggio();
    m_host->setStatusText(1, QString());
    m_host->processEvents();
    thumbnailPass(false);
}

void ThumbnailCatalogue::CompletaLista(const QString& folder)
{
    if (isBusy() || folderKey(folder).isEmpty())
        return;
    const BusyScope busy(*this);
    Interrompi = false;
    completeList(folder);
}

void ThumbnailCatalogue::completeList(const QString& folder)
{
    enumerate(withSlash(folder), true, true);
    m_host->setStatusText(1, QString());
    m_host->processEvents();
    thumbnailPass(true);
}

void ThumbnailCatalogue::thumbnailPass(bool completing)
{
    const BusyScope busy(*this);
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
        if (Interrompi)
            break;
        int row = m_model.rowOfPath(path);
        if (row < 0) // gone while the interface ran
            continue;
        holder.clear();
        row = showThumbnail(path, CreaMiniatura(path, -1));
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

int ThumbnailCatalogue::showThumbnail(const QString& path, int index)
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
    const BusyScope busy(*this);
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

void ThumbnailCatalogue::clearList()
{
    m_model.clear();
    m_listFolder.clear();
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

// The wait cursor and a progress text for as long as it lives; the text it
// leaves behind is empty unless a result is to be read there.
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
        m_host->setStatusText(1, m_last);
    }
    void leave(const QString& text) { m_last = text; }
    WaitStatus(const WaitStatus&) = delete;
    WaitStatus& operator=(const WaitStatus&) = delete;

private:
    CatalogueHost* m_host;
    QString m_last;
};

// The strip's size must be that of the thumbnails the records claim: four
// cells a row as written here, or a single row.
void checkStripFits(int width, int height, int side)
{
    const bool fourWide = width == 4 * side && height >= side;
    const bool oneRow = height == side && width >= side && width % side == 0;
    if (!fourWide && !oneRow)
        throw ECacheError(QStringLiteral("The thumbnail strip does not match the thumbnail size"));
}

} // namespace

void ThumbnailCatalogue::noteDamagedCache(bool scanned)
{
    if (scanned)
        noteStatus(QStringLiteral("Cache miniature danneggiata: cartella riletta"),
                   QStringLiteral("Thumbnail cache damaged: folder read again"));
    else
        noteStatus(QStringLiteral("Cache miniature danneggiata: non caricata"),
                   QStringLiteral("Thumbnail cache damaged: not loaded"));
}

QString ThumbnailCatalogue::pairStamp(const QString& folder) const
{
    const QFileInfo images(cacheImagesName(folder)), texts(cacheTextsName(folder));
    if (!images.exists() || !texts.exists())
        return {};
    return QStringLiteral("%1 %2 %3 %4")
        .arg(images.size())
        .arg(images.lastModified().toMSecsSinceEpoch())
        .arg(texts.size())
        .arg(texts.lastModified().toMSecsSinceEpoch());
}

namespace {

// What a cache pair records of the list: the strip's cells and the text file.
struct CacheRecords {
    std::vector<int> cells; // empty: the whole image list, in order
    QByteArray text;
};

// The records of the items directly inside `dir`; nothing when there are none.
// Items of other folders (a list kept across reads) stay out, and so do their
// pictures: the strip then holds only the cells these items use.
std::optional<CacheRecords> cacheRecordsOf(const ThumbnailListModel& model, const QString& dir,
                                           const ImageList* list, int sizeCode)
{
    std::vector<int> rows;
    for (int row = 0; row < model.count(); ++row)
        if (thumbs::directlyInside(model.item(row).SubItems[SubPath], dir))
            rows.push_back(row);
    if (rows.empty())
        return std::nullopt;
    CacheRecords out;
    std::vector<int> written(rows.size());
    const bool mixed = int(rows.size()) != model.count();
    for (size_t k = 0; k < rows.size(); ++k) {
        const int index = model.item(rows[k]).ImageIndex;
        written[k] = index;
        if (!mixed || !list)
            continue;
        if (out.cells.empty() && list->frameIndex >= 0)
            out.cells.push_back(list->frameIndex);
        if (index >= 0 && index < list->count() && index != list->frameIndex) {
            written[k] = int(out.cells.size());
            out.cells.push_back(index);
        } else {
            written[k] = list->frameIndex >= 0 ? 0 : -1;
        }
    }
    QString text;
    const QString crlf = QStringLiteral("\r\n");
    text += QString::number(sizeCode) + crlf + QString::number(rows.size()) + crlf;
    for (size_t k = 0; k < rows.size(); ++k) {
        const ThumbnailRecord& r = model.item(rows[k]);
        text += r.Caption + crlf + QString::number(written[k]) + crlf;
        for (int i = 0; i < 6; ++i)
            text += r.SubItems.value(i) + crlf;
    }
    out.text = text.toUtf8();
    return out;
}

} // namespace

ThumbnailCatalogue::CacheSave ThumbnailCatalogue::SalvaMiniature(const QString& given)
{
    // The compressor lets messages run: a second save or a load from there would clash.
    if (isBusy())
        return CacheSave::Busy;
    const QString folder = folderKey(given);
    if (m_model.count() == 0 || folder.isEmpty() || folder != m_listFolder || !folderExists(folder))
        return CacheSave::NotOurs;
    if (m_listMatchesPair) {
        const QString stamp = pairStamp(folder);
        if (!stamp.isEmpty() && stamp == m_pairStamp)
            return CacheSave::Unchanged;
    }
    const BusyScope busy(*this);
    WaitStatus wait(m_host, italian() ? QStringLiteral("Salvo le miniature...") : QStringLiteral("Saving thumbnails..."));

    const int dim = Configurazione.Dimensione;
    const ImageList* list = dim >= 1 && dim <= 3 ? &startupObjects().lists[dim - 1] : nullptr;

    // The records, taken now: the strip and the texts describe the same list
    // whatever happens while the compressor lets the interface run.
    std::optional<CacheRecords> records = cacheRecordsOf(m_model, withSlash(folder), list, dim);
    if (!records)
        return CacheSave::NotOurs;
    const QByteArray& textBytes = records->text;

    // Both files go to temporary files that replace the old pair only once complete.
    QSaveFile images(cacheImagesName(folder));
    QSaveFile texts(cacheTextsName(folder));
    if (!QFileInfo(folder).isWritable() || !images.open(QIODevice::WriteOnly) || !texts.open(QIODevice::WriteOnly)) {
        // Another user's folder, a read-only medium: the cache is just not kept there.
        wait.leave(italian() ? QStringLiteral("Miniature non salvate: cartella non scrivibile")
                             : QStringLiteral("Thumbnails not saved: folder not writable"));
        return CacheSave::Unwritable;
    }
    m_host->setMonitorActive(false);
    struct MonitorBack {
        CatalogueHost* host;
        ~MonitorBack() { host->setMonitorActive(true); }
    } monitorBack{m_host};

    // Marked now so that a change made while the compressor runs counts.
    m_listMatchesPair = true;
    bool done = false;
    struct Unmatched {
        bool& done;
        bool& matches;
        ~Unmatched()
        {
            if (!done)
                matches = false;
        }
    } unmatched{done, m_listMatchesPair};

    // A copy shares the pictures and keeps them as they are while the
    // compressor lets the interface run.
    const ImageList snapshot = list ? *list : ImageList(0);
    StripDevice strip(list ? &snapshot : nullptr, std::move(records->cells));
    strip.open(QIODevice::ReadOnly);
    runCodec(m_compressore, strip, images, &Lzrw1Codec::Compress);
    if (texts.write(textBytes) != textBytes.size())
        throw ECacheError(QStringLiteral("Cannot write %1").arg(texts.fileName()));
    if (!images.commit())
        throw ECacheError(QStringLiteral("Cannot write %1").arg(images.fileName()));
    if (!texts.commit()) {
        // The new strip beside the old texts would be a pair that lies: without its texts it is never read.
        QFile::remove(cacheTextsName(folder));
        throw ECacheError(QStringLiteral("Cannot write %1").arg(texts.fileName()));
    }
    done = true;
    m_pairStamp = pairStamp(folder);
    return CacheSave::Written;
}

bool ThumbnailCatalogue::CaricaMiniature(const QString& folder)
{
    if (isBusy())
        return false;
    const BusyScope busy(*this);
    Interrompi = false;
    loadCache(folder);
    return true;
}

ThumbnailCatalogue::CacheRead ThumbnailCatalogue::loadCacheOrNote(const QString& folder)
{
    if (isBusy())
        return CacheRead::Busy;
    const BusyScope busy(*this);
    Interrompi = false;
    if (readPairOrNote(folder))
        return CacheRead::Read;
    return CacheRead::Damaged;
}

bool ThumbnailCatalogue::readPairOrNote(const QString& folder)
{
    try {
        loadCache(folder);
        return true;
    } catch (const QvError&) {
        // Nothing of a damaged pair stays: the list is empty and says so.
        m_model.clear();
        m_listFolder.clear();
        AggiornaConteggio();
        noteDamagedCache(false);
        return false;
    }
}

void ThumbnailCatalogue::loadCache(const QString& given)
{
    const QString folder = folderKey(given);
    m_model.clear();
    m_listFolder.clear();
    if (folder.isEmpty())
        return;
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
    const QString stamp = pairStamp(folder);
    if (!loadCacheFrom(images, texts.readAll(), folder))
        return; // stopped by Esc
    m_listFolder = folder;
    m_pairStamp = stamp;
    m_listMatchesPair = true;
}

// The size code of a cache decides the thumbnail size; its list starts afresh.
void ThumbnailCatalogue::useList(int sizeCode, int slot)
{
    StartupObjects& so = startupObjects();
    Configurazione.Dimensione = sizeCode;
    so.resetList(slot);
    if (m_model.imageList() != &so.lists[slot]) {
        m_model.setImageList(&so.lists[slot]);
        m_host->imageListChanged(&so.lists[slot]);
    }
}

namespace {

// The records of a cache text file, as far as they could be read.
struct CacheTextRecords {
    int sizeCode;
    std::vector<ThumbnailRecord> records;
    std::vector<qint64> indexes; // each record's cell in the strip
    std::exception_ptr error;    // the file is damaged: no cell is taken then
};

CacheTextRecords readCacheTexts(const QByteArray& texts, const QString& folder, int sizeCode)
{
    const QString dir = withSlash(folder);
    CacheTextReader text(texts);
    CacheTextRecords out{sizeCode, {}, {}, {}};
    try {
        const qint64 code = text.number();
        out.sizeCode = int(std::clamp<qint64>(code, INT_MIN, INT_MAX));
        const qint64 n = text.number();
        QSet<QString> seen;
        // A count larger than the file's lines stops at the end of the file.
        for (qint64 k = 0; k < n && !text.atEnd(); ++k) {
            ThumbnailRecord rec;
            rec.Caption = text.line();
            const qint64 index = text.number();
            for (int sub = 0; sub < 6; ++sub)
                rec.SubItems << text.line();
            // A record cut short could name part of a path.
            if (text.cut())
                break;
            // A record names a file of this folder, whatever its stored path
            // says: it is the folder and the path's last name, or nothing.
            const QString& stored = rec.SubItems[SubPath];
            const qsizetype slash = stored.lastIndexOf(QLatin1Char('/'));
            const QString name = stored.mid(slash + 1);
            const QString storedFolder = slash > 0 ? QDir::cleanPath(stored.left(slash)) : QStringLiteral("/");
            if (slash < 0 || storedFolder != folder || name.isEmpty() || name == QLatin1String(".")
                || name == QLatin1String("..") || name.contains(QChar(0)))
                continue;
            const QString path = dir + name;
            if (seen.contains(path))
                continue;
            seen.insert(path);
            rec.SubItems[SubPath] = path;
            // The caption tells the file's own name, never another.
            rec.Caption = rec.SubItems[SubLoaded] == QLatin1String("1")
                ? thumbs::caption(name, rec.SubItems[SubPixels], rec.SubItems[SubBytes].toLongLong())
                : thumbs::upperAscii(name);
            out.indexes.push_back(index);
            out.records.push_back(std::move(rec));
        }
    } catch (const ECacheError&) {
        out.error = std::current_exception();
        out.indexes.clear();
    }
    return out;
}

} // namespace

bool ThumbnailCatalogue::loadCacheFrom(QIODevice& images, const QByteArray& texts, const QString& given)
{
    // The records first: they tell which thumbnails to cut from the strip
    // while it expands. A damaged text file is reported after the strip, so
    // a damaged strip is what the user hears of first.
    CacheTextRecords read = readCacheTexts(texts, folderKey(given), Configurazione.Dimensione);
    const int sizeCode = read.sizeCode;
    std::vector<ThumbnailRecord>& recs = read.records;
    const std::vector<qint64>& indexes = read.indexes;
    const std::exception_ptr& textError = read.error;

    const int slot = StartupObjects::slot(sizeCode);
    StartupObjects& so = startupObjects();
    const int s = so.lists[slot].size();

    // A strip of ours is read in place: its thumbnails are expanded when
    // first shown, so a folder of thousands opens at once.
    if (const std::shared_ptr<LazyStrip> lazy = LazyStrip::open(images, s, so.frames[slot])) {
        if (textError)
            std::rethrow_exception(textError);
        checkStripFits(lazy->width(), lazy->height(), s);
        useList(sizeCode, slot);
        ImageList& list = so.lists[slot];
        for (size_t k = 0; k < recs.size(); ++k)
            recs[k].ImageIndex = lazy->holds(indexes[k]) ? list.addDeferred(lazy, indexes[k]) : list.add(so.frames[slot]);
        m_model.addItems(std::move(recs));
        m_host->processEvents();
        return true;
    }

    // Any other stream is expanded whole, the thumbnails cut as it comes.
    StripCells strip(s, indexes);
    try {
        m_readingCache = true;
        struct Reading {
            bool& on;
            ~Reading() { on = false; }
        } reading{m_readingCache};
        runCodec(m_compressore, images, strip, &Lzrw1Codec::Decompress);
    } catch (const CacheReadStopped&) {
        return false;
    } catch (...) {
        if (strip.tooLarge())
            throw ECacheError(QStringLiteral("The thumbnail strip is too large"));
        throw;
    }
    if (!strip.finish())
        throw ECacheError(QStringLiteral("The thumbnail strip ends before its last row"));
    if (textError)
        std::rethrow_exception(textError);

    checkStripFits(strip.width(), strip.height(), s);
    useList(sizeCode, slot);
    for (size_t k = 0; k < recs.size(); ++k) {
        const QImage cell = strip.cell(indexes[k]);
        // An index outside the strip: the frame.
        recs[k].ImageIndex = so.lists[slot].add(cell.isNull() ? so.frames[slot] : cell);
    }
    m_model.addItems(std::move(recs));
    m_host->processEvents();
    return true;
}
