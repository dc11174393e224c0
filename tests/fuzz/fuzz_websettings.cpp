// Any settings the page's script may hand the browser's bridge, on a small random picture,
// shared between bands or not, with the script's memory running out or not: the run is started,
// stepped and ended without a fault, and a refused run says why.
#include "convert/numbertext.h"
#include "output/codes/forumdialect.h"
#include "support/fuzzbytes.h"
#include "web/webconversion.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace mosaiq;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzBytes in { data, size };
    const int width = in.next() % 33, height = in.next() % 33;
    auto pixels = std::make_shared<std::uint32_t[]>(std::size_t(width) * std::size_t(height) + 1);
    for (int i = 0; i < width * height; ++i)
        pixels[std::size_t(i)] = 0xFF000000u | std::uint32_t(in.next()) << 16
            | std::uint32_t(in.next()) << 8 | in.next();

    WebSettings s;
    const std::string columns = in.text(8), rows = in.text(8);
    // A grid the fuzzer can run many of in a second.
    if (loopCount(numericValue(columns)) > 200 || loopCount(numericValue(rows)) > 200)
        return 0;
    s.columns = columns;
    s.rows = rows;
    s.treatment = ColourTreatment(in.next() % 5);
    s.mode = in.next() & 1 ? CellMode::Square : CellMode::Letter;
    s.glyphSource = in.next() & 1 ? GlyphSource::Random : GlyphSource::Defined;
    s.characters = in.text(12);
    s.style = { bool(in.next() & 1), bool(in.next() & 1), bool(in.next() & 1) };
    s.background = ColourValue(in.next() | in.next() << 8 | in.next() << 16);
    const auto& dialects = forumDialects();
    s.dialect
        = in.next() % 8 == 0 ? in.text(8) : std::string(dialects[in.next() % dialects.size()].name);
    if (in.next() & 1)
        s.mergeTolerance = double(in.next()) / 2.5;
    if (in.next() % 4 == 0)
        s.fitLimit = std::size_t(in.next()) * 40 + 1;
    s.split = in.next() & 1;
    const int parts = 1 + in.next() % 3;
    const int part = in.next() % parts;
    const int slabs = in.next() % 4;
    const std::int64_t rowsPerStep = 1 + in.next() % 9;

    std::vector<std::unique_ptr<char[]>> given;
    WebConversion conversion(
        s, std::move(pixels), width, height, [](WebChannel, std::string_view) {},
        slabs == 0 ? ChunkStream::Room {} : [&given, slabs](WebChannel) -> char* {
            if (int(given.size()) >= slabs)
                return nullptr;
            given.push_back(std::make_unique<char[]>(ChunkStream::RoomBytes));
            return given.back().get();
        });
    WebStep step = conversion.start();
    if (step == WebStep::Refused) {
        check(!conversion.message().empty());
        return 0;
    }
    if (parts > 1)
        conversion.share(part, parts);
    const auto [first, last] = conversion.sampledRows();
    check(width * height == 0 || last < first || (first >= 0 && last < height));
    while (step == WebStep::Running)
        step = conversion.step(rowsPerStep);
    check(step == WebStep::Finished || !conversion.message().empty());
    return 0;
}
