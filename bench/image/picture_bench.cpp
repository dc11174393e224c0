// Reading a 12-megapixel phone photo: a JPEG stored sideways (EXIF orientation 6) with a
// Display P3 profile, and a HEIC turned by its own box with the same profile, each against the
// same picture stored upright without profile. Time (best of several reads in this process)
// and peak memory (one read in a fresh process). The extra cost of turning and converting
// should stay within 30 % of the decode. The JPEG is read with the helper thread that converts
// while libjpeg decodes, as the window and mosaiq-cli read it, and on one thread alone, as a
// batch that fills every core reads it.
#include "image/picturereader.h"
#include "support/benchpicture.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTransform>

#include <libheif/heif.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

using namespace mosaiq;

namespace {

constexpr int Width = 4000, Height = 3000;
const QString Dir = QStringLiteral("/tmp/mosaiq-picture-bench");

// An APP1 segment holding EXIF with one tag: the orientation.
QByteArray exifSegment(int orientation)
{
    const char tiff[] = { 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0,
        char(orientation), 0, 0, 0, 0, 0, 0 };
    const QByteArray body = QByteArray("Exif\0\0", 6) + QByteArray(tiff, sizeof tiff);
    QByteArray segment("\xFF\xE1", 2);
    segment += char((body.size() + 2) >> 8);
    segment += char((body.size() + 2) & 0xFF);
    return segment + body;
}

QByteArray jpegBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return bytes;
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}

// A HEIC of the picture; orientation goes into the file's own boxes, profile as ICC.
bool writeHeic(
    const QImage& picture, const QString& path, int orientation, const QByteArray& profile)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    heif_image* image = nullptr;
    heif_image_create(
        rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, rgb.width(), rgb.height(), 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(plane + y * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
    if (!profile.isEmpty())
        heif_image_set_raw_color_profile(
            image, "prof", profile.constData(), size_t(profile.size()));
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder);
    heif_encoder_set_lossy_quality(encoder, 85);
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = heif_orientation(orientation);
    const bool written
        = heif_context_encode_image(context, image, encoder, options, nullptr).code == heif_error_Ok
        && heif_context_write_to_file(context, QFile::encodeName(path).constData()).code
            == heif_error_Ok;
    heif_encoding_options_free(options);
    heif_encoder_release(encoder);
    heif_context_free(context);
    heif_image_release(image);
    return written;
}

void makePictures()
{
    if (QFile::exists(Dir + "/turned-p3.heic"))
        return;
    makeBenchPicture(Dir + "/upright.jpg", Width, Height);
    const QImage upright(Dir + "/upright.jpg");
    // Stored as the sensor saw it: turned a quarter to the left, to be turned back when shown.
    QImage sideways = upright.transformed(QTransform().rotate(270));
    sideways.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    QByteArray turned = jpegBytes(sideways);
    turned.insert(2, exifSegment(6));
    write(Dir + "/turned-p3.jpg", turned);
    QImage sidewaysPlain = upright.transformed(QTransform().rotate(270));
    QByteArray turnedPlain = jpegBytes(sidewaysPlain);
    turnedPlain.insert(2, exifSegment(6));
    write(Dir + "/turned.jpg", turnedPlain);
    const QByteArray p3 = QColorSpace(QColorSpace::DisplayP3).iccProfile();
    writeHeic(upright, Dir + "/upright.heic", 1, {});
    writeHeic(sideways, Dir + "/turned-p3.heic", 6, p3);
}

struct Timing {
    double wall = 1e9; // seconds, the best of the reads
    double cpu = 1e9; // seconds of processor time of the whole process, the best of the reads
};

double processSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

Picture read(const QString& path, ReadingThreads threads)
{
    return readPictureNative(QFile::encodeName(path).toStdString(), threads);
}

Timing best(const QString& path, ReadingThreads threads, int times)
{
    Timing timing;
    for (int i = 0; i < times; ++i) {
        QElapsedTimer timer;
        timer.start();
        const double cpu = processSeconds();
        const Picture picture = read(path, threads);
        timing.cpu = std::min(timing.cpu, processSeconds() - cpu);
        timing.wall = std::min(timing.wall, timer.nsecsElapsed() / 1e9);
        if (picture.isNull() || picture.image.size() != QSize(Width, Height)) {
            std::printf("%s: not read as %d x %d\n", qPrintable(path), Width, Height);
            std::exit(1);
        }
    }
    return timing;
}

// The high-water mark of this process's memory, in MiB. (A child's ru_maxrss would count the
// parent's memory it was forked with.)
double highWaterMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

// One read in a fresh process, as mosaiq-cli makes it: wall and processor seconds, and the
// memory's high-water mark in MiB.
struct FreshRead {
    double wall = 0, cpu = 0, peak = 0;
};

FreshRead readFresh(const char* self, const QString& path, ReadingThreads threads)
{
    const QByteArray command = QByteArray("'") + self + "' --read-once '" + QFile::encodeName(path)
        + (threads == ReadingThreads::CallerOnly ? "' alone" : "'");
    FILE* child = ::popen(command.constData(), "r");
    FreshRead read;
    if (child && std::fscanf(child, "%lf %lf %lf", &read.wall, &read.cpu, &read.peak) != 3)
        read = {};
    if (child)
        ::pclose(child);
    return read;
}

FreshRead bestFresh(const char* self, const QString& path, ReadingThreads threads, int times)
{
    FreshRead best { 1e9, 1e9, 0 };
    for (int i = 0; i < times; ++i) {
        const FreshRead read = readFresh(self, path, threads);
        best.wall = std::min(best.wall, read.wall);
        best.cpu = std::min(best.cpu, read.cpu);
        best.peak = std::max(best.peak, read.peak);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    setUpPictureReading();
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "--read-once") == 0) {
        QElapsedTimer timer;
        timer.start();
        const double cpu = processSeconds();
        if (argv[2][0] != '\0')
            read(QFile::decodeName(argv[2]),
                argc == 4 ? ReadingThreads::CallerOnly : ReadingThreads::WithHelper);
        std::printf(
            "%.4f %.4f %.1f\n", timer.nsecsElapsed() / 1e9, processSeconds() - cpu, highWaterMiB());
        return 0;
    }
    QDir().mkpath(Dir);
    makePictures();
    const double baseline = readFresh(argv[0], QString(), ReadingThreads::WithHelper).peak;
    std::printf("%d x %d pictures (%.0f MiB decoded). Times in seconds, the best of 7: wall and "
                "processor time (the steadier on a shared machine), for a read in a fresh process "
                "(as mosaiq-cli reads) and for a read repeated in one process (as the window "
                "reads again at each run). Peak: memory of a fresh read beyond the %.0f MiB of the "
                "program alone.\n",
        Width, Height, Width * double(Height) * 4 / 1048576.0, baseline);
    struct Case {
        const char* file;
        const char* label;
        ReadingThreads threads = ReadingThreads::WithHelper;
    };
    auto percent = [](double value, double plain) { return 100 * (value - plain) / plain; };
    for (const auto& group :
        { std::vector<Case> { { "upright.jpg", "JPEG upright, no profile   " },
              { "turned.jpg", "JPEG turned (6), no profile" },
              { "turned-p3.jpg", "JPEG turned (6), Display P3" },
              { "turned-p3.jpg", "  the same on one thread   ", ReadingThreads::CallerOnly } },
            std::vector<Case> { { "upright.heic", "HEIC upright, no profile   " },
                { "turned-p3.heic", "HEIC turned (6), Display P3" } } }) {
        FreshRead plainFresh;
        Timing plain;
        for (const Case& c : group) {
            const FreshRead fresh = bestFresh(argv[0], Dir + "/" + c.file, c.threads, 7);
            const Timing again = best(Dir + "/" + c.file, c.threads, 7);
            if (&c == &group.front()) {
                plainFresh = fresh;
                plain = again;
            }
            std::printf(
                "%s: fresh wall %.3f cpu %.3f | again wall %.3f cpu %.3f | peak %+.1f MiB\n",
                c.label, fresh.wall, fresh.cpu, again.wall, again.cpu, fresh.peak - baseline);
            if (&c != &group.front())
                std::printf(
                    "    extra over upright: fresh wall %+.0f %%, cpu %+.0f %% | again wall "
                    "%+.0f %%, cpu %+.0f %% (goal: at most +30 %%)\n",
                    percent(fresh.wall, plainFresh.wall), percent(fresh.cpu, plainFresh.cpu),
                    percent(again.wall, plain.wall), percent(again.cpu, plain.cpu));
        }
    }
    return 0;
}
