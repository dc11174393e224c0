// mosaiq-cli at the limits, each figure beside its floor measured in the same run:
// - the 4000 x 3000 square run with the page and both codes against writing as many bytes from
//   a program, alternated over rounds (best and median, wall and processor time), and its peak
//   memory against the decoded picture;
// - peak memory of a 48-megapixel picture with the page and both codes (letter mode);
// - --png of the 1920 x 1080 picture at one cell per pixel against the page alone.
// Usage: limits_bench [MOSAIQ-CLI]: another build of the program (main's, say) for "before".
#include "support/benchpicture.h"
#include "support/childrun.h"
#include "support/roundfigures.h"

#include <QElapsedTimer>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using childrun::Measure;

const std::string Dir = "/tmp/mosaiq-limits-bench";

std::string pictureOf(int width, int height)
{
    const std::string path
        = Dir + "/photo-" + std::to_string(width) + "x" + std::to_string(height) + ".jpg";
    if (!fs::exists(path))
        makeBenchPicture(QString::fromStdString(path), width, height);
    return path;
}

Measure best(int times, const std::vector<std::string>& argv)
{
    Measure result;
    result.seconds = 1e9;
    for (int i = 0; i < times; ++i) {
        const Measure m = childrun::run(argv, "/dev/null", false);
        if (m.seconds < result.seconds)
            result = m;
    }
    return result;
}

std::uintmax_t bytesOf(const std::vector<std::string>& files)
{
    std::uintmax_t total = 0;
    for (const std::string& file : files)
        total += fs::exists(file) ? fs::file_size(file) : 0;
    return total;
}

// Writing files of these sizes from memory, a megabyte at a time, as a program at its fastest:
// the wall time and the processor time of this thread, which alone writes.
std::pair<double, double> writeFloor(const std::vector<std::uintmax_t>& sizes)
{
    const std::vector<char> block(1 << 20, 'o');
    QElapsedTimer timer;
    timer.start();
    timespec start {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const std::string path = Dir + "/floor-" + std::to_string(i);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        for (std::uintmax_t left = sizes[i]; left > 0;) {
            const std::size_t n = std::size_t(std::min<std::uintmax_t>(left, block.size()));
            std::fwrite(block.data(), 1, n, file);
            left -= n;
        }
        std::fclose(file);
    }
    timespec end {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const double processor
        = double(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) / 1e9;
    for (std::size_t i = 0; i < sizes.size(); ++i)
        fs::remove(Dir + "/floor-" + std::to_string(i));
    return { seconds, processor };
}

double mib(double bytes)
{
    return bytes / 1048576.0;
}

} // namespace

int main(int argc, char* argv[])
{
    const std::string cli = argc > 1 ? argv[1] : MOSAIQ_CLI;
    fs::create_directories(Dir);
    std::printf("mosaiq-cli: %s\n", cli.c_str());
    const std::vector<std::string> outputs { Dir + "/page.html", Dir + "/code.html",
        Dir + "/code.blog" };
    auto threeOutputs = [&](const std::string& picture, bool square) {
        std::vector<std::string> argv { cli, picture, "-o", outputs[0], "--html-code", outputs[1],
            "--blog-code", outputs[2] };
        if (square)
            argv.push_back("--square");
        return argv;
    };

    // The square run, alternating with its floor round by round so that both see the same
    // machine; both write new files, removed after each round outside the times.
    const std::string photo12 = pictureOf(4000, 3000);
    constexpr int Rounds = 9;
    RoundFigures run;
    RoundFigures floor;
    long peakKiB = 0;
    int exit = 0;
    std::uintmax_t written = 0;
    for (int i = 0; i < Rounds; ++i) {
        for (const std::string& file : outputs)
            fs::remove(file);
        const Measure m = childrun::run(threeOutputs(photo12, true), "/dev/null", false);
        run.add(m.seconds, m.processorSeconds);
        peakKiB = std::max(peakKiB, m.peakKiB);
        exit = std::max(exit, WEXITSTATUS(m.status));
        std::vector<std::uintmax_t> sizes;
        for (const std::string& file : outputs)
            sizes.push_back(bytesOf({ file }));
        written = bytesOf(outputs);
        for (const std::string& file : outputs)
            fs::remove(file);
        const auto [seconds, processor] = writeFloor(sizes);
        floor.add(seconds, processor);
    }
    const double decoded12 = 4000.0 * 3000 * 4;
    std::printf("4000 x 3000 square, page and both codes (%.2f GB), exit %d, %d rounds:\n",
        written / 1e9, exit, Rounds);
    run.print("  mosaiq-cli:");
    floor.print("  writing the same bytes:");
    run.printRatio("  ratio:", floor, 1.3);
    std::printf("  peak RSS %.1f MiB; decoded picture %.1f MiB + 64 MiB = %.1f MiB (goal)\n",
        peakKiB / 1024.0, mib(decoded12), mib(decoded12) + 64);

    const std::string photo48 = pictureOf(8000, 6000);
    const Measure large = childrun::run(threeOutputs(photo48, false), "/dev/null", false);
    const double decoded48 = 8000.0 * 6000 * 4;
    std::printf("8000 x 6000 letter, page and both codes (%.2f GB): %.2f s, exit %d; peak RSS "
                "%.1f MiB; decoded picture %.1f MiB + 64 MiB = %.1f MiB (goal)\n",
        bytesOf(outputs) / 1e9, large.seconds, WEXITSTATUS(large.status), large.peakKiB / 1024.0,
        mib(decoded48), mib(decoded48) + 64);
    for (const std::string& file : outputs)
        fs::remove(file);

    const std::string photo2 = pictureOf(1920, 1080);
    // Alternated, so that both see the same machine.
    Measure page, png;
    page.seconds = png.seconds = 1e9;
    for (int i = 0; i < 3; ++i) {
        const Measure p = best(1, { cli, photo2, "-o", outputs[0] });
        const Measure q = best(1, { cli, photo2, "-o", outputs[0], "--png", Dir + "/page.png" });
        page = p.seconds < page.seconds ? p : page;
        png = q.seconds < png.seconds ? q : png;
    }
    std::printf("1920 x 1080, page alone: %.3f s; with --png (%.1f MB): %.2f s (processor %.2f s), "
                "exit %d; ratio %.1f (goal: at most 12)\n",
        page.seconds, bytesOf({ Dir + "/page.png" }) / 1e6, png.seconds, png.processorSeconds,
        WEXITSTATUS(png.status), png.seconds / page.seconds);
    fs::remove(outputs[0]);
    return 0;
}
