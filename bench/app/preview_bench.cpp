// The preview in the real window, driven offscreen as a user would, on photo-like JPEGs at one
// cell per pixel, letter and square: from "Créer" to the panes filled, then to the first frame of
// the preview (the native preview's first paint, or the web engine's first frame after its
// load); the peak memory of all the program's processes (window and web engine helpers, PSS)
// over the run and the preview; the longest time the window went without serving its events
// over the same span. Then the native preview's frames: scrolling at 100 %, zooming step by step,
// and "fit". Each (picture, mode) runs in a fresh window; run it with QT_SCALE_FACTOR=2 for a
// device pixel ratio of 2.
//
// preview_bench [tries] [WxH ...]   (default: 1 try, 1920x1080 and 4000x3000)
#include "app/frmhtml.h"
#include "output/widgets/nativepreview.h"
#include "output/widgets/previewpane.h"
#include "support/benchwindow.h"
#include "support/gapwatch.h"
#include "support/processmemory.h"

#include <QApplication>
#include <QCheckBox>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace mosaiq;

namespace {

struct RunFigures {
    double filledSeconds = 0;
    double shownAfterSeconds = -1; // -1: not shown within a minute
    double peakMiB = 0;
    double longestGapMs = 0;
    // Where the longest pause began.
    const char* longestGapIn = "";
    bool native = false;
};

RunFigures runAndShow(FrmHTML& window, bool square, processmemory::PeakSampler& sampler)
{
    QTest::mouseClick(control<QCheckBox>(window, square ? "Check2" : "Check1"), Qt::LeftButton);
    control<QTabWidget>(window, "SSTab1")->setCurrentIndex(0);
    QApplication::processEvents();
    auto* pane = control<PreviewPane>(window, "SSTab1Page0");

    RunFigures figures;
    GapWatch gaps;
    QElapsedTimer clock;
    qint64 filledAt = -1, shownAt = -1;
    auto shown = [&] {
        if (filledAt >= 0 && shownAt < 0)
            shownAt = clock.nsecsElapsed();
    };
    QObject context;
    QObject::connect(pane->native(), &NativePreview::framePainted, &context, shown);
    QObject::connect(pane->web(), &QWebEngineView::loadFinished, &context, [pane](bool ok) {
        // Two frames after the load the page has been drawn.
        if (ok)
            pane->web()->page()->runJavaScript(
                QStringLiteral("requestAnimationFrame(() => requestAnimationFrame(() => "
                               "document.title = 'shown'))"));
    });
    QObject::connect(
        pane->web(), &QWebEngineView::titleChanged, &context, [&](const QString& title) {
            if (title == QLatin1String("shown"))
                shown();
        });
    qint64 firstRowAt = -1, lastRowAt = -1;
    QObject::connect(&window, &FrmHTML::rowWritten, &context, [&](qint64 row) {
        lastRowAt = clock.nsecsElapsed();
        if (row == 1)
            firstRowAt = lastRowAt;
    });
    sampler.reset();
    QTimer::singleShot(0, &window, [&] {
        gaps.start();
        clock.start();
        control<QPushButton>(window, "CmdGo")->click();
        filledAt = clock.nsecsElapsed();
    });
    QElapsedTimer limit;
    limit.start();
    while (shownAt < 0 && limit.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    figures.longestGapMs = gaps.stopMs();
    // The window serves its events after each row; after the last one, the run ends, the codes
    // are wrapped, and the delivery hands the page to the preview, then fills the code panes.
    const qint64 start = gaps.longestStartNs();
    figures.longestGapIn = start < firstRowAt ? "from the click to the first row"
        : start < lastRowAt                   ? "between two rows"
        : start < filledAt ? "from the last row through the delivery (the preview's share apart)"
                           : "after the delivery";
    figures.peakMiB = sampler.peakMiB();
    figures.filledSeconds = filledAt / 1e9;
    if (shownAt >= 0)
        figures.shownAfterSeconds = (shownAt - filledAt) / 1e9;
    figures.native = pane->shown() == PreviewKind::Native;
    return figures;
}

double threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Frame times: wall clock, and the window thread's own processor time, which other programs
// on a busy machine do not lengthen.
struct Frames {
    std::vector<double> ms, cpuMs;
    double worst() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
    double worstCpu() const
    {
        return cpuMs.empty() ? 0 : *std::max_element(cpuMs.begin(), cpuMs.end());
    }
    double median() const
    {
        if (ms.empty())
            return 0;
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
    QString text() const
    {
        return QStringLiteral("median %1 ms, worst %2 ms (processor %3 ms)")
            .arg(median(), 0, 'f', 1)
            .arg(worst(), 0, 'f', 1)
            .arg(worstCpu(), 0, 'f', 1);
    }
};

// One user action on the preview and the frame that shows it. What the window had to do
// meanwhile is done first, as it would be between two turns of a wheel.
template <typename Action> void frame(Frames& frames, NativePreview& preview, Action action)
{
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    const double cpu = threadCpuMs();
    action();
    preview.viewport()->repaint();
    frames.cpuMs.push_back(threadCpuMs() - cpu);
    frames.ms.push_back(timer.nsecsElapsed() / 1e6);
}

void wheel(NativePreview& preview, int angle, Qt::KeyboardModifiers modifiers)
{
    const QPointF at(preview.viewport()->width() / 2.0, preview.viewport()->height() / 2.0);
    QWheelEvent event(at, preview.viewport()->mapToGlobal(at), {}, { 0, angle }, Qt::NoButton,
        modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(preview.viewport(), &event);
}

void measureFrames(NativePreview& preview)
{
    preview.resetZoom();
    Frames scroll, zoom, firstFit, fit;
    for (int i = 0; i < 40; ++i)
        frame(scroll, preview, [&] { wheel(preview, -120, Qt::NoModifier); });
    for (int i = 0; i < 40; ++i)
        frame(scroll, preview, [&] {
            QScrollBar* bar = preview.horizontalScrollBar();
            bar->setValue(bar->value() + bar->pageStep() / 3);
        });
    for (int i = 0; i < 8; ++i) // up to 400 %
        frame(zoom, preview, [&] { wheel(preview, 120, Qt::ControlModifier); });
    for (int i = 0; i < 14; ++i) // down to 25 %
        frame(zoom, preview, [&] { wheel(preview, -120, Qt::ControlModifier); });
    // The averaged cells for "fit" are made between events once the page is shown; a user
    // reaches for "fit" later than this.
    QElapsedTimer idle;
    idle.start();
    while (idle.elapsed() < 500)
        QApplication::processEvents();
    frame(firstFit, preview, [&] { preview.fitToPane(); });
    for (int i = 0; i < 10; ++i) {
        frame(fit, preview, [&] { preview.zoomIn(); });
        frame(fit, preview, [&] { preview.zoomOut(); });
        frame(fit, preview, [] {});
    }
    std::printf("  native preview frames, goal 16 ms (device pixel ratio %.0f):\n"
                "    scrolling at 100 %%: %s\n    zoom steps 25-400 %%: %s\n    first \"fit\": "
                "%s\n    in and out of \"fit\": %s\n",
        preview.devicePixelRatioF(), qPrintable(scroll.text()), qPrintable(zoom.text()),
        qPrintable(firstFit.text()), qPrintable(fit.text()));
}

} // namespace

int main(int argc, char* argv[])
{
    prepareOffscreenWindow();
    QApplication application(argc, argv);
    const int tries = argc > 1 ? std::max(1, atoi(argv[1])) : 1;
    std::vector<std::pair<int, int>> pictures;
    for (int i = 2; i < argc; ++i) {
        int width = 0, height = 0;
        if (std::sscanf(argv[i], "%dx%d", &width, &height) == 2)
            pictures.emplace_back(width, height);
    }
    if (pictures.empty())
        pictures = { { 1920, 1080 }, { 4000, 3000 } };
    processmemory::PeakSampler sampler;

    for (const auto& [width, height] : pictures) {
        const bool large = qint64(width) * height > 4'000'000;
        for (bool square : { false, true }) {
            for (int attempt = 0; attempt < tries; ++attempt) {
                BenchWindow bench(QStringLiteral("/tmp/mosaiq-preview-bench"), width, height);
                const RunFigures figures = runAndShow(*bench.window, square, sampler);
                std::printf(
                    "%d x %d, %s: panes filled %.2f s; preview (%s) shown %.0f ms "
                    "later (goal %.0f ms); peak of all processes %.0f MiB (goal %d); longest "
                    "pause of the event loop %.0f ms (goal 100), %s\n",
                    width, height, square ? "square" : "letter", figures.filledSeconds,
                    figures.native ? "native" : "web engine", figures.shownAfterSeconds * 1000,
                    large ? 2000.0 : 1000.0, figures.peakMiB, large ? 1536 : 1024,
                    figures.longestGapMs, figures.longestGapIn);
                if (!bench.desktop.messages.isEmpty())
                    std::printf("  messages: %s\n", qPrintable(bench.desktop.messages.join(" | ")));
                auto* pane = control<PreviewPane>(*bench.window, "SSTab1Page0");
                if (figures.native && attempt == 0) {
                    // The preview's own share of the delivery: the same page handed over again.
                    const auto record = pane->native()->painter()->shared();
                    QElapsedTimer timer;
                    timer.start();
                    pane->showPage(bench.window->previewFile(), record);
                    std::printf(
                        "  the preview's share of the delivery: %.1f ms (record %.0f MiB)\n",
                        timer.nsecsElapsed() / 1e6, double(record->memoryBytes()) / 1048576.0);
                    measureFrames(*pane->native());
                }
                std::fflush(stdout);
            }
        }
    }
    return 0;
}
