// Cells per second of the shape matcher on one core, on engine_bench's 1920 x 1080 picture, at
// one cell per pixel and at larger cells, beside square mode's row loop over the same grids; the
// mean error of the shortlist against fitting every glyph; and whole runs of 1920 x 1080 cells
// with shapes, on one thread and on every core, beside square mode, over that picture and over
// the same at 3840 x 2160.
#include "convert/rowloop.h"
#include "convert/shapematcher.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

using namespace mosaiq;

namespace {

constexpr int Width = 1920, Height = 1080;

// engine_bench's picture: gradients with noise in blue, so that no cell larger than a pixel is
// of one colour; scale 2 is the same drawn at 3840 x 2160.
std::vector<std::uint32_t> drawPhoto(int scale)
{
    const int width = Width * scale, height = Height * scale;
    std::vector<std::uint32_t> words(std::size_t(width) * std::size_t(height));
    std::mt19937 random(7);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            words[std::size_t(y) * std::size_t(width) + std::size_t(x)] = 0xFF000000u
                | ((x * 255 / width) << 16) | ((y * 255 / height) << 8) | (random() & 0xFF);
    return words;
}

const std::vector<std::uint32_t>& photo(int scale = 1)
{
    if (scale == 2) {
        static const std::vector<std::uint32_t> large = drawPhoto(2);
        return large;
    }
    static const std::vector<std::uint32_t> pixels = drawPhoto(1);
    return pixels;
}

const ShapeSet Sets[] = { ShapeSet::Ascii, ShapeSet::Blocks, ShapeSet::Braille, ShapeSet::All };
const char* const SetNames[] = { "ascii", "blocks", "braille", "all" };

// Args: cell width and height in pixels, the set (index in Sets), the shortlist.
void shapes(benchmark::State& state)
{
    const int cellWidth = int(state.range(0)), cellHeight = int(state.range(1));
    const int columns = Width / cellWidth, rows = Height / cellHeight;
    ShapeMatcher matcher(Sets[state.range(2)], {}, int(state.range(3)));
    double error = 0;
    for (auto _ : state) {
        error = 0;
        for (int row = 0; row < rows; ++row) {
            const int top = row * Height / rows, bottom = (row + 1) * Height / rows;
            for (int column = 0; column < columns; ++column) {
                const int left = column * Width / columns, right = (column + 1) * Width / columns;
                const ShapeChoice choice
                    = matcher.match(photo().data() + std::size_t(top) * Width + std::size_t(left),
                        right - left, bottom - top, Width);
                benchmark::DoNotOptimize(choice);
                error += choice.error;
            }
        }
    }
    state.SetLabel(SetNames[state.range(2)]);
    state.SetItemsProcessed(state.iterations() * std::int64_t(columns) * rows);
    state.counters["mean_error"] = error / (double(columns) * rows);
}

struct CountingPage : PageSink {
    bool writeLine(std::string_view line) override
    {
        benchmark::DoNotOptimize(line.data());
        return true;
    }
};

// Today's square mode over the same grid. Args: cell width and height in pixels.
void squareMode(benchmark::State& state)
{
    const double columns = double(Width / state.range(0)), rows = double(Height / state.range(1));
    RandomGlyphs random;
    for (auto _ : state) {
        RunStart start;
        start.rows = rows;
        RowInput input;
        input.columns = columns;
        input.rows = rows;
        input.mode = CellMode::Square;
        input.definedCharacters = U"8";
        input.picture = { photo().data(), Width, Height, Width };
        FixedSettings settings(input, {});
        CountingPage page;
        RowLoop loop(start, settings, page, random);
        loop.runToEnd();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(columns) * std::int64_t(rows));
}

// A whole run of 1920 x 1080 cells through the row loop, page written, as mosaiq-cli makes it:
// square mode, or cells chosen by shape (ShapedRows) on a number of threads. Args: the picture's
// scale (1: 1920 x 1080, 2: 3840 x 2160), shapes (0: square mode, else the set's index + 1),
// threads (0: one per core).
void wholeRun(benchmark::State& state)
{
    const int scale = int(state.range(0));
    const std::int64_t shapes = state.range(1);
    RandomGlyphs random;
    for (auto _ : state) {
        RunStart start;
        start.rows = Height;
        if (shapes > 0) {
            start.shapes.emplace();
            start.shapes->set = Sets[shapes - 1];
            start.shapes->threads = int(state.range(2));
        }
        RowInput input;
        input.columns = Width;
        input.rows = Height;
        input.mode = shapes > 0 ? CellMode::Letter : CellMode::Square;
        input.definedCharacters = U"8";
        input.picture = { photo(scale).data(), Width * scale, Height * scale, Width * scale };
        FixedSettings settings(input, {});
        CountingPage page;
        RowLoop loop(start, settings, page, random);
        loop.runToEnd();
    }
    state.SetLabel(shapes > 0 ? SetNames[shapes - 1] : "square mode");
    state.SetItemsProcessed(state.iterations() * std::int64_t(Width) * Height);
}

} // namespace

BENCHMARK(wholeRun)
    ->Args({ 1, 0, 0 })
    ->Args({ 1, 4, 1 })
    ->Args({ 1, 4, 0 })
    ->Args({ 2, 0, 0 })
    ->Args({ 2, 4, 1 })
    ->Args({ 2, 4, 0 })
    ->Args({ 2, 1, 0 })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(squareMode)
    ->Args({ 1, 1 })
    ->Args({ 2, 4 })
    ->Args({ 8, 16 })
    ->Unit(benchmark::kMillisecond);
BENCHMARK(shapes)
    ->Args({ 1, 1, 3, ShapeMatcher::DefaultShortlist })
    ->Args({ 2, 4, 3, ShapeMatcher::DefaultShortlist })
    ->Args({ 8, 16, 0, ShapeMatcher::DefaultShortlist })
    ->Args({ 8, 16, 1, ShapeMatcher::DefaultShortlist })
    ->Args({ 8, 16, 2, ShapeMatcher::DefaultShortlist })
    ->Args({ 8, 16, 3, ShapeMatcher::DefaultShortlist })
    ->Args({ 8, 16, 3, 1000 }) // every glyph fitted: the shortlist's cost in error
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
