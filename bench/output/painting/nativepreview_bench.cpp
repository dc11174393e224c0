// What the native preview costs, piece by piece, on the pages of a 1920 x 1080 and a 4000 x 3000
// picture at one cell per pixel: keeping the record during a run (the row loop with and without
// it), making the layout when the page is shown, one frame of 705 x 445 pixels at 100 % at device
// pixel ratios 1 and 2, the whole page in the strips of mosaiq-cli --png, and averaging the cells
// for "fit".
#include "output/painting/pagepainter.h"
#include "support/benchpage.h"
#include "support/offscreen.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cmath>
#include <map>

using namespace mosaiq;

namespace {

std::shared_ptr<PageRecord> page(int width, int height, CellMode mode)
{
    static std::map<std::tuple<int, int, CellMode>, std::shared_ptr<PageRecord>> pages;
    auto& record = pages[{ width, height, mode }];
    if (!record) {
        BenchPageOptions options;
        options.mode = mode;
        record
            = writeBenchPage("/tmp/mosaiq-nativepreview-bench.html", width, height, options).record;
    }
    return record;
}

// The row loop over a picture's cells into a page file, with the record or without.
void rowLoop(benchmark::State& state, bool record)
{
    constexpr int Width = 1920, Height = 1080;
    std::vector<std::uint32_t> pixels(std::size_t(Width) * Height, 0xFF336699u);
    for (auto _ : state) {
        RunStart start;
        start.rows = Height;
        start.glyphSource = GlyphSource::Random;
        RowInput input;
        input.columns = Width;
        input.rows = Height;
        input.picture = { pixels.data(), Width, Height, Width };
        FixedSettings settings(input, {});
        PageFile file;
        file.open("/tmp/mosaiq-nativepreview-bench.html");
        RandomGlyphs random;
        RowLoop loop(start, settings, file, random);
        PageRecord kept(0, {});
        if (record)
            loop.addSink(kept);
        if (loop.runToEnd() != LoopStep::Finished)
            state.SkipWithError("the run did not finish");
        benchmark::DoNotOptimize(kept.cellCount());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(Width) * Height);
}

// Making the painter and its first frame, as when the page is shown; then measuring the whole
// page, which the preview does a slice at a time between events.
void showing(benchmark::State& state)
{
    const auto record = page(int(state.range(0)), int(state.range(1)), CellMode::Letter);
    QImage target(705, 445, QImage::Format_RGB32);
    for (auto _ : state) {
        PagePainter painter(record);
        painter.layout().measureRows(20000);
        painter.paintText(target, QPointF(0, 0), 1.0, 705);
    }
}

void layout(benchmark::State& state)
{
    const auto record = page(int(state.range(0)), int(state.range(1)), CellMode::Letter);
    for (auto _ : state) {
        PagePainter painter(record);
        benchmark::DoNotOptimize(
            painter.layout().measureRows(record->cellCount() + record->rowCount()));
    }
    state.SetItemsProcessed(state.iterations() * record->cellCount());
}

void frame(benchmark::State& state)
{
    const auto mode = state.range(2) ? CellMode::Square : CellMode::Letter;
    const auto record = page(int(state.range(0)), int(state.range(1)), mode);
    PagePainter painter(record);
    painter.layout().measureRows(record->cellCount() + record->rowCount());
    const double ratio = double(state.range(3));
    QImage target(int(705 * ratio), int(445 * ratio), QImage::Format_RGB32);
    target.setDevicePixelRatio(ratio);
    const QSizeF size = painter.textSize(1.0, 705);
    double y = 0;
    for (auto _ : state) {
        // Down the page a screen at a time, from its middle across.
        painter.paintText(target, QPointF(size.width() / 2, y), 1.0, 705);
        y = y + 445 < size.height() - 445 ? y + 445 : 0;
    }
}

// The whole page at 100 % as mosaiq-cli --png paints it on each of its threads: a strip of 118
// lines at a time (two shares of the 1080p page's PNG), only the lines glyphs reach.
void pngStrips(benchmark::State& state)
{
    const auto record = page(int(state.range(0)), int(state.range(1)), CellMode::Letter);
    PagePainter painter(record);
    painter.layout().measureRows(record->cellCount() + record->rowCount());
    painter.prepareText(1.0);
    const double viewWidth = painter.layout().pageWidth(0);
    const QSizeF size = painter.textSize(1.0, viewWidth);
    constexpr int Strip = 118;
    QImage target(int(std::ceil(size.width())), Strip, QImage::Format_RGB32);
    std::vector<char> inked;
    for (auto _ : state) {
        for (int top = 0; top < int(std::ceil(size.height())); top += Strip)
            painter.paintText(target, QPointF(0, top), 1.0, viewWidth, &inked);
        benchmark::DoNotOptimize(target.constBits()[0]);
    }
    state.SetItemsProcessed(state.iterations() * record->cellCount());
}

void average(benchmark::State& state)
{
    const auto record = page(int(state.range(0)), int(state.range(1)), CellMode::Letter);
    const PagePainter painter(record);
    const int factor = int(state.range(2));
    for (auto _ : state)
        benchmark::DoNotOptimize(painter.cellImage(factor).width());
    state.SetItemsProcessed(state.iterations() * record->cellCount());
}

} // namespace

BENCHMARK_CAPTURE(rowLoop, without_record, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(rowLoop, with_record, true)->Unit(benchmark::kMillisecond);
BENCHMARK(showing)->Args({ 1920, 1080 })->Args({ 4000, 3000 })->Unit(benchmark::kMillisecond);
BENCHMARK(layout)->Args({ 1920, 1080 })->Args({ 4000, 3000 })->Unit(benchmark::kMillisecond);
BENCHMARK(frame)
    ->ArgNames({ "w", "h", "square", "ratio" })
    ->Args({ 1920, 1080, 0, 1 })
    ->Args({ 1920, 1080, 0, 2 })
    ->Args({ 1920, 1080, 1, 1 })
    ->Args({ 4000, 3000, 0, 1 })
    ->Args({ 4000, 3000, 0, 2 })
    ->Unit(benchmark::kMillisecond);
BENCHMARK(pngStrips)->Args({ 1920, 1080 })->Unit(benchmark::kMillisecond);
BENCHMARK(average)->Args({ 1920, 1080, 2 })->Args({ 4000, 3000, 6 })->Unit(benchmark::kMillisecond);

int main(int argc, char* argv[])
{
    prepareOffscreenWindow();
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
