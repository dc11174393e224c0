// The module's face to the page's script: plain C functions called through cwrap. A C face
// rather than embind keeps the module small (no binding runtime, no type information) and lets
// each chunk reach the script as a view of the module's memory, copied once, never as a string.

#include "convert/gridproportions.h"
#include "convert/numbertext.h"
#include "convert/sizescaling.h"
#include "jpeg/jpegwalk.h"
#include "jpeg/plainjpeg.h"
#include "output/codes/forumdialect.h"
#include "web/bandrows.h"
#include "web/bridgesettings.h"
#include "web/unreadpicture.h"
#include "web/warmdecoders.h"
#include "web/webconversion.h"
#include "web/webnumbers.h"
#include "web/webpicture.h"
#include "wording/budgetwords.h"
#include "wording/picturewords.h"
#include "wording/runmessages.h"
#include "wording/sizewords.h"
#include "wording/webwords.h"

#include <emscripten.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

using namespace mosaiq;

// The page's script takes each chunk as it comes: Module.onChunk(channel, address, bytes), the
// address 0 for bytes only counted (mosaiq_count_only).
EM_JS(void, mosaiq_hand_chunk, (int channel, const char* data, std::size_t size),
    { Module["onChunk"](channel, data, size); });
// The memory the page's script keeps a code in (ChunkStream::Room): Module.onRoom(channel), an
// address of ChunkStream::RoomBytes; none where the script keeps nothing.
EM_JS(char*, mosaiq_room, (int channel),
    { return Module["onRoom"] ? Module["onRoom"](channel) : 0; });

namespace {

std::unique_ptr<WebConversion> current;
// Why mosaiq_start refused a run before making it.
std::string refusal;
std::string words;

// The picture the page keeps in the module from run to run (mosaiq_hold_picture), so that the
// worker need not keep a copy of a photo's hundreds of megabytes besides.
std::shared_ptr<std::uint32_t[]> held;
std::size_t heldPixels = 0;
// The held picture's size, and its first row held: a worker that decodes only its band of a photo
// holds no rows above it (mosaiq_hold_band).
int heldWidth = 0, heldHeight = 0, heldFirst = 0;
// The held picture's pixels flattened so far, from its first: the worker flattens each band as
// it reads it, while its bytes are still in the cache.
std::size_t heldFlat = 0;
// Its opacity, kept as its pixels are flattened, when some pixel is not opaque.
PictureOpacity heldOpacity;
// The size of the picture mosaiq_picture_head read, and whether it decodes in bands (1) or not.
int headSize[3] = {};
// A plain JPEG decoded into the held picture a band at a time (mosaiq_band_decode): the file's
// bytes, which the decode reads until its end, and the decoder.
struct BandDecode {
    std::unique_ptr<std::uint8_t, decltype(&std::free)> file { nullptr, std::free };
    PlainJpegBands bands;
};
std::unique_ptr<BandDecode> bandDecode;
// The picture of the last run and its opacity, kept past a new picture held
// (mosaiq_keep_picture): a large run's outputs are written again from them when the page asks.
std::shared_ptr<std::uint32_t[]> kept;
std::shared_ptr<std::uint8_t[]> keptOpacity;
int keptFirst = 0;

std::shared_ptr<std::uint32_t[]> adopted(void* block)
{
    return std::shared_ptr<std::uint32_t[]>(static_cast<std::uint32_t*>(block), std::free);
}

// The settings the script writes before a start (mosaiq_settings), and the defaults their texts
// point into until it writes its own.
WebSettings defaults;
BridgeSettings given;

} // namespace

extern "C" {

// A block for the rows from first on of a picture of width x height RGBA bytes, which the
// module keeps for the runs that follow; null when the memory is refused. The picture held
// before is let go first.
EMSCRIPTEN_KEEPALIVE std::uint8_t* mosaiq_hold_band(int width, int height, int first)
{
    bandDecode.reset();
    held.reset();
    heldWidth = std::max(width, 0);
    heldHeight = std::max(height, 0);
    heldFirst = std::clamp(first, 0, heldHeight);
    heldPixels = std::size_t(heldWidth) * std::size_t(heldHeight - heldFirst);
    heldFlat = 0;
    heldOpacity.reset(heldPixels);
    void* block = std::malloc(std::max<std::size_t>(heldPixels, 1) * 4);
    if (!block)
        return nullptr;
    held = adopted(block);
    return static_cast<std::uint8_t*>(block);
}

// The same for the whole picture.
EMSCRIPTEN_KEEPALIVE std::uint8_t* mosaiq_hold_picture(int width, int height)
{
    return mosaiq_hold_band(width, height, 0);
}

// Flattens the next pixels of the held picture, those after the ones already flattened: the page
// calls it once a band of rows has been copied in. bgrx: the band came as blue, green, red and a
// byte to ignore (a frame of the browser's that has no alpha), not as RGBA.
EMSCRIPTEN_KEEPALIVE void mosaiq_flatten_held(double pixels, int bgrx)
{
    if (!held || pixels <= 0)
        return;
    const std::size_t count = std::min(std::size_t(pixels), heldPixels - heldFlat);
    if (bgrx) {
        flattenBgrx(held.get() + heldFlat, count);
    } else {
        heldOpacity.keep(held.get() + heldFlat, heldFlat, count);
        flattenRgba(held.get() + heldFlat, count);
    }
    heldFlat += count;
}

// The decoders run on the built-in pictures, times times each, as the module starts
// (warmDecoders): how many of them it decoded.
EMSCRIPTEN_KEEPALIVE int mosaiq_warm_decoders(int times)
{
    return warmDecoders(times);
}

// Who reads the file whose bytes (size of them) the script copied to data: 0 the browser, 1 the
// module, 2 nobody, the data being damaged (mosaiq_words(3)). For the module, the picture's
// width and height are then the first two ints at mosaiq_picture_size(), and the third is 1 when
// the picture decodes a band at a time (mosaiq_band_decode_begin).
EMSCRIPTEN_KEEPALIVE int mosaiq_picture_head(const std::uint8_t* data, double size)
{
    const WebPictureHead head = webPictureHead(data, std::size_t(std::max(size, 0.0)));
    headSize[0] = head.width;
    headSize[1] = head.height;
    headSize[2] = head.bands ? 1 : 0;
    return int(head.reader);
}
EMSCRIPTEN_KEEPALIVE int* mosaiq_picture_size()
{
    return headSize;
}

// Decodes the file whose bytes the script copied to data into the held picture, which it made of
// the size mosaiq_picture_head told (mosaiq_hold_picture), flattened as mosaiq-cli flattens it.
// False when the data turned out damaged.
EMSCRIPTEN_KEEPALIVE bool mosaiq_decode_held(const std::uint8_t* data, double size)
{
    if (!held)
        return false;
    heldFlat = heldPixels;
    return decodeWebPicture(data, std::size_t(std::max(size, 0.0)), held.get(), &heldOpacity);
}

// Starts decoding a plain JPEG (one of mosaiq_picture_head's bands) into the held picture, made of
// its size, a band at a time: the module takes data (size bytes from malloc) and frees it when
// the decode ends or another picture is held. False when libjpeg gave up on the header.
EMSCRIPTEN_KEEPALIVE bool mosaiq_band_decode_begin(std::uint8_t* data, double size)
{
    auto decode = std::make_unique<BandDecode>();
    decode->file.reset(data);
    const std::size_t bytes = std::size_t(std::max(size, 0.0));
    if (!held || !decode->bands.start(data, bytes, walkJpeg(data, bytes).exifOrientation)
        || decode->bands.width() != heldWidth || decode->bands.height() != heldHeight)
        return false;
    // A JPEG has no transparency to flatten.
    heldFlat = heldPixels;
    bandDecode = std::move(decode);
    return true;
}

// Decodes the held picture's rows up to last, passing over those above first not decoded yet
// (PlainJpegBands::decodeTo): 1 when they are there, 0 when the data turned out damaged (the
// decode then ends), -1 when no decode goes on. The file's bytes go once the last row is there.
EMSCRIPTEN_KEEPALIVE int mosaiq_band_decode(int first, int last)
{
    if (!bandDecode || !held)
        return -1;
    const bool whole = bandDecode->bands.decodeTo(first, last, held.get(), heldFirst);
    if (!whole || bandDecode->bands.nextRow() >= bandDecode->bands.height())
        bandDecode.reset();
    return whole ? 1 : 0;
}

// The row a band decode going on decodes next, -1 when none goes on.
EMSCRIPTEN_KEEPALIVE int mosaiq_band_decode_row()
{
    return bandDecode ? bandDecode->bands.nextRow() : -1;
}

// Flattens count pixels of the held picture from pixel first, RGBA bytes the page has just copied
// in: for a picture whose rows the page reads only once the module says which a band samples
// (mosaiq_band_row), in any order. From the first call on, the held picture's flattening is
// the page's alone: no run flattens what is left of it, rows the page has not read yet.
EMSCRIPTEN_KEEPALIVE void mosaiq_flatten_rows(double first, double count)
{
    if (!held || first < 0 || count < 0 || first >= double(heldPixels))
        return;
    const std::size_t from = std::size_t(first);
    const std::size_t pixels = std::min(std::size_t(count), heldPixels - from);
    heldOpacity.keep(held.get() + from, from, pixels);
    flattenRgba(held.get() + from, pixels);
    heldFlat = heldPixels;
}

// The held picture's opacity, a byte a pixel: null when every pixel is opaque, unless make asks
// for it to be made, opaque, for bytes that the script copies in (null then when refused).
EMSCRIPTEN_KEEPALIVE std::uint8_t* mosaiq_held_opacity(int make)
{
    return make ? heldOpacity.made() : heldOpacity.plane().get();
}

// 1 when the held picture has pixels that are not opaque whose opacity the memory could not keep.
EMSCRIPTEN_KEEPALIVE int mosaiq_opacity_lost()
{
    return heldOpacity.lost() ? 1 : 0;
}

// The settings of the next start, WebSettings's defaults until the script writes its own into
// them, field by field as bridgeSettingsLayout() (mosaiq_numbers) lays them out.
EMSCRIPTEN_KEEPALIVE BridgeSettings* mosaiq_settings()
{
    defaults = WebSettings {};
    given = bridgeSettingsOf(defaults);
    return &given;
}

// Starts a conversion of width x height RGBA bytes: the picture held or kept, or a block from
// malloc() that the module takes over, with settings (mosaiq_settings). Returns a WebStep.
EMSCRIPTEN_KEEPALIVE int mosaiq_start(
    std::uint8_t* rgba, int width, int height, const BridgeSettings* settings)
{
    current.reset();
    const WebSettings chosen = settings ? webSettings(*settings) : WebSettings {};
    refusal.clear();
    std::shared_ptr<const std::uint32_t[]> pixels;
    std::shared_ptr<const std::uint8_t[]> opacity;
    int firstRow = 0;
    if (held && rgba == reinterpret_cast<std::uint8_t*>(held.get())) {
        firstRow = heldFirst;
        heldOpacity.keep(held.get() + heldFlat, heldFlat, heldPixels - heldFlat);
        flattenRgba(held.get() + heldFlat, heldPixels - heldFlat);
        heldFlat = heldPixels;
        pixels = held;
        opacity = heldOpacity.plane();
        // The cells it leaves transparent cannot be told without its opacity.
        if (chosen.transparentBackground && heldOpacity.lost()) {
            refusal = NotEnoughMemory;
            return int(WebStep::Refused);
        }
    } else if (kept && rgba == reinterpret_cast<std::uint8_t*>(kept.get())) {
        firstRow = keptFirst;
        pixels = kept;
        opacity = keptOpacity;
    } else if (rgba) {
        auto adoptedPixels = adopted(rgba);
        const std::size_t count = std::size_t(width) * std::size_t(height);
        PictureOpacity adoptedOpacity;
        adoptedOpacity.reset(count);
        adoptedOpacity.keep(adoptedPixels.get(), 0, count);
        flattenRgba(adoptedPixels.get(), count);
        pixels = std::move(adoptedPixels);
        opacity = adoptedOpacity.plane();
    } else {
        width = height = 0;
    }
    current = std::make_unique<WebConversion>(
        chosen, std::move(pixels), width, height,
        [](WebChannel channel, const char* bytes, std::size_t size) {
            mosaiq_hand_chunk(int(channel), bytes, size);
        },
        [](WebChannel channel) { return mosaiq_room(int(channel)); }, std::move(opacity), firstRow);
    return int(current->start());
}

// keep 1: the picture held, flattened by a start, is kept for the runs that write a run's outputs
// again, whatever picture is held next; 0: let go. Its address stays the start's.
EMSCRIPTEN_KEEPALIVE void mosaiq_keep_picture(int keep)
{
    if (keep) {
        kept = held;
        keptOpacity = heldOpacity.plane();
        keptFirst = heldFirst;
    } else {
        kept.reset();
        keptOpacity.reset();
    }
}

// The first (last 0) or last (last 1) picture row that band part of parts of a run of settings
// on a picture of width x height samples, with no run started (bandRows): the rows the page
// must have read before the band's first step. -1 when the run is not shared (sharingParts,
// bandsPossible; apart: each worker decodes its own band of the picture), and needs the whole
// picture.
EMSCRIPTEN_KEEPALIVE double mosaiq_band_row(
    const BridgeSettings* settings, int width, int height, int part, int parts, int last, int apart)
{
    if (!settings)
        return -1;
    const BandRows band
        = bandRows(webSettings(*settings), width, height, part, parts, firstShare(apart != 0));
    if (!band.banded || sharingParts(double(band.cells), parts, apart != 0) != parts)
        return -1;
    return double(last ? band.last : band.first);
}

// The workers that share the run of a grid of cells, parts of them able to (sharingParts).
EMSCRIPTEN_KEEPALIVE int mosaiq_sharing_parts(double cells, int parts, int apart)
{
    return sharingParts(cells, parts, apart != 0);
}

// The share of a run's rows that the part-th of parts workers makes (rowShare; apart: on a
// picture each decodes its own band of).
EMSCRIPTEN_KEEPALIVE double mosaiq_row_share(int part, int parts, int apart)
{
    return rowShare(part, parts, apart != 0);
}

// Before the first step: this module makes the part-th of parts bands of the run's rows, another
// worker's module the others (WebConversion::share), the first band firstShare of the rows (0:
// even bands). 1 when shared, 0 when the options need the whole run in one module.
EMSCRIPTEN_KEEPALIVE int mosaiq_share(int part, int parts, double firstShare)
{
    return current && current->share(part, parts, firstShare) ? 1 : 0;
}

// Makes at most rows rows of the current conversion. Returns a WebStep.
EMSCRIPTEN_KEEPALIVE int mosaiq_step(double rows)
{
    return current ? int(current->step(std::int64_t(rows))) : int(WebStep::Refused);
}

// Between steps: the current conversion's bytes on channel (the page, the HTML code or the blog
// code) only counted from now on, the script having dropped them.
EMSCRIPTEN_KEEPALIVE void mosaiq_count_only(int channel)
{
    if (current)
        current->countOnly(WebChannel(channel));
}

// Ends the current conversion, stopped or done, and gives its memory back.
EMSCRIPTEN_KEEPALIVE void mosaiq_end()
{
    current.reset();
}

EMSCRIPTEN_KEEPALIVE int mosaiq_percent()
{
    return current ? current->percent() : 0;
}

EMSCRIPTEN_KEEPALIVE double mosaiq_rows_done()
{
    return current ? double(current->rowsDone()) : 0;
}

EMSCRIPTEN_KEEPALIVE double mosaiq_row_count()
{
    return current ? double(current->rowCount()) : 0;
}

EMSCRIPTEN_KEEPALIVE double mosaiq_column_count()
{
    return current ? double(current->columnCount()) : 0;
}

// What each glyph byte of the cells stands for, mosaiq_cell_character_count() code points (256;
// with shapes, one for each place in the set); null when every byte stands for its own
// Windows-1252 character (or no run has started), as the page reads the cells then.
EMSCRIPTEN_KEEPALIVE const std::uint32_t* mosaiq_cell_characters()
{
    static std::array<std::uint32_t, 256> characters;
    if (const auto* shaped = current ? current->shapeCharacters() : nullptr;
        shaped && !shaped->empty())
        return shaped->data();
    const GlyphSlots* slots = current ? current->cellSlots() : nullptr;
    if (!slots || slots->ownBytesOnly())
        return nullptr;
    std::copy(slots->characters().begin(), slots->characters().end(), characters.begin());
    return characters.data();
}

EMSCRIPTEN_KEEPALIVE int mosaiq_cell_character_count()
{
    const auto* shaped = current ? current->shapeCharacters() : nullptr;
    return shaped && !shaped->empty() ? int(shaped->size()) : 256;
}

EMSCRIPTEN_KEEPALIVE int mosaiq_post_count()
{
    return current ? int(current->postCount()) : 0;
}

// Why the conversion was refused, or what it says besides its outputs; "" for nothing.
EMSCRIPTEN_KEEPALIVE const char* mosaiq_message()
{
    return current ? current->message().c_str() : refusal.c_str();
}

// The engine's numbers that the page's script works with, one JSON object (webNumbersJson).
EMSCRIPTEN_KEEPALIVE const char* mosaiq_numbers()
{
    words = webNumbersJson();
    return words.c_str();
}

// The engine's words the page shows on its own: 0 a file that is no picture, 1 a picture too
// large, 2 memory refused.
EMSCRIPTEN_KEEPALIVE const char* mosaiq_words(int which)
{
    switch (which) {
    case 0:
        return pictureErrorWords(PictureError::NotAPicture);
    case 1:
        return pictureErrorWords(PictureError::TooLarge);
    case 3:
        return pictureErrorWords(PictureError::Damaged);
    default:
        return NotEnoughMemory;
    }
}

// Why the browser could not read a file whose first bytes (up to 64) are head.
EMSCRIPTEN_KEEPALIVE const char* mosaiq_unread_words(const unsigned char* head, int size)
{
    return web::unreadPictureWords(head, std::size_t(std::max(size, 0)));
}

// The size fields halved (factor 0.5) or doubled (2) as the window does, in French figures.
// Returns the ScaleError; the new texts, "columns\nrows", or the French reason are then
// mosaiq_words_given().
EMSCRIPTEN_KEEPALIVE int mosaiq_scale_sizes(const char* columns, const char* rows, double factor)
{
    const NumberFormat french = NumberFormat::french();
    const auto x = readSizeNumber(columns, french);
    const auto y = readSizeNumber(rows, french);
    const ScaledNumbers scaled = scaleSizes(x, y, factor, french);
    if (scaled.error == ScaleError::None) {
        words = scaled.columns + '\n' + scaled.rows;
    } else {
        std::string_view offending = x ? rows : columns;
        if (offending.find_first_not_of(" \t\n\r") == std::string_view::npos)
            offending = {};
        words = scaleErrorWords(scaled.error, offending);
    }
    return int(scaled.error);
}

// The other size of a grid whose columns (rows 0) or rows (rows 1) are typed, that keeps a picture
// of width x height pixels in its proportions on the page, as a run given that size alone makes
// it (prepareRun), its cells chosen by shape (shapes 1: the monospace font's cells) or not; -1
// when typed is no number, and the field is left as it is.
EMSCRIPTEN_KEEPALIVE double mosaiq_other_size(
    const char* typed, int rows, int width, int height, int shapes)
{
    if (!readSizeNumber(typed, NumberFormat::french()))
        return -1;
    const double given = numericValue(typed);
    const double aspect = shapes ? ShapeCellAspect : PageCellAspect;
    return double(rows ? columnsForRows(width, height, given, aspect)
                       : rowsForColumns(width, height, given, aspect));
}

EMSCRIPTEN_KEEPALIVE const char* mosaiq_words_given()
{
    return words.c_str();
}

// The page's own texts, one JSON object (scripts/web.sh writes them into the site).
EMSCRIPTEN_KEEPALIVE const char* mosaiq_page_words()
{
    words = web::webWordsJson();
    return words.c_str();
}

// The dialects, one a line: name, a tab, the post limit (0: none), a tab, its unit ("caractères"
// or "octets").
EMSCRIPTEN_KEEPALIVE const char* mosaiq_dialects()
{
    words.clear();
    for (const ForumDialect& dialect : forumDialects()) {
        words += dialect.name;
        words += '\t';
        words += std::to_string(dialect.postLimit);
        words += '\t';
        words += dialect.unit == LimitUnit::Bytes ? UnitBytes : UnitCharacters;
        words += '\n';
    }
    return words.c_str();
}

} // extern "C"
