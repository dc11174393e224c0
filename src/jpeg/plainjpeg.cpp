#include "jpeg/plainjpeg.h"

#include "jpeg/jpegdecode.h"
#include "jpeg/jpegwalk.h"
#include "jpeg/pixelblock.h"
#include "jpeg/rowplacement.h"

#include <algorithm>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace mosaiq {

namespace {

    // Rows decoded and placed together, as the picture reader's decode does.
    constexpr int UprightBandRows = 32, TurnedBandRows = 128;

    // One decode: the file's bytes, libjpeg's state and the picture, kept together on the heap so
    // that a thread of its own may finish what the caller began.
    struct Decoder {
        std::vector<std::uint8_t> file;
        int orientation = 1;
        JpegDecode decode;
        std::shared_ptr<PixelBlock> picture;
        std::vector<std::uint8_t> band;

        // Gives back all but the picture once its rows are decoded: the file's bytes need not
        // stay for the rest of a run.
        void release()
        {
            decode.close();
            std::vector<std::uint8_t>().swap(file);
            std::vector<std::uint8_t>().swap(band);
        }
    };

    // Reads the header and makes the picture's memory: Decoded when the rows may be decoded.
    PlainJpeg::Outcome start(Decoder& d, std::int64_t maxPixels)
    {
        JpegDecode& decode = d.decode;
        if (!decode.readHeader(d.file.data(), d.file.size()))
            return PlainJpeg::Outcome::Damaged;
        if (decode.components() != 1 && decode.components() != 3)
            return PlainJpeg::Outcome::NotPlain;
        if (decode.storedPixels() > maxPixels)
            return PlainJpeg::Outcome::TooLarge;
        // The 0xAARRGGBB words the engine reads, grey too.
        if (!decode.start(JCS_EXT_BGRA))
            return PlainJpeg::Outcome::Damaged;
        const bool turned = d.orientation >= 5;
        const int width = decode.width(), height = decode.height();
        d.picture = std::make_shared<PixelBlock>(turned ? height : width, turned ? width : height);
        if (d.picture->isNull())
            return PlainJpeg::Outcome::TooLarge;
        return PlainJpeg::Outcome::Decoded;
    }

    // Decodes and places every row of a started decode into bits (the turned picture's words),
    // telling rowsDone how many rows of the picture, from its top, are whole after each band (only
    // meaningful for a picture not turned upside down or sideways). Returns false when libjpeg
    // gave up on the data.
    template <class RowsDone>
    bool decodeRows(JpegDecode& decode, int orientation, std::vector<std::uint8_t>& band,
        std::uint32_t* bits, RowsDone&& rowsDone)
    {
        const int width = decode.width(), height = decode.height();
        const bool turned = orientation >= 5;
        const std::ptrdiff_t stride = std::ptrdiff_t(width) * 4;
        const int bandRows = turned ? TurnedBandRows : UprightBandRows;
        band.assign(std::size_t(stride) * bandRows, 0xFF);
        while (decode.nextRow() < height) {
            const int first = decode.nextRow();
            const int count = std::min(bandRows, height - first);
            if (!decode.readRows(band.data(), stride, count))
                return false;
            placeRows(band.data(), stride, first, count, width, height, orientation, bits,
                turned ? height : width);
            rowsDone(std::int64_t(first) + count);
        }
        return decode.finish();
    }

    // An upright picture whose rows a thread of its own decodes while the engine reads those
    // already there: the decode of a large photo and the making of its first rows overlap.
    class ArrivingRows final : public RowArrival {
    public:
        explicit ArrivingRows(std::unique_ptr<Decoder> decoder)
            : m_decoder(std::move(decoder))
            , m_thread([this] {
                Decoder& d = *m_decoder;
                const bool whole = decodeRows(
                    d.decode, d.orientation, d.band, d.picture->bits(), [this](std::int64_t rows) {
                        const std::lock_guard lock(m_mutex);
                        m_rows = rows;
                        m_changed.notify_all();
                    });
                m_decoder->release();
                const std::lock_guard lock(m_mutex);
                m_ended = true;
                m_whole = whole;
                m_changed.notify_all();
            })
        {
        }
        ~ArrivingRows() override { m_thread.join(); }

        void waitFor(std::int64_t row) const override
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_rows > row || m_ended; });
        }
        bool complete() const override
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_ended; });
            return m_whole;
        }
        PixelBuffer pixels() const
        {
            PixelBuffer buffer = m_decoder->picture->pixels();
            buffer.arrival = this;
            return buffer;
        }

    private:
        std::unique_ptr<Decoder> m_decoder;
        mutable std::mutex m_mutex;
        mutable std::condition_variable m_changed;
        std::int64_t m_rows = 0;
        bool m_ended = false;
        bool m_whole = false;
        std::thread m_thread; // last: it starts once everything above is ready
    };

    // The whole of a regular file, or nothing.
    bool readWhole(const std::string& path, std::vector<std::uint8_t>& bytes)
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0)
            return false;
        struct stat status;
        bool whole = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0;
        if (whole) {
            bytes.resize(std::size_t(status.st_size));
            std::size_t done = 0;
            while (done < bytes.size()) {
                const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
                if (got <= 0)
                    break;
                done += std::size_t(got);
            }
            whole = done == bytes.size();
        }
        ::close(fd);
        return whole;
    }

} // namespace

bool isPlainJpeg(const std::uint8_t* data, std::size_t size, int& orientation)
{
    if (size < 2 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    const JpegWalk walk = walkJpeg(data, size);
    orientation = walk.exifOrientation;
    return !walk.cutShort && !walk.profile && (walk.components == 1 || walk.components == 3);
}

PlainJpeg readPlainJpeg(const std::string& path, std::int64_t maxPixels, JpegRows rows)
{
    // What is not a regular file is never opened by the reader, nor here: a named pipe would
    // wait for a writer, and opening a device may do something.
    struct stat status;
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    auto decoder = std::make_unique<Decoder>();
    if (!readWhole(path, decoder->file)
        || !isPlainJpeg(decoder->file.data(), decoder->file.size(), decoder->orientation))
        return {};
    PlainJpeg result;
    result.outcome = start(*decoder, maxPixels);
    if (result.outcome != PlainJpeg::Outcome::Decoded)
        return result;
    // Rows come in the picture's order only when it is not turned or flipped upside down.
    if (rows == JpegRows::Arriving && decoder->orientation <= 2) {
        auto arriving = std::make_shared<ArrivingRows>(std::move(decoder));
        result.pixels = arriving->pixels();
        result.owner = std::move(arriving);
        return result;
    }
    if (!decodeRows(decoder->decode, decoder->orientation, decoder->band, decoder->picture->bits(),
            [](std::int64_t) {}))
        return { PlainJpeg::Outcome::Damaged, {}, {} };
    result.pixels = decoder->picture->pixels();
    result.owner = decoder->picture;
    return result;
}

bool plainJpegSize(
    const std::uint8_t* data, std::size_t size, int orientation, int& width, int& height)
{
    JpegDecode decode;
    if (!decode.readHeader(data, size) || (decode.components() != 1 && decode.components() != 3))
        return false;
    // At full scale libjpeg decodes the size the frame stores.
    decode.start(JCS_EXT_BGRA);
    if (decode.width() <= 0 || decode.height() <= 0)
        return false;
    const bool turned = orientation >= 5;
    width = turned ? decode.height() : decode.width();
    height = turned ? decode.width() : decode.height();
    return true;
}

struct PlainJpegBands::State {
    JpegDecode decode;
    int orientation = 1;
    bool finished = false;
    std::vector<std::uint8_t> band;
};

PlainJpegBands::PlainJpegBands()
    : m_state(std::make_unique<State>())
{
}
PlainJpegBands::~PlainJpegBands() = default;

int PlainJpegBands::width() const
{
    return m_state->decode.width();
}
int PlainJpegBands::height() const
{
    return m_state->decode.height();
}
int PlainJpegBands::nextRow() const
{
    return m_state->decode.nextRow();
}

bool PlainJpegBands::start(const std::uint8_t* data, std::size_t size, int orientation)
{
    State& s = *m_state;
    s.orientation = orientation;
    s.finished = false;
    return orientation >= 1 && orientation <= 2 && s.decode.readHeader(data, size)
        && (s.decode.components() == 1 || s.decode.components() == 3)
        && s.decode.start(JCS_EXT_BGRA);
}

bool PlainJpegBands::decodeTo(int first, int last, std::uint32_t* bits, int bitsFirst)
{
    State& s = *m_state;
    const int width = this->width(), height = this->height();
    last = std::min(last, height - 1);
    first = std::max(first, bitsFirst);
    if (nextRow() < first && !s.decode.skipRows(std::min(first, height) - nextRow()))
        return false;
    const std::ptrdiff_t stride = std::ptrdiff_t(width) * 4;
    while (nextRow() <= last) {
        const int row = nextRow();
        const int count = std::min(UprightBandRows, last + 1 - row);
        // Upright rows are the picture's words as they stand: decoded in place, not copied.
        if (s.orientation == 1) {
            if (!s.decode.readRows(reinterpret_cast<std::uint8_t*>(
                                       bits + std::ptrdiff_t(width) * (row - bitsFirst)),
                    stride, count))
                return false;
            continue;
        }
        s.band.resize(std::size_t(stride) * UprightBandRows);
        if (!s.decode.readRows(s.band.data(), stride, count))
            return false;
        // Only upright or mirrored rows come here, each to its own row: the band's rows too.
        placeRows(s.band.data(), stride, row - bitsFirst, count, width, height - bitsFirst,
            s.orientation, bits, width);
    }
    if (nextRow() < height || s.finished)
        return true;
    s.finished = true;
    return s.decode.finish();
}

bool decodePlainJpeg(
    const std::uint8_t* data, std::size_t size, int orientation, std::uint32_t* bits)
{
    JpegDecode decode;
    if (!decode.readHeader(data, size) || (decode.components() != 1 && decode.components() != 3)
        || !decode.start(JCS_EXT_BGRA))
        return false;
    std::vector<std::uint8_t> band;
    return decodeRows(decode, orientation, band, bits, [](std::int64_t) {});
}

} // namespace mosaiq
