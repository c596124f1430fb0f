// libjpeg-turbo decoding and encoding. Every library call runs inside a
// setjmp frame of its own with only trivially destructible locals, so a fatal
// library error returns here by longjmp and becomes an EJPEG thrown from C++.
#include "formats/jpeg_codec.h"
#include "formats/jpeg_dc_scans.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

EJPEG::EJPEG(int code) : QvError(QStringLiteral("JPEG error #%1").arg(code)), m_code(code) {}

namespace qv::jpeg {
namespace {

struct ErrorManager {
    jpeg_error_mgr pub; // first, so the library's pointer converts back
    std::jmp_buf jump;
};

[[noreturn]] void onFatalError(j_common_ptr c)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(c->err)->jump, 1);
}

// Warnings (corrupt data the library recovers from) are not reported.
void onEmitMessage(j_common_ptr, int) {}
void onOutputMessage(j_common_ptr) {}

void setUpErrors(ErrorManager& err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = onFatalError;
    err.pub.emit_message = onEmitMessage;
    err.pub.output_message = onOutputMessage;
}

// Runs body with the jump target set; false when the library failed inside.
// body must keep only trivially destructible locals alive across library calls.
template <class Body>
bool guarded(ErrorManager& err, Body&& body)
{
    if (setjmp(err.jump))
        return false;
    body();
    return true;
}

// Raises a library error code from inside a guarded frame.
[[noreturn]] void raise(j_common_ptr c, int code)
{
    c->err->msg_code = code;
    (*c->err->error_exit)(c);
    std::abort(); // error_exit never returns
}

} // namespace

struct Decompressor::State {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    jpeg_progress_mgr progressMgr{};
    bool created = false;

    // Per decode.
    int maxScans = kDefaultMaxScans;
    const std::function<void(int, const QImage*)>* progress = nullptr;
    int lastPercent = -1;
    std::exception_ptr pending; // thrown by the progress callback
    std::vector<JSAMPROW> rows;
    // The library frees its own colour map with the image; it is copied here first.
    int mapColours = 0;
    int mapComponents = 0;
    JSAMPLE map[3][256];

    void create();
    void destroy();
    void reset();
    [[noreturn]] void fail(int code);
    [[noreturn]] void failFromLibrary() { fail(err.pub.msg_code); }
    void copyColourMap();
    QVector<QRgb> colourTable() const;
    void report(int percent) noexcept;
    void reportPass(const QImage& image) noexcept;

    // How the picture comes out of the library, chosen once the header is read.
    struct Output {
        bool greyOut = false;
        bool quantise = false;
        bool external = false; // the caller's colour map
        bool buffered = false; // every scan shown as it completes
        J_DCT_METHOD finalDct = JDCT_ISLOW;
        J_DITHER_MODE finalDither = JDITHER_FS;
        boolean finalTwoPass = FALSE;
    };
    Output chooseOutput(const DecodeSettings& st);
    QImage pictureForRows(bool quantise);
    void readScansAsTheyComplete(const Output& out, const QImage& image);
};

namespace {

void onProgress(j_common_ptr c)
{
    auto* s = static_cast<Decompressor::State*>(c->client_data);
    if (s->cinfo.input_scan_number > s->maxScans)
        raise(c, JERR_BAD_PROGRESSION); // too many scans: refused as a bad progression
    if (!s->progress || !*s->progress)
        return;
    const jpeg_progress_mgr* p = c->progress;
    const double passes = std::max(1, p->total_passes);
    const double inPass = p->pass_limit > 0 ? double(p->pass_counter) / double(p->pass_limit) : 0.0;
    const int percent = std::clamp(int((p->completed_passes + inPass) * 100.0 / passes), 0, 100);
    if (percent == s->lastPercent)
        return;
    s->lastPercent = percent;
    s->report(percent);
    if (s->pending)
        raise(c, JERR_BAD_STATE);
}

} // namespace

void Decompressor::State::create()
{
    setUpErrors(err);
    cinfo.err = &err.pub;
    cinfo.client_data = this;
    if (!guarded(err, [&] { jpeg_create_decompress(&cinfo); })) {
        jpeg_destroy_decompress(&cinfo); // frees what the failed creation made; cannot fail
        throw EJPEG(err.pub.msg_code);
    }
    created = true;
    cinfo.client_data = this;
    progressMgr.progress_monitor = onProgress;
    cinfo.progress = &progressMgr;
}

void Decompressor::State::destroy()
{
    if (created) {
        created = false;
        guarded(err, [&] { jpeg_destroy_decompress(&cinfo); });
    }
}

// Done with this picture: the library object goes, and the next picture gets
// a fresh one. Not jpeg_abort_decompress: aborting keeps the quantisation and
// Huffman tables, so a damaged file lacking its own would be decoded with the
// previous file's instead of being refused.
void Decompressor::State::reset()
{
    destroy();
}

void Decompressor::State::fail(int code)
{
    reset();
    if (pending) {
        std::exception_ptr e = pending;
        pending = nullptr;
        std::rethrow_exception(e);
    }
    throw EJPEG(code);
}

void Decompressor::State::copyColourMap()
{
    mapColours = 0;
    mapComponents = 0;
    if (!cinfo.quantize_colors || !cinfo.colormap)
        return;
    mapComponents = std::clamp(cinfo.out_color_components, 1, 3);
    mapColours = std::clamp(cinfo.actual_number_of_colors, 0, 256);
    for (int k = 0; k < mapComponents; ++k)
        std::copy(cinfo.colormap[k], cinfo.colormap[k] + mapColours, map[k]);
}

QVector<QRgb> Decompressor::State::colourTable() const
{
    QVector<QRgb> table(mapColours);
    for (int i = 0; i < mapColours; ++i)
        table[i] = mapComponents == 3 ? qRgb(map[0][i], map[1][i], map[2][i])
                                      : qRgb(map[0][i], map[0][i], map[0][i]);
    return table;
}

void Decompressor::State::report(int percent) noexcept
{
    try {
        (*progress)(percent, nullptr);
    } catch (...) {
        pending = std::current_exception();
    }
}

// The callback gets a copy: the picture being decoded keeps being written
// through raw row pointers.
void Decompressor::State::reportPass(const QImage& image) noexcept
{
    try {
        QImage pass = image.copy();
        if (pass.format() == QImage::Format_Indexed8)
            pass.setColorTable(colourTable());
        (*progress)(std::max(lastPercent, 0), &pass);
    } catch (...) {
        pending = std::current_exception();
    }
}

// The library object is made by the first picture.
Decompressor::Decompressor() : d(std::make_unique<State>()) {}

Decompressor::~Decompressor()
{
    d->destroy();
}

static HeaderInfo headerOf(const jpeg_decompress_struct& c)
{
    HeaderInfo h;
    h.width = int(std::min<JDIMENSION>(c.image_width, 0x7fffffff));
    h.height = int(std::min<JDIMENSION>(c.image_height, 0x7fffffff));
    h.components = c.num_components;
    h.grayscale = c.jpeg_color_space == JCS_GRAYSCALE;
    h.progressive = c.progressive_mode;
    return h;
}

static bool withinLimits(const jpeg_decompress_struct& c, const Limits& limits)
{
    const std::int64_t w = c.image_width, h = c.image_height;
    return pictureSizeAllowed(w, h) && w * h <= limits.maxPixels;
}

// A file cut short still shows, the missing rows grey; a small file claiming
// a huge picture would only cost memory and time. Every 8 x 8 block of every
// component costs at least a DC code and an end-of-block code of one bit
// each in a sequential Huffman scan, and one DC bit in the first scans of a
// progressive file; arithmetic coding can spend less, so it is not judged.
static bool dataCanCoverPicture(const jpeg_decompress_struct& c)
{
    if (c.arith_code || !c.src)
        return true;
    std::uint64_t blocks = 0;
    for (int i = 0; i < c.num_components; ++i)
        blocks += std::uint64_t(c.comp_info[i].width_in_blocks) * c.comp_info[i].height_in_blocks;
    const std::uint64_t bitsPerBlock = c.progressive_mode ? 1 : 2;
    return std::uint64_t(c.src->bytes_in_buffer) * 8 >= blocks * bitsPerBlock;
}

HeaderInfo Decompressor::readHeader(const unsigned char* data, std::size_t size, const Limits& limits)
{
    State& s = *d;
    if (!s.created)
        s.create();
    s.progress = nullptr;
    s.maxScans = limits.maxScans;
    j_decompress_ptr c = &s.cinfo;
    if (!guarded(s.err, [&] {
            jpeg_mem_src(c, data, static_cast<unsigned long>(size));
            jpeg_read_header(c, TRUE);
        }))
        s.failFromLibrary();
    const HeaderInfo h = headerOf(*c);
    const bool ok = withinLimits(*c, limits);
    const bool covered = dataCanCoverPicture(*c);
    s.reset();
    if (!ok)
        throw EJPEG(JERR_IMAGE_TOO_BIG);
    if (!covered)
        throw EJPEG(JERR_INPUT_EOF);
    return h;
}

// Reads every output row of the current pass into rows.
static void readAllRows(j_decompress_ptr c, JSAMPROW* rows)
{
    while (c->output_scanline < c->output_height) {
        const JDIMENSION done = c->output_scanline;
        if (jpeg_read_scanlines(c, rows + done, c->output_height - done) == 0)
            raise(reinterpret_cast<j_common_ptr>(c), JERR_INPUT_EOF); // a memory source never suspends
    }
}

Decompressor::State::Output Decompressor::State::chooseOutput(const DecodeSettings& st)
{
    j_decompress_ptr c = &cinfo;
    c->scale_num = 1;
    c->scale_denom = st.scaleDenom == 2 || st.scaleDenom == 4 || st.scaleDenom == 8 ? st.scaleDenom : 1;
    c->do_block_smoothing = st.smoothing;
    Output out;
    out.greyOut = st.grayscale || c->jpeg_color_space == JCS_GRAYSCALE;
    c->out_color_space = out.greyOut ? JCS_GRAYSCALE : JCS_RGB;
    out.quantise = st.eightBit || out.greyOut;
    c->quantize_colors = out.quantise;
    if (out.quantise)
        c->desired_number_of_colors = kQuantisedColours;
    if (st.bestSpeed) {
        c->dct_method = JDCT_IFAST;
        c->two_pass_quantize = FALSE;
        c->dither_mode = JDITHER_ORDERED;
    } // otherwise the library's defaults: accurate transform, two passes, Floyd-Steinberg
    out.finalDct = c->dct_method;
    out.finalDither = c->dither_mode;
    out.finalTwoPass = c->two_pass_quantize;
    // The library takes a colour map of its own only for three-component output.
    out.external = out.quantise && !out.greyOut && !st.colourMap.isEmpty() && st.colourMap.size() <= 256;
    out.buffered = st.progressiveDisplay && jpeg_has_multiple_scans(c);
    if (out.buffered) {
        c->buffered_image = TRUE;
        if (out.quantise && !out.external) {
            c->enable_1pass_quant = TRUE;
            c->enable_2pass_quant = out.finalTwoPass;
        }
    }
    return out;
}

// The picture the rows are decoded into, with a row pointer per row; the step
// between them is the picture's own. Fails with the library's out-of-memory code.
QImage Decompressor::State::pictureForRows(bool quantise)
{
    QImage image;
    try {
        image = QImage(int(cinfo.output_width), int(cinfo.output_height),
                       quantise ? QImage::Format_Indexed8 : QImage::Format_RGB888);
        if (!image.isNull()) {
            rows.resize(cinfo.output_height);
            uchar* bits = image.bits();
            const qsizetype step = image.bytesPerLine();
            for (JDIMENSION y = 0; y < cinfo.output_height; ++y)
                rows[y] = bits + qsizetype(y) * step;
        }
    } catch (...) {
        reset();
        throw;
    }
    if (image.isNull())
        fail(JERR_OUT_OF_MEMORY);
    return image;
}

// Each scan shown as it completes with the fast settings, then a final pass
// with the chosen ones over the complete coefficients. Runs inside a guarded frame.
void Decompressor::State::readScansAsTheyComplete(const Output& out, const QImage& image)
{
    j_decompress_ptr c = &cinfo;
    while (!jpeg_input_complete(c)) {
        if (c->input_scan_number > maxScans)
            raise(reinterpret_cast<j_common_ptr>(c), JERR_BAD_PROGRESSION);
        c->dct_method = JDCT_IFAST;
        c->dither_mode = JDITHER_ORDERED;
        jpeg_start_output(c, c->input_scan_number);
        readAllRows(c, rows.data());
        jpeg_finish_output(c);
        copyColourMap();
        if (progress && *progress) {
            reportPass(image);
            if (pending)
                raise(reinterpret_cast<j_common_ptr>(c), JERR_BAD_STATE);
        }
    }
    c->dct_method = out.finalDct;
    c->dither_mode = out.finalDither;
    if (out.quantise && !out.external && out.finalTwoPass && c->out_color_components == 3) {
        c->two_pass_quantize = TRUE;
        c->colormap = nullptr; // pick a new map for this picture
    }
    jpeg_start_output(c, c->input_scan_number);
    copyColourMap();
    readAllRows(c, rows.data());
    jpeg_finish_output(c);
}

// Hands the caller's colour map to the library for this picture.
static void useColourMap(j_decompress_ptr c, const QVector<QRgb>& map)
{
    const int n = int(map.size());
    c->colormap = (*c->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(c), JPOOL_IMAGE, JDIMENSION(n), 3);
    for (int i = 0; i < n; ++i) {
        c->colormap[0][i] = JSAMPLE(qRed(map[i]));
        c->colormap[1][i] = JSAMPLE(qGreen(map[i]));
        c->colormap[2][i] = JSAMPLE(qBlue(map[i]));
    }
    c->actual_number_of_colors = n;
}

DecodeResult Decompressor::decode(const unsigned char* data, std::size_t size, const DecodeSettings& st)
{
    if (st.dcOnlyWhenProgressive && st.scaleDenom == 8 && !st.progressiveDisplay) {
        // At 1/8 a full-resolution block is its DC value: its AC scans need not be decoded.
        QByteArray dcStream;
        if (keepScansForEighth(data, size, dcStream)) {
            DecodeSettings dcSettings = st;
            dcSettings.dcOnlyWhenProgressive = false;
            dcSettings.smoothing = false; // the missing scans are not to be guessed
            return decode(reinterpret_cast<const unsigned char*>(dcStream.constData()),
                          std::size_t(dcStream.size()), dcSettings);
        }
    }

    State& s = *d;
    if (!s.created)
        s.create();
    s.maxScans = st.limits.maxScans;
    s.progress = &st.progress;
    s.lastPercent = -1;
    s.pending = nullptr;
    j_decompress_ptr c = &s.cinfo;

    if (!guarded(s.err, [&] {
            jpeg_mem_src(c, data, static_cast<unsigned long>(size));
            jpeg_read_header(c, TRUE);
        }))
        s.failFromLibrary();
    DecodeResult result;
    result.header = headerOf(*c);
    if (!withinLimits(*c, st.limits))
        s.fail(JERR_IMAGE_TOO_BIG);
    if (!dataCanCoverPicture(*c))
        s.fail(JERR_INPUT_EOF);

    const State::Output out = s.chooseOutput(st);
    if (!guarded(s.err, [&] {
            if (out.external)
                useColourMap(c, st.colourMap);
            jpeg_start_decompress(c);
        }))
        s.failFromLibrary();
    if (s.pending)
        s.fail(JERR_BAD_STATE);
    if ((out.quantise && c->output_components != 1) || (!out.quantise && c->output_components != 3))
        s.fail(JERR_CONVERSION_NOTIMPL);

    QImage image = s.pictureForRows(out.quantise);
    const bool ok = guarded(s.err, [&] {
        if (out.buffered) {
            s.readScansAsTheyComplete(out, image);
        } else {
            s.copyColourMap();
            readAllRows(c, s.rows.data());
        }
    });
    if (!ok)
        s.failFromLibrary();
    // The rows are all there: what follows the last scan is not read.
    s.reset();
    if (out.quantise) {
        const QVector<QRgb> table = s.colourTable();
        image.setColorTable(table);
        if (!out.greyOut)
            result.colourMap = table;
    }
    result.image = std::move(image);
    return result;
}

// ---------------------------------------------------------------------------
// Encoding

namespace {

// Destination growing a malloc'd block; the library errors out when it cannot grow.
struct Destination {
    jpeg_destination_mgr pub; // first, so the library's pointer converts back
    unsigned char* buffer = nullptr;
    std::size_t capacity = 0;
    std::size_t used = 0;
};

constexpr std::size_t kFirstBlock = 64 * 1024;

void initDestination(j_compress_ptr c)
{
    auto* dst = reinterpret_cast<Destination*>(c->dest);
    dst->buffer = static_cast<unsigned char*>(std::malloc(kFirstBlock));
    if (!dst->buffer)
        raise(reinterpret_cast<j_common_ptr>(c), JERR_OUT_OF_MEMORY);
    dst->capacity = kFirstBlock;
    dst->pub.next_output_byte = dst->buffer;
    dst->pub.free_in_buffer = dst->capacity;
}

boolean growDestination(j_compress_ptr c)
{
    auto* dst = reinterpret_cast<Destination*>(c->dest);
    const std::size_t old = dst->capacity;
    const auto grown = mulSize(old, 2);
    void* bigger = grown ? std::realloc(dst->buffer, *grown) : nullptr;
    if (!bigger)
        raise(reinterpret_cast<j_common_ptr>(c), JERR_OUT_OF_MEMORY);
    dst->buffer = static_cast<unsigned char*>(bigger);
    dst->capacity = *grown;
    // The library calls this only when the whole block is full.
    dst->pub.next_output_byte = dst->buffer + old;
    dst->pub.free_in_buffer = dst->capacity - old;
    return TRUE;
}

void termDestination(j_compress_ptr c)
{
    auto* dst = reinterpret_cast<Destination*>(c->dest);
    dst->used = dst->capacity - dst->pub.free_in_buffer;
}

struct Compressor {
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    Destination dest{};
    bool created = false;

    ~Compressor()
    {
        if (created)
            guarded(err, [&] { jpeg_destroy_compress(&cinfo); });
        std::free(dest.buffer);
    }
};

} // namespace

QByteArray compress(const QImage& image, const EncodeSettings& st)
{
    // The library reads rows exactly as they lie in a 24-bit R, G, B picture.
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull() && !image.isNull())
        throw EJPEG(JERR_OUT_OF_MEMORY);

    Compressor k;
    setUpErrors(k.err);
    k.cinfo.err = &k.err.pub;
    if (!guarded(k.err, [&] { jpeg_create_compress(&k.cinfo); })) {
        jpeg_destroy_compress(&k.cinfo);
        throw EJPEG(k.err.pub.msg_code);
    }
    k.created = true;
    k.dest.pub.init_destination = initDestination;
    k.dest.pub.empty_output_buffer = growDestination;
    k.dest.pub.term_destination = termDestination;

    const uchar* bits = rgb.constBits();
    const qsizetype step = rgb.bytesPerLine();
    j_compress_ptr c = &k.cinfo;
    if (!guarded(k.err, [&] {
            c->dest = &k.dest.pub;
            c->image_width = JDIMENSION(std::max(0, rgb.width()));
            c->image_height = JDIMENSION(std::max(0, rgb.height()));
            c->input_components = 3;
            c->in_color_space = JCS_RGB;
            jpeg_set_defaults(c);
            jpeg_set_quality(c, st.quality, TRUE); // baseline-compatible tables
            if (st.grayscale)
                jpeg_set_colorspace(c, JCS_GRAYSCALE);
            if (st.progressive)
                jpeg_simple_progression(c);
            jpeg_start_compress(c, TRUE);
            while (c->next_scanline < c->image_height) {
                JSAMPROW row = const_cast<JSAMPROW>(bits + qsizetype(c->next_scanline) * step);
                jpeg_write_scanlines(c, &row, 1);
            }
            jpeg_finish_compress(c);
        }))
        throw EJPEG(k.err.pub.msg_code);
    return QByteArray(reinterpret_cast<const char*>(k.dest.buffer), qsizetype(k.dest.used));
}

} // namespace qv::jpeg
