// The browser's run, natively: what its bands, its memory and its refusals must keep, whatever
// the module is built with. (The module itself, against mosaiq-cli, is tested under node.)
#include "web/webconversion.h"

#include "web/bandrows.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

using namespace mosaiq;

namespace {

// A picture of width x height whose every pixel differs from its neighbours.
std::shared_ptr<const std::uint32_t[]> pattern(int width, int height)
{
    auto pixels = std::make_shared<std::uint32_t[]>(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = 0xFF000000u
                | std::uint32_t((x * 37 + y * 11) % 256) << 16 | std::uint32_t((x * y) % 256) << 8
                | std::uint32_t((y * 53) % 256);
    return pixels;
}

WebSettings sized(std::string columns, std::string rows)
{
    WebSettings settings;
    settings.columns = std::move(columns);
    settings.rows = std::move(rows);
    return settings;
}

struct Outputs {
    std::array<std::string, 5> channels; // by WebChannel
    std::array<std::size_t, 5> counted {}; // bytes only counted (countOnly)
    std::vector<std::string> posts;
    WebStep step = WebStep::Running;
    std::string message;
};

// What the page's script takes of a run, into o.
ChunkStream::Output gatheredInto(Outputs& o)
{
    return [&o](WebChannel channel, const char* bytes, std::size_t size) {
        if (channel == WebChannel::Post)
            o.posts.emplace_back(bytes, size);
        else if (bytes)
            o.channels[std::size_t(channel)].append(bytes, size);
        else
            o.counted[std::size_t(channel)] += size;
    };
}

// One run to its end, a few rows a step, as the page's script makes it; band part of parts when
// parts > 1, on the picture's rows from held on only.
Outputs run(const WebSettings& settings, int width, int height, int part = 0, int parts = 1,
    double firstShare = 0, ChunkStream::Room room = {}, int held = 0)
{
    Outputs o;
    std::shared_ptr<const std::uint32_t[]> pixels = pattern(width, height);
    if (held > 0)
        pixels = std::shared_ptr<const std::uint32_t[]>(
            pixels, pixels.get() + std::ptrdiff_t(held) * width);
    WebConversion conversion(
        settings, std::move(pixels), width, height, gatheredInto(o), std::move(room), {}, held);
    o.step = conversion.start();
    if (o.step == WebStep::Running && parts > 1) {
        EXPECT_TRUE(conversion.share(part, parts, firstShare));
    }
    while (o.step == WebStep::Running)
        o.step = conversion.step(7);
    o.message = conversion.message();
    return o;
}

} // namespace

// The cells' glyph bytes too, those of characters the page writes as references (defined, or
// shapes of braille and blocks) included: each band gives them the same bytes.
TEST(WebConversion, bandsJoinedInOrderGiveTheBytesOfOneRun)
{
    WebSettings letters = sized("41", "29");
    letters.characters = "é€♥x";
    WebSettings shapes = sized("12", "9"); // blocks of several pixels, whose shapes differ
    shapes.shapes = ShapeSet::Braille;
    for (const WebSettings& settings : { letters, shapes }) {
        const Outputs whole = run(settings, 41, 29);
        ASSERT_EQ(whole.step, WebStep::Finished) << whole.message;
        for (const auto& [parts, firstShare] : { std::pair { 2, 0.0 }, { 2, 0.45 }, { 3, 0.6 } }) {
            std::array<std::string, 5> joined;
            for (int part = 0; part < parts; ++part) {
                // Held from the first row it reads, as a worker that decodes its own band; from
                // a row lower, refused rather than read outside its memory.
                const int held = int(bandRows(settings, 41, 29, part, parts, firstShare).first);
                if (held > 0) {
                    EXPECT_EQ(run(settings, 41, 29, part, parts, firstShare, {}, held + 1).step,
                        WebStep::Refused);
                }
                const Outputs band = run(settings, 41, 29, part, parts, firstShare, {}, held);
                ASSERT_EQ(band.step, WebStep::Finished);
                for (std::size_t channel = 0; channel < joined.size(); ++channel)
                    joined[channel] += band.channels[channel];
            }
            EXPECT_EQ(joined, whole.channels) << parts << " bands, the first " << firstShare
                                              << (settings.shapes ? ", shapes" : "");
        }
    }
}

// The page's script hands the module slabs to write into, and may run out of them midway.
TEST(WebConversion, outputsAreTheSameBytesWhateverMemoryTheScriptGives)
{
    WebSettings settings = sized("800", "400");
    settings.dialect = "smf";
    settings.split = true;
    const Outputs own = run(settings, 300, 200);
    ASSERT_EQ(own.step, WebStep::Finished) << own.message;
    ASSERT_GT(own.channels[0].size(), ChunkStream::RoomBytes);
    for (const int slabs : { 1, 2, 100 }) {
        std::vector<std::unique_ptr<char[]>> given;
        const Outputs slabbed
            = run(settings, 300, 200, 0, 1, 0, [&given, slabs](WebChannel) -> char* {
                  if (int(given.size()) >= slabs)
                      return nullptr;
                  given.push_back(std::make_unique<char[]>(ChunkStream::RoomBytes));
                  return given.back().get();
              });
        EXPECT_EQ(slabbed.channels, own.channels) << slabs << " slabs";
        EXPECT_EQ(slabbed.posts, own.posts);
    }
    EXPECT_GT(own.posts.size(), 1u);

    // Dropped by the script midway, a code's bytes are only counted from then on, in a room or
    // not: what came before is the run's start, the sizes add up to the run's, the posts whole.
    for (const bool rooms : { false, true }) {
        Outputs counted;
        std::vector<std::unique_ptr<char[]>> given;
        WebConversion conversion(settings, pattern(300, 200), 300, 200, gatheredInto(counted),
            rooms ? ChunkStream::Room([&given](WebChannel) {
                given.push_back(std::make_unique<char[]>(ChunkStream::RoomBytes));
                return given.back().get();
            })
                  : ChunkStream::Room {});
        WebStep step = conversion.start();
        for (int steps = 0; step == WebStep::Running; ++steps) {
            if (steps == 20) {
                conversion.countOnly(WebChannel::Page);
                conversion.countOnly(WebChannel::BlogCode);
                conversion.countOnly(WebChannel::Post);
            }
            step = conversion.step(3);
        }
        ASSERT_EQ(step, WebStep::Finished);
        EXPECT_EQ(counted.channels[1], own.channels[1]);
        EXPECT_EQ(counted.posts, own.posts);
        for (const WebChannel channel : { WebChannel::Page, WebChannel::BlogCode }) {
            const std::string& start = counted.channels[std::size_t(channel)];
            EXPECT_GT(counted.counted[std::size_t(channel)], 0u);
            EXPECT_EQ(start.size() + counted.counted[std::size_t(channel)],
                own.channels[std::size_t(channel)].size());
            EXPECT_EQ(own.channels[std::size_t(channel)].compare(0, start.size(), start), 0);
        }
    }
}

TEST(WebConversion, refusesInFrenchAndMakesNothing)
{
    Outputs o = run(sized("-5", "1"), 4, 4);
    EXPECT_EQ(o.step, WebStep::Refused);
    EXPECT_EQ(o.message.rfind("Dimensions invalides : la largeur « -5 »", 0), 0u) << o.message;
    WebSettings budget = sized("4", "4");
    budget.fitLimit = 3;
    o = run(budget, 4, 4);
    EXPECT_EQ(o.step, WebStep::Refused);
    EXPECT_FALSE(o.message.empty());
    for (const std::string& channel : o.channels)
        EXPECT_TRUE(channel.empty());
    // What mosaiq-cli refuses, the page does too, in the same words.
    WebSettings discord = sized("4", "4");
    discord.dialect = "discord";
    discord.characters = "a`";
    o = run(discord, 4, 4);
    EXPECT_EQ(o.step, WebStep::Refused);
    EXPECT_EQ(o.message,
        "Le caractère « ` » fermerait le bloc de code de Discord : retirez-le de --chars.");
}
