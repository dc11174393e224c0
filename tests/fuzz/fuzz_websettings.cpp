// Any settings the page's script may write into the browser's bridge (BridgeSettings, any
// numbers, texts or none), on a small random picture, with an opacity or not, shared between bands
// or not, with the script's memory running out or not: the run is started, stepped and ended
// without a fault, a refused run says why, and a shared band reads the rows that bandRows() told
// beforehand.
#include "convert/numbertext.h"
#include "output/codes/forumdialect.h"
#include "support/fuzzbytes.h"
#include "web/bandrows.h"
#include "web/bridgesettings.h"
#include "web/webconversion.h"

#include <cstdlib>
#include <cstring>
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
    std::shared_ptr<std::uint8_t[]> opacity;
    if (in.next() % 2 == 0) {
        opacity = std::make_shared<std::uint8_t[]>(std::size_t(width) * std::size_t(height) + 1);
        for (int i = 0; i < width * height; ++i)
            opacity[std::size_t(i)] = in.next();
    }

    // The texts the script may write, or leave to the defaults (null).
    const std::string columns = in.text(8), rows = in.text(8), characters = in.text(12);
    const auto& dialects = forumDialects();
    const std::string dialect
        = in.next() % 8 == 0 ? in.text(8) : std::string(dialects[in.next() % dialects.size()].name);
    const auto textOrNone
        = [&in](const std::string& text) { return in.next() % 16 == 0 ? nullptr : text.c_str(); };
    // A number of the struct: mostly small, sometimes any bits at all.
    const auto number = [&in](int small) {
        if (in.next() % 8 != 0)
            return std::int32_t(in.next() % small);
        std::int32_t any;
        const std::uint8_t bytes[4] { in.next(), in.next(), in.next(), in.next() };
        std::memcpy(&any, bytes, sizeof any);
        return any;
    };
    // The struct points into the settings' texts, which must outlive it.
    const WebSettings defaults;
    BridgeSettings written = bridgeSettingsOf(defaults);
    written.columns = textOrNone(columns);
    written.rows = textOrNone(rows);
    written.characters = textOrNone(characters);
    written.dialect = textOrNone(dialect);
    written.treatment = number(6);
    written.square = number(2);
    written.random = number(2);
    written.bold = number(2);
    written.italic = number(2);
    written.centred = number(2);
    written.background = number(256) | number(256) << 8 | number(256) << 16;
    written.split = number(2);
    written.merge = in.next() & 1 ? double(in.next()) / 2.5 - 10 : -1;
    written.fit = in.next() % 4 == 0 ? double(in.next()) * 40 + double(in.next() % 3) - 1 : 0;
    written.shapes = in.next() % 2 == 0 ? number(9) : 0;
    written.foregroundOnly = number(2);
    written.readerBackground = in.next() % 4 == 0 ? double(number(256) | number(256) << 16) : -1;
    written.transparent = in.next() % 2 == 0 ? double(number(3)) : 0;
    const WebSettings s = webSettings(written);
    // A grid the fuzzer can run many of in a second.
    if (loopCount(numericValue(columns)) > 200 || loopCount(numericValue(rows)) > 200)
        return 0;
    const int parts = 1 + in.next() % 3;
    const int part = in.next() % parts;
    const int slabs = in.next() % 4;
    const std::int64_t rowsPerStep = 1 + in.next() % 9;

    std::vector<std::unique_ptr<char[]>> given;
    WebConversion conversion(
        s, std::move(pixels), width, height, [](WebChannel, const char*, std::size_t) {},
        slabs == 0 ? ChunkStream::Room {} : [&given, slabs](WebChannel) -> char* {
            if (int(given.size()) >= slabs)
                return nullptr;
            given.push_back(std::make_unique<char[]>(ChunkStream::RoomBytes));
            return given.back().get();
        },
        std::move(opacity));
    WebStep step = conversion.start();
    if (step == WebStep::Refused) {
        check(!conversion.message().empty());
        return 0;
    }
    const BandRows told = bandRows(s, width, height, part, parts);
    const bool shared = parts > 1 && conversion.share(part, parts, FirstBandShare);
    check(width * height == 0 || shared == (parts > 1 && told.banded));
    const auto [first, last] = conversion.sampledRows();
    check(width * height == 0 || last < first || (first >= 0 && last < height));
    check(!shared || (first == told.first && last == told.last));
    while (step == WebStep::Running)
        step = conversion.step(rowsPerStep);
    check(step == WebStep::Finished || !conversion.message().empty());
    return 0;
}
