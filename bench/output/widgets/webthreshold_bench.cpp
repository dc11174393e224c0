// What the embedded web engine can show: pages of letter cells and of square cells, of growing
// grids, are written as the program writes them and loaded into a web view of the preview's
// size, each in a fresh view. For each: the time from the load to the page loaded and painted
// (a frame drawn after the load), and the peak memory of all processes (this one and the web
// engine's helpers, PSS), against a baseline of an empty view, and the processor time all of them
// used meanwhile, which a machine kept busy by others does not lengthen as it does the wall time.
// The threshold of the preview (output/previewchoice.h) is the largest grid within about a
// second and a gigabyte.
//
// webthreshold_bench [repeats] [letter|square|both] [WxH ...]
#include "output/painting/pagefont.h"
#include "support/benchpage.h"
#include "support/offscreen.h"
#include "support/processmemory.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace mosaiq;

namespace {

struct Shown {
    double seconds = -1; // -1: not shown within the time allowed
    double loadedSeconds = -1;
    double firstRowsSeconds = -1; // the first rows on screen, while the rest may still load
    double cpuSeconds = 0; // all processes, from the load to the page shown
    double peakMiB = 0;
    double baseMiB = 0;
};

// Runs the event loop until done() or timeout milliseconds.
template <typename Done> bool waitFor(Done done, int timeout)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeout)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

Shown showPage(const QString& path, processmemory::PeakSampler& sampler, int timeout)
{
    auto view = std::make_unique<QWebEngineView>();
    const QString family = pageFamily();
    view->settings()->setFontFamily(QWebEngineSettings::StandardFont, family);
    view->settings()->setFontFamily(QWebEngineSettings::SansSerifFont, family);
    view->resize(705, 465);
    view->show();
    // The empty view's processes first, so that the baseline holds them.
    bool blank = false;
    QObject::connect(view.get(), &QWebEngineView::loadFinished, [&] { blank = true; });
    view->setUrl(QUrl(QStringLiteral("about:blank")));
    waitFor([&] { return blank; }, 10000);
    QObject::disconnect(view.get(), nullptr, nullptr, nullptr);
    Shown shown;
    shown.baseMiB = double(processmemory::treePssKiB()) / 1024.0;

    bool loaded = false, painted = false;
    QElapsedTimer timer;
    QObject::connect(view.get(), &QWebEngineView::loadFinished, [&](bool ok) {
        loaded = true;
        shown.loadedSeconds = timer.nsecsElapsed() / 1e9;
        if (ok)
            // Two frames later the loaded page has been drawn.
            view->page()->runJavaScript(QStringLiteral(
                "requestAnimationFrame(() => requestAnimationFrame(() => document.title = "
                "'shown'))"));
    });
    QObject::connect(view.get(), &QWebEngineView::titleChanged,
        [&](const QString& title) { painted = painted || title == QLatin1String("shown"); });
    sampler.reset();
    const double cpu = processmemory::treeCpuSeconds();
    timer.start();
    view->load(QUrl::fromLocalFile(path));
    // The first rows show before the page has loaded: a look at the top of the view every
    // 50 ms until some cell's colour is there.
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        const QImage top = view->grab(QRect(8, 8, 100, 20)).toImage();
        for (int y = 0; y < top.height() && shown.firstRowsSeconds < 0; ++y)
            for (int x = 0; x < top.width(); ++x)
                // A cell's colour, not the grey of an empty view.
                if (const QRgb pixel = top.pixel(x, y);
                    std::max({ qRed(pixel), qGreen(pixel), qBlue(pixel) })
                        - std::min({ qRed(pixel), qGreen(pixel), qBlue(pixel) })
                    > 32) {
                    shown.firstRowsSeconds = timer.nsecsElapsed() / 1e9;
                    look.stop();
                    break;
                }
    });
    look.start(50);
    if (waitFor([&] { return painted; }, timeout))
        shown.seconds = timer.nsecsElapsed() / 1e9;
    look.stop();
    shown.cpuSeconds = processmemory::treeCpuSeconds() - cpu;
    shown.peakMiB = sampler.peakMiB();
    view.reset();
    // Let the page's process go before the next one.
    QTimer::singleShot(1500, [] { QApplication::exit(); });
    QApplication::exec();
    return shown;
}

} // namespace

int main(int argc, char* argv[])
{
    prepareOffscreenWindow();
    QApplication application(argc, argv);
    const int repeats = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const QString modes = argc > 2 ? QString::fromLatin1(argv[2]) : QStringLiteral("both");
    std::vector<std::pair<int, int>> grids;
    for (int i = 3; i < argc; ++i) {
        int width = 0, height = 0;
        if (std::sscanf(argv[i], "%dx%d", &width, &height) == 2)
            grids.emplace_back(width, height);
    }
    if (grids.empty())
        grids
            = { { 150, 60 }, { 300, 150 }, { 400, 200 }, { 480, 270 }, { 560, 315 }, { 640, 360 } };
    const QString folder = QStringLiteral("/tmp/mosaiq-threshold");
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/temp.html");
    processmemory::PeakSampler sampler;

    std::printf("web view 705 x 465, font %s; %d tries each, best and worst\n",
        qPrintable(pageFamily()), repeats);
    std::printf("%-7s %-11s %9s %8s | %-17s | %-17s | %-17s | %-17s | %-21s | %s\n", "mode", "grid",
        "cells", "page MB", "first rows, s", "loaded, s", "loaded + shown, s", "processor, s",
        "peak, all proc., MiB", "empty view, MiB");
    for (const CellMode mode : { CellMode::Letter, CellMode::Square }) {
        const bool square = mode == CellMode::Square;
        if (modes != QLatin1String("both") && modes != QLatin1String(square ? "square" : "letter"))
            continue;
        for (const auto& [width, height] : grids) {
            BenchPageOptions options;
            options.mode = mode;
            writeBenchPage(path.toStdString(), width, height, options);
            const double megabytes = double(QFileInfo(path).size()) / 1e6;
            std::vector<Shown> tries;
            for (int i = 0; i < repeats; ++i)
                tries.push_back(showPage(path, sampler, 60000));
            auto [fast, slow] = std::minmax_element(tries.begin(), tries.end(),
                [](const Shown& a, const Shown& b) { return a.seconds < b.seconds; });
            auto [low, high] = std::minmax_element(tries.begin(), tries.end(),
                [](const Shown& a, const Shown& b) { return a.peakMiB < b.peakMiB; });
            auto [early, late] = std::minmax_element(tries.begin(), tries.end(),
                [](const Shown& a, const Shown& b) { return a.loadedSeconds < b.loadedSeconds; });
            auto [cheap, dear] = std::minmax_element(tries.begin(), tries.end(),
                [](const Shown& a, const Shown& b) { return a.cpuSeconds < b.cpuSeconds; });
            auto [soon, later] = std::minmax_element(
                tries.begin(), tries.end(), [](const Shown& a, const Shown& b) {
                    return a.firstRowsSeconds < b.firstRowsSeconds;
                });
            std::printf("%-7s %5d x %-4d %9lld %8.1f | %6.2f to %6.2f | %6.2f to %6.2f | %6.2f to "
                        "%6.2f | %6.2f to %6.2f | %8.0f to %8.0f | %.0f\n",
                square ? "square" : "letter", width, height, static_cast<long long>(width) * height,
                megabytes, soon->firstRowsSeconds, later->firstRowsSeconds, early->loadedSeconds,
                late->loadedSeconds, fast->seconds, slow->seconds, cheap->cpuSeconds,
                dear->cpuSeconds, low->peakMiB, high->peakMiB, tries.front().baseMiB);
            std::fflush(stdout);
            if (fast->seconds < 0)
                break; // larger grids would not do better
        }
    }
    std::printf("(-1: not shown within 60 s)\n");
    return 0;
}
