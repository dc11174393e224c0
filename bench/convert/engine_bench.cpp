// Cells per second of the engine alone, on one core: a 1920 x 1080 picture at one cell per
// pixel, in letter and square mode, plus the blog-code translation of the result.
#include "convert/rowloop.h"
#include "output/codes/blogcode.h"
#include "output/codes/codecollector.h"

#include <benchmark/benchmark.h>

#include <optional>
#include <random>
#include <vector>

using namespace mosaiq;

namespace {

constexpr int Width = 1920, Height = 1080;

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

// The page goes nowhere: the engine's own cost, row loop included.
struct CountingPage : PageSink {
    std::size_t bytes = 0;
    bool writeLine(std::string_view line) override
    {
        bytes += line.size();
        benchmark::DoNotOptimize(line.data());
        return true;
    }
};

void runPicture(benchmark::State& state, CellMode mode, GlyphSource source,
    ColourTreatment treatment, std::optional<double> merge = {})
{
    RandomGlyphs random;
    std::size_t bytes = 0;
    for (auto _ : state) {
        RunStart start;
        start.rows = Height;
        start.glyphSource = source;
        start.treatment = treatment;
        start.mergeTolerance = merge;
        RowInput input;
        input.columns = Width;
        input.rows = Height;
        input.mode = mode;
        input.definedCharacters = U"o";
        input.picture = { photo().data(), Width, Height, Width };
        FixedSettings settings(input, {});
        CountingPage page;
        RowLoop loop(start, settings, page, random);
        loop.runToEnd();
        bytes = page.bytes;
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(Width) * Height);
    state.counters["page_MB"] = double(bytes) / 1e6;
}

void letterMode(benchmark::State& state)
{
    runPicture(state, CellMode::Letter, GlyphSource::Defined, ColourTreatment::SourceColours);
}
void squareMode(benchmark::State& state)
{
    runPicture(state, CellMode::Square, GlyphSource::Defined, ColourTreatment::SourceColours);
}
void letterRandomGrey(benchmark::State& state)
{
    runPicture(state, CellMode::Letter, GlyphSource::Random, ColourTreatment::BlackAndWhite);
}

// mosaiq-cli --merge: neighbouring cells within a CIEDE2000 tolerance share one tag.
void letterMerged(benchmark::State& state)
{
    runPicture(state, CellMode::Letter, GlyphSource::Defined, ColourTreatment::SourceColours,
        double(state.range(0)));
}

void blogTranslation(benchmark::State& state)
{
    RunStart start;
    start.rows = Height;
    FixedSettings settings(
        { Width, Height, CellMode::Letter, U"o", { photo().data(), Width, Height, Width } }, {});
    CountingPage page;
    RandomGlyphs random;
    RowLoop loop(start, settings, page, random);
    CodeCollector codes(loop.rowCount(), true, false);
    loop.addSink(codes);
    loop.runToEnd();
    const std::string_view rows = codes.htmlRows();
    for (auto _ : state)
        benchmark::DoNotOptimize(HtmlToBlogCode(rows));
    state.SetBytesProcessed(state.iterations() * std::int64_t(rows.size()));
}

} // namespace

BENCHMARK(letterMode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(squareMode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(letterRandomGrey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(letterMerged)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(blogTranslation)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
