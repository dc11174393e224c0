// Figures of mosaiq-cli for forums and batches, on real photos (Debian's mate-backgrounds):
// the size of the bracket code at 1080p and at 120 columns, plain and merged; the time --fit
// takes to find the grid for a 60,000-character post; and a batch of fifty one-megapixel
// pictures with --jobs 2 against fifty single calls.
#include "support/childrun.h"

#include <QElapsedTimer>
#include <QImage>
#include <QString>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string Photos = "/usr/share/backgrounds/mate/nature/";
const std::string Dir = "/tmp/mosaiq-forum-bench";

// Runs argv with its output thrown away; the wall time in seconds, or -1 when it failed.
double runSeconds(const std::vector<std::string>& argv)
{
    const childrun::Measure m = childrun::run(argv, "/dev/null", true);
    return m.succeeded() ? m.seconds : -1.0;
}

double bestOf(int times, const std::vector<std::string>& argv)
{
    double best = 1e9;
    for (int i = 0; i < times; ++i)
        best = std::min(best, runSeconds(argv));
    return best;
}

std::size_t charactersOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::size_t count = 0;
    for (std::istreambuf_iterator<char> it(in), end; it != end; ++it)
        count += (static_cast<unsigned char>(*it) & 0xC0) != 0x80;
    return count;
}

// The middle of photo, filled into width x height, saved as a JPEG of quality 90.
bool cropPhoto(const std::string& photo, const std::string& path, int width, int height, int shift)
{
    const QImage source(QString::fromStdString(Photos + photo));
    if (source.isNull())
        return false;
    const QImage filled = source.scaled(
        width + shift, height + shift, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    return filled
        .copy(
            (filled.width() - width) / 2 + shift / 2, (filled.height() - height) / 2, width, height)
        .save(QString::fromStdString(path), "JPG", 90);
}

} // namespace

int main()
{
    std::system(("mkdir -p " + Dir + "/batch " + Dir + "/out").c_str());
    const std::vector<std::string> names { "LadyBird.jpg", "Storm.jpg", "Garden.jpg" };
    std::vector<std::string> photos;
    for (const auto& name : names) {
        photos.push_back(Dir + "/1080-" + name);
        if (!cropPhoto(name, photos.back(), 1920, 1080, 0)) {
            std::printf("%s%s is missing: apt-get install mate-backgrounds\n", Photos.c_str(),
                name.c_str());
            return 1;
        }
    }
    const std::string code = Dir + "/code.txt";

    struct Variant {
        const char* label;
        std::vector<std::string> options;
    };
    const std::vector<Variant> variants {
        { "blog code (documents)", {} },
        { "phpbb", { "--dialect", "phpbb" } },
        { "phpbb --merge=0", { "--dialect", "phpbb", "--merge" } },
        { "phpbb --merge=2", { "--dialect", "phpbb", "--merge=2" } },
        { "phpbb --merge=5", { "--dialect", "phpbb", "--merge=5" } },
    };
    for (const auto& [grid, gridOptions] :
        std::vector<std::pair<std::string, std::vector<std::string>>> { { "1920 x 1080 cells", {} },
            { "120 x 68 cells", { "--columns", "120", "--rows", "68" } } }) {
        std::printf("\nCode size in characters, %s:\n%-24s", grid.c_str(), "");
        for (const auto& name : names)
            std::printf("%14s", name.c_str());
        std::printf("\n");
        for (const Variant& variant : variants) {
            std::printf("%-24s", variant.label);
            for (const auto& photo : photos) {
                std::vector<std::string> argv { MOSAIQ_CLI, photo, "-o", "/dev/null", "--blog-code",
                    code };
                argv.insert(argv.end(), variant.options.begin(), variant.options.end());
                argv.insert(argv.end(), gridOptions.begin(), gridOptions.end());
                const bool ran = runSeconds(argv) >= 0;
                std::printf("%14zu", ran ? charactersOf(code) : std::size_t(0));
            }
            std::printf("\n");
        }
    }

    std::printf(
        "\n--fit 60000 --dialect phpbb on a 1920 x 1080 photo, whole process (best of 3):\n");
    for (const char* merge : { "", "--merge=0", "--merge=5" }) {
        for (const auto& photo : photos) {
            std::vector<std::string> argv { MOSAIQ_CLI, photo, "--fit", "60000", "--dialect",
                "phpbb", "--blog-code", code, "-o", "/dev/null" };
            if (*merge)
                argv.push_back(merge);
            std::printf("  %-10s %-20s %.3f s\n", *merge ? merge : "plain",
                photo.substr(Dir.size() + 1).c_str(), bestOf(3, argv));
        }
    }

    // The best runs cost more than the plain ones: the whole process on each photo at one cell
    // per pixel, best of three, and its processor time.
    std::printf("\n1920 x 1080 cells, phpbb, whole process (best of 3):\n");
    for (const char* tolerance : { "--merge=2", "--merge=5" }) {
        for (const auto& photo : photos) {
            std::vector<std::string> argv { MOSAIQ_CLI, photo, "--dialect", "phpbb", "--blog-code",
                code, "-o", "/dev/null", tolerance };
            const double plain = bestOf(3, argv);
            argv.push_back("--best-runs");
            const double best = bestOf(3, argv);
            std::printf("  %-10s %-20s %.3f s, --best-runs %.3f s (%.2f x)\n", tolerance,
                photo.substr(Dir.size() + 1).c_str(), plain, best, best / plain);
        }
    }

    // Fifty one-megapixel pictures: the three photos and the others of the package, cropped at
    // different places.
    const std::vector<std::string> all { "Aqua.jpg", "Blinds.jpg", "Dune.jpg", "FreshFlower.jpg",
        "Garden.jpg", "GreenMeadow.jpg", "LadyBird.jpg", "RainDrops.jpg", "Storm.jpg",
        "TwoWings.jpg" };
    std::vector<std::string> batch;
    for (int i = 0; i < 50; ++i) {
        batch.push_back(Dir + "/batch/picture-" + std::to_string(i) + ".jpg");
        if (!cropPhoto(all[std::size_t(i) % all.size()], batch.back(), 1000, 1000, i * 7))
            return 1;
    }
    for (const auto& [label, options] :
        std::vector<std::pair<std::string, std::vector<std::string>>> {
            { "500 columns", { "--columns", "500", "--rows", "500" } },
            { "phpbb --merge=2 --fit 60000",
                { "--dialect", "phpbb", "--merge=2", "--fit", "60000" } } }) {
        std::vector<std::string> argv { MOSAIQ_CLI };
        argv.insert(argv.end(), batch.begin(), batch.end());
        argv.insert(argv.end(), { "--output-dir", Dir + "/out", "--jobs", "2" });
        argv.insert(argv.end(), options.begin(), options.end());
        const double together = runSeconds(argv);
        QElapsedTimer timer;
        timer.start();
        for (const auto& picture : batch) {
            const std::string base = Dir + "/out/single";
            std::vector<std::string> one { MOSAIQ_CLI, picture, "-o", base + ".html", "--html-code",
                base + ".html-code.txt", "--blog-code", base + ".blog-code.txt" };
            one.insert(one.end(), options.begin(), options.end());
            runSeconds(one);
        }
        const double singles = timer.nsecsElapsed() / 1e9;
        std::printf("\n50 pictures of 1000 x 1000, %s (page, HTML code and bracket code each):\n"
                    "  one call, --jobs 2: %.2f s; 50 single calls: %.2f s; ratio %.2f\n",
            label.c_str(), together, singles, singles / together);
    }
    double load[3] = {};
    if (getloadavg(load, 3) == 3)
        std::printf("\nload average at the end: %.2f (machine with %ld cores)\n", load[0],
            sysconf(_SC_NPROCESSORS_ONLN));
    return 0;
}
