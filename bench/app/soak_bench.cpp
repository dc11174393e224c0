// Fifty runs in a row in the window, with the stop button pressed in some of them, on a
// 640 x 480 picture at one cell per pixel: the memory of this process (resident, after each run)
// and its open files must not grow beyond noise.
#include "app/frmhtml.h"
#include "support/benchwindow.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <unistd.h>
#include <vector>

using namespace mosaiq;

namespace {

double residentMiB()
{
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * double(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

int openFiles()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::NoDotAndDotDot | QDir::System)
                   .size());
}

} // namespace

int main(int argc, char* argv[])
{
    prepareOffscreenWindow();
    QApplication application(argc, argv);
    BenchWindow bench(QStringLiteral("/tmp/mosaiq-soak-bench"), 640, 480);
    mosaiq::FrmHTML& window = *bench.window;
    mosaiq::FakeDesktop& desktop = bench.desktop;

    // Every third run is stopped halfway with the stop button, as a user would.
    int run = 0;
    QObject::connect(&window, &FrmHTML::rowWritten, &window, [&](qint64 row) {
        if (run % 3 == 2 && row == 240)
            control<QPushButton>(window, "Command5")->click();
    });
    std::vector<double> resident;
    std::vector<int> files;
    for (run = 0; run < 50; ++run) {
        control<QPushButton>(window, "CmdGo")->click();
        QApplication::processEvents();
        if (qEnvironmentVariableIsSet("SOAK_TRIM"))
            malloc_trim(0);
        resident.push_back(residentMiB());
        files.push_back(openFiles());
    }
    const auto [least, most] = std::minmax_element(resident.begin() + 5, resident.end());
    std::printf("50 runs of 307200 cells, every third stopped halfway\n");
    std::printf("resident memory after run 1: %.1f MiB, run 5: %.1f MiB, run 50: %.1f MiB\n",
        resident[0], resident[4], resident[49]);
    std::printf("every tenth run:");
    for (std::size_t i = 9; i < resident.size(); i += 10)
        std::printf(" %.1f", resident[i]);
    std::printf(" MiB\n");
    std::printf("from run 6 on: between %.1f and %.1f MiB (spread %.1f MiB)\n", *least, *most,
        *most - *least);
    std::printf("open files after run 1: %d, after run 50: %d\n", files[0], files[49]);
    if (!desktop.messages.isEmpty())
        std::printf("messages shown: %s\n", qPrintable(desktop.messages.join(" | ")));
    return 0;
}
