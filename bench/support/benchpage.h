#pragma once

#include "convert/rowloop.h"
#include "output/files/pagefile.h"
#include "output/preview/pagerecord.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A page as the program writes it, of columns x rows cells sampled from a photo-like picture
// of the same size (gradients and noise), written through the row loop to path with its record.
struct BenchPage {
    std::shared_ptr<mosaiq::PageRecord> record;
    bool written = false;
};

struct BenchPageOptions {
    mosaiq::CellMode mode = mosaiq::CellMode::Letter;
    mosaiq::StyleFlags style;
    mosaiq::ColourValue background = 0;
    std::u32string defined; // random capitals when empty
};

inline BenchPage writeBenchPage(
    const std::string& path, int columns, int rows, const BenchPageOptions& options = {})
{
    using namespace mosaiq;
    std::vector<std::uint32_t> pixels(std::size_t(columns) * std::size_t(rows));
    std::uint32_t seed = 12345;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            seed = seed * 1664525u + 1013904223u;
            pixels[std::size_t(y) * std::size_t(columns) + std::size_t(x)] = 0xFF000000u
                | std::uint32_t(x * 255 / std::max(columns, 1)) << 16
                | std::uint32_t(y * 255 / std::max(rows, 1)) << 8 | (((seed >> 24) & 0x3F) + 96);
        }
    RunStart start;
    start.rows = rows;
    start.background = options.background;
    start.style = options.style;
    start.glyphSource = options.defined.empty() ? GlyphSource::Random : GlyphSource::Defined;
    RowInput input;
    input.columns = columns;
    input.rows = rows;
    input.mode = options.mode;
    input.definedCharacters = options.defined;
    input.picture = { pixels.data(), columns, rows, columns };
    FixedSettings settings(input, options.style);
    PageFile file;
    BenchPage page;
    page.record = std::make_shared<PageRecord>(options.background, options.style);
    if (!file.open(path))
        return page;
    RandomGlyphs random;
    RowLoop loop(start, settings, file, random);
    loop.addSink(*page.record);
    if (loop.runToEnd() == LoopStep::Finished) {
        page.record->setComplete();
        page.written = file.close();
    }
    return page;
}
