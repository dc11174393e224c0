// Whole-process figures of mosaiq-cli, all in one run: the wall time of --version and --help
// (the program's start), and on a 1920 x 1080 JPEG at one cell per pixel the wall and processor
// time beside jp2a on the same picture and beside the floor (djpeg decoding the picture plus
// writing the page's bytes), alternated over rounds, and peak memory compared with the decoded
// picture, for two picture sizes.
#include "support/benchpicture.h"
#include "support/childrun.h"
#include "support/roundfigures.h"

#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using childrun::Measure;

Measure best(int times, const std::vector<std::string>& argv, const std::string& outPath)
{
    Measure result;
    result.seconds = 1e9;
    for (int i = 0; i < times; ++i) {
        const Measure m = childrun::run(argv, outPath, false);
        if (m.seconds < result.seconds)
            result = m;
    }
    return result;
}

void makePicture(const std::string& path, int width, int height)
{
    makeBenchPicture(QString::fromStdString(path), width, height);
}

bool haveProgram(const char* name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

int main(int argc, char* argv[])
{
    // Another build of mosaiq-cli may be measured beside this one's: cli_bench [PROGRAM].
    const std::string program = argc > 1 ? argv[1] : MOSAIQ_CLI;
    const std::string dir = "/tmp/mosaiq-cli-bench";
    std::system(("mkdir -p " + dir).c_str());
    const std::string picture = dir + "/photo-1920x1080.jpg";
    makePicture(picture, 1920, 1080);
    const std::string page = dir + "/page.html";

    const Measure version = best(20, { program, "--version" }, "/dev/null");
    const Measure help = best(20, { program, "--help" }, "/dev/null");
    std::printf(
        "mosaiq-cli --version:       %.4f s (best of 20; goal: at most 0.005)\n", version.seconds);
    std::printf(
        "mosaiq-cli --help:          %.4f s (best of 20; goal: at most 0.005)\n", help.seconds);

    // The page against its floor: decoding the picture (djpeg, in a process of its own as
    // mosaiq-cli is, else Qt's reader in this process) plus writing as many bytes as the page
    // (dd). The disk's page cache makes single writes swing by half, so the program and its
    // floor alternate round by round, and both measures are given: the best and the median.
    // Both write new files, after the disk has taken what came before: replacing a file, or
    // writing while the last round's bytes still go to the disk, costs either side more by turns.
    const bool djpeg = haveProgram("djpeg");
    const std::string copy = dir + "/copy.html";
    constexpr int Rounds = 15;
    RoundFigures cli;
    RoundFigures floor;
    int exit = 0;
    long pageBytes = 0;
    for (int round = 0; round < Rounds; ++round) {
        std::remove(page.c_str());
        ::sync();
        const Measure m = childrun::run({ program, picture, "-o", page }, "/dev/null", false);
        cli.add(m.seconds, m.processorSeconds);
        exit = std::max(exit, WEXITSTATUS(m.status));
        Measure decode;
        if (djpeg) {
            decode = childrun::run({ "djpeg", picture }, "/dev/null", false);
        } else {
            QElapsedTimer timer;
            timer.start();
            QImageReader(QString::fromStdString(picture)).read();
            decode.seconds = decode.processorSeconds = timer.nsecsElapsed() / 1e9;
        }
        std::remove(copy.c_str());
        ::sync();
        const Measure write = childrun::run(
            { "dd", "if=" + page, "of=" + copy, "bs=4M", "status=none" }, "/dev/null", false);
        floor.add(decode.seconds + write.seconds, decode.processorSeconds + write.processorSeconds);
        if (round == 0) {
            FILE* pageFile = std::fopen(page.c_str(), "rb");
            std::fseek(pageFile, 0, SEEK_END);
            pageBytes = std::ftell(pageFile);
            std::fclose(pageFile);
        }
    }

    std::printf("picture: 1920 x 1080 JPEG, 2073600 cells, page %.1f MB; %d rounds\n",
        pageBytes / 1e6, Rounds);
    std::printf("mosaiq-cli page (exit %d):\n", exit);
    cli.print("  mosaiq-cli page:");
    std::printf("floor: decode (%s) + write the page's bytes (dd):\n",
        djpeg ? "djpeg" : "Qt's reader; apt-get install libjpeg-turbo-progs for djpeg");
    floor.print("  floor:");
    cli.printRatio("mosaiq-cli / floor:", floor, 1.1);
    if (haveProgram("jp2a")) {
        RoundFigures jp2a;
        for (int round = 0; round < 3; ++round) {
            const Measure m = childrun::run(
                { "jp2a", "--html", "--colors", "--width=1920", "--height=1080", picture },
                dir + "/jp2a.html", false);
            jp2a.add(m.seconds, m.processorSeconds);
        }
        jp2a.print("jp2a --html --colors:");
        cli.printRatio("mosaiq-cli / jp2a:", jp2a, 0.25);
    } else {
        std::printf("jp2a not installed (apt-get install jp2a) - no side by side figure\n");
    }

    // Peak memory writing only the page: the decoded picture plus one row, at two sizes.
    for (const auto& [width, height] :
        std::vector<std::pair<int, int>> { { 1920, 1080 }, { 6000, 4000 } }) {
        const std::string path
            = dir + "/photo-" + std::to_string(width) + "x" + std::to_string(height) + ".jpg";
        if (width != 1920)
            makePicture(path, width, height);
        const Measure m = childrun::run({ program, path, "-o", page }, "/dev/null", false);
        const double pictureMiB = width * double(height) * 4 / 1048576.0;
        const double rowMiB = width * 33.0 / 1048576.0;
        std::printf(
            "peak RSS %dx%d: %.1f MiB (decoded picture %.1f MiB + one row %.2f MiB; rest is the "
            "program) in %.2f s\n",
            width, height, m.peakKiB / 1024.0, pictureMiB, rowMiB, m.seconds);
    }
    const Measure empty = childrun::run({ program, "--help" }, "/dev/null", false);
    std::printf(
        "peak RSS of mosaiq-cli --help (the program alone): %.1f MiB\n", empty.peakKiB / 1024.0);
    return 0;
}
