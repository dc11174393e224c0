#include "jpeg/plainjpeg.h"

#include "jpeg/jpegerrors.h"
#include "jpeg/jpegwalk.h"
#include "jpeg/rowplacement.h"

#include <csetjmp>
#include <cstdio>
#include <fcntl.h>
#include <jpeglib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace mosaiq {

namespace {

    // Rows decoded and placed together, as the picture reader's decode does.
    constexpr int UprightBandRows = 32, TurnedBandRows = 128;

    struct Job {
        const std::vector<std::uint8_t>& file;
        int orientation;
        std::int64_t maxPixels;
        PlainJpeg result {};
        std::vector<std::uint8_t> band {};
    };

    // Returns false when libjpeg gave up on the data. Nothing here may need destroying when
    // libjpeg jumps back: what outlives the jump lives in job.
    bool run(jpeg_decompress_struct& info, JpegErrors& errors, Job& job)
    {
        if (setjmp(errors.jump))
            return false;
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, job.file.data(), static_cast<unsigned long>(job.file.size()));
        jpeg_read_header(&info, TRUE);
        if (info.num_components != 1 && info.num_components != 3) {
            job.result.outcome = PlainJpeg::Outcome::NotPlain;
            return true;
        }
        if (std::int64_t(info.image_width) * info.image_height > job.maxPixels) {
            job.result.outcome = PlainJpeg::Outcome::TooLarge;
            return true;
        }
        info.out_color_space = JCS_EXT_BGRA; // the 0xAARRGGBB words the engine reads, grey too
        jpeg_start_decompress(&info);
        const int width = int(info.output_width), height = int(info.output_height);
        const bool turned = job.orientation >= 5;
        auto picture
            = std::make_shared<PixelBlock>(turned ? height : width, turned ? width : height);
        if (picture->isNull()) {
            job.result.outcome = PlainJpeg::Outcome::TooLarge;
            return true;
        }
        const std::ptrdiff_t stride = std::ptrdiff_t(width) * 4;
        const int bandRows = turned ? TurnedBandRows : UprightBandRows;
        job.band.assign(std::size_t(stride) * bandRows, 0xFF);
        while (info.output_scanline < info.output_height) {
            const int first = int(info.output_scanline);
            int count = 0;
            while (count < bandRows && info.output_scanline < info.output_height) {
                JSAMPROW row = job.band.data() + count * stride;
                if (jpeg_read_scanlines(&info, &row, 1) != 1)
                    return false;
                ++count;
            }
            placeRows(job.band.data(), stride, first, count, width, height, job.orientation,
                picture->bits(), turned ? height : width);
        }
        jpeg_finish_decompress(&info);
        job.result.outcome = PlainJpeg::Outcome::Decoded;
        job.result.picture = std::move(picture);
        return true;
    }

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

PlainJpeg readPlainJpeg(const std::string& path, std::int64_t maxPixels)
{
    // What is not a regular file is never opened by the reader, nor here: a named pipe would
    // wait for a writer, and opening a device may do something.
    struct stat status;
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    std::vector<std::uint8_t> file;
    int orientation = 1;
    if (!readWhole(path, file) || !isPlainJpeg(file.data(), file.size(), orientation))
        return {};
    jpeg_decompress_struct info {};
    JpegErrors errors {};
    watchJpegErrors(info, errors);
    Job job { file, orientation, maxPixels };
    const bool finished = run(info, errors, job);
    jpeg_destroy_decompress(&info);
    if (!finished)
        return { PlainJpeg::Outcome::Damaged, nullptr };
    return job.result;
}

} // namespace mosaiq
