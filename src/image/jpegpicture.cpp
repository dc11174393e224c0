#include "image/jpegpicture.h"

#include "image/bandpipeline.h"
#include "image/colourconversion.h"
#include "image/picturememory.h"
#include "jpeg/jpegdecode.h"
#include "jpeg/rowplacement.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace mosaiq {

namespace {

    // Rows converted and placed together. Upright, a band of a 4000-pixel photo (500 KB) stays
    // in the second-level cache between libjpeg writing it and the conversion and copy reading
    // it (128 rows made the read a fifth slower). Turned, each row of the band goes down a
    // column: longer runs in each row of the picture write it faster than the cache saves.
    constexpr int UprightBandRows = 32, TurnedBandRows = 128;

    // Pictures from this size on are finished on a helper thread while the next band decodes:
    // below it the thread would cost more than it saves.
    constexpr qint64 HelperPixels = 1'000'000;

    struct Job {
        const QByteArray& file;
        int orientation;
        const ColourConversion* conversion;
        qint64 maxPixels;
        bool mayUseHelper;
        PictureError error = PictureError::None;
        QImage picture {};
        // Two bands in turn when a helper finishes them; the rows as decoded, and the inks of
        // CMYK before their conversion.
        std::array<std::vector<uchar>, 2> bands {}, inks {};
        std::optional<BandPipeline> pipeline {};
    };

    // Returns false when libjpeg gave up on the data.
    bool run(JpegDecode& decode, Job& job)
    {
        if (!decode.readHeader(reinterpret_cast<const std::uint8_t*>(job.file.constData()),
                std::size_t(job.file.size())))
            return false;
        const int components = decode.components();
        const bool cmyk = components == 4;
        if ((cmyk && !job.conversion) || (components != 1 && components != 3 && !cmyk)) {
            job.error = PictureError::NotAPicture;
            return true;
        }
        if (decode.storedPixels() > job.maxPixels) {
            job.error = PictureError::TooLarge;
            return true;
        }
        // CMYK and YCCK come as inks; the rest as the 0xAARRGGBB words of QImage, grey too.
        if (!decode.start(cmyk ? JCS_CMYK : JCS_EXT_BGRA))
            return false;
        const int width = decode.width(), height = decode.height();
        const bool turned = job.orientation >= 5;
        job.picture = allocatePicture(turned ? height : width, turned ? width : height);
        if (job.picture.isNull()) {
            job.error = PictureError::TooLarge;
            return true;
        }
        const qsizetype stride = qsizetype(width) * 4;
        // Only a colour conversion is worth a helper: turning alone costs little more than the
        // copy of an upright picture, and a helper taking it costs more processor time than
        // the wall time it saves.
        const bool helped
            = job.mayUseHelper && job.conversion && qint64(width) * height >= HelperPixels;
        // Handed to the helper, short bands also pass from one core to the other more quickly.
        const int bandRows = turned && !helped ? TurnedBandRows : UprightBandRows;
        const int bandCount = helped ? 2 : 1;
        for (int slot = 0; slot < bandCount; ++slot) {
            // Alpha bytes stay opaque for CMYK.
            job.bands[size_t(slot)].assign(size_t(stride) * bandRows, 0xFF);
            if (cmyk)
                job.inks[size_t(slot)].resize(size_t(stride) * bandRows);
        }
        auto convertRows = [&job, stride, width](int slot, int row, int count) {
            if (!job.conversion)
                return;
            uchar* band = job.bands[size_t(slot)].data() + row * stride;
            const uchar* from = job.inks[size_t(slot)].empty()
                ? band
                : job.inks[size_t(slot)].data() + row * stride;
            job.conversion->convert(from, stride, band, stride, width, count);
        };
        auto placeBand = [&job, stride, width, height](int slot, int first, int count) {
            placeRows(job.bands[size_t(slot)].data(), stride, first, count, width, height,
                job.orientation, reinterpret_cast<std::uint32_t*>(job.picture.bits()),
                job.picture.bytesPerLine() / 4);
        };
        // The helper converts and places each band, so that the decoding thread only decodes.
        if (helped)
            job.pipeline.emplace([convertRows, placeBand](int slot, int first, int count) {
                convertRows(slot, 0, count);
                placeBand(slot, first, count);
            });
        BandPipeline* pipeline
            = job.pipeline && job.pipeline->isRunning() ? &*job.pipeline : nullptr;
        int slot = 0;
        while (decode.nextRow() < height) {
            if (pipeline)
                pipeline->waitUntilFree(slot);
            uchar* target = cmyk ? job.inks[size_t(slot)].data() : job.bands[size_t(slot)].data();
            const int first = decode.nextRow();
            const int count = std::min(bandRows, height - first);
            // Alone, each run of rows is converted while the cache still holds it.
            for (int start = 0; start < count; start += UprightBandRows) {
                const int rows = std::min(UprightBandRows, count - start);
                if (!decode.readRows(target + start * stride, stride, rows))
                    return false;
                if (!pipeline)
                    convertRows(slot, start, rows);
            }
            if (pipeline) {
                pipeline->handOver(slot, first, count);
                slot ^= 1;
            } else {
                placeBand(slot, first, count);
            }
        }
        if (pipeline) {
            pipeline->waitUntilFree(slot);
            pipeline->waitUntilFree(slot ^ 1);
        }
        return decode.finish();
    }

} // namespace

QImage readJpeg(const QByteArray& file, int orientation, const ColourConversion* conversion,
    qint64 maxPixels, ReadingThreads threads, PictureError& error)
{
    if (orientation < 1 || orientation > 8)
        orientation = 1;
    JpegDecode decode;
    Job job { file, orientation, conversion, maxPixels, threads == ReadingThreads::WithHelper };
    const bool finished = run(decode, job);
    job.pipeline.reset(); // the helper stops before anything it writes to goes
    error = job.error;
    if (!finished || error != PictureError::None) {
        if (error == PictureError::None)
            error = PictureError::Damaged;
        return {};
    }
    return job.picture;
}

} // namespace mosaiq
