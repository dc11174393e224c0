// mosaiq-cli at the limits, each figure beside its floor measured in the same run:
// - the 4000 x 3000 square run with the page and both codes against writing as many bytes from
//   a program, alternated over rounds (best and median, wall and processor time), and its peak
//   memory against the decoded picture;
// - peak memory of a 48-megapixel picture with the page and both codes (letter mode);
// - --png of the 1920 x 1080 picture at one cell per pixel against the page alone, alternated
//   over rounds, each on new files.
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
    // Alternated, so that both see the same machine, and each writing new files, removed outside
    // the times: replacing a file makes the kernel free the old one, which doubles the page
    // alone's time from one round to the next and says nothing of the program.
    const std::string pngPath = Dir + "/page.png";
    constexpr int PngRounds = 7;
    RoundFigures page, png;
    int pngExit = 0;
    std::uintmax_t pngBytes = 0;
    for (int i = 0; i < PngRounds; ++i) {
        fs::remove(outputs[0]);
        const Measure p = childrun::run({ cli, photo2, "-o", outputs[0] }, "/dev/null", false);
        page.add(p.seconds, p.processorSeconds);
        fs::remove(outputs[0]);
        const Measure q = childrun::run(
            { cli, photo2, "-o", outputs[0], "--png", pngPath }, "/dev/null", false);
        png.add(q.seconds, q.processorSeconds);
        pngExit = std::max(pngExit, WEXITSTATUS(q.status));
        pngBytes = bytesOf({ pngPath });
        fs::remove(pngPath);
    }
    std::printf("1920 x 1080 at one cell per pixel, --png (%.1f MB), exit %d, %d rounds:\n",
        pngBytes / 1e6, pngExit, PngRounds);
    page.print("  page alone:");
    png.print("  page and --png:");
    png.printRatio("  ratio:", page, 12);
    fs::remove(outputs[0]);
    return 0;
}
