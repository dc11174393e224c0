// Cells per second of the shape matcher on one core, on engine_bench's 1920 x 1080 picture, at
// one cell per pixel and at larger cells, beside square mode's row loop over the same grids; and
// the mean error of the shortlist against fitting every glyph.
#include "convert/rowloop.h"
#include "convert/shapematcher.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

using namespace mosaiq;

namespace {

constexpr int Width = 1920, Height = 1080;

// engine_bench's picture: gradients with noise in blue, so that no cell larger than a pixel is
// of one colour.
const std::vector<std::uint32_t>& photo()
{
    static const std::vector<std::uint32_t> pixels = [] {
        std::vector<std::uint32_t> words(std::size_t(Width) * Height);
        std::mt19937 random(7);
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                words[std::size_t(y) * Width + x] = 0xFF000000u | ((x * 255 / Width) << 16)
                    | ((y * 255 / Height) << 8) | (random() & 0xFF);
        return words;
    }();
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

} // namespace

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
