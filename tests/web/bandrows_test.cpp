// Which picture rows a band of a shared run samples, told from the settings alone: the page reads
// back only those before the band's first step, so they must be the very rows the started run
// samples.
#include "web/bandrows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

using namespace mosaiq;

namespace {

WebSettings sized(std::string columns, std::string rows)
{
    WebSettings settings;
    settings.columns = std::move(columns);
    settings.rows = std::move(rows);
    return settings;
}

// The rows the band samples once its run is started and shared, as the module reported them
// when the page's worker started a run only to ask.
std::pair<std::int64_t, std::int64_t> startedBand(
    const WebSettings& settings, int width, int height, int part, int parts, double firstShare)
{
    auto pixels = std::make_shared<std::uint32_t[]>(std::size_t(width) * std::size_t(height));
    WebConversion conversion(
        settings, std::move(pixels), width, height, [](WebChannel, const char*, std::size_t) {});
    EXPECT_EQ(conversion.start(), WebStep::Running) << conversion.message();
    EXPECT_TRUE(conversion.share(part, parts, firstShare));
    return conversion.sampledRows();
}

// The page, HTML and blog code of band part of parts of a run on pixels.
std::string bandOutputs(const WebSettings& settings, std::vector<std::uint32_t> pixels, int width,
    int height, int part, int parts)
{
    std::shared_ptr<std::uint32_t[]> held(new std::uint32_t[pixels.size()]);
    std::copy(pixels.begin(), pixels.end(), held.get());
    std::string bytes;
    WebConversion conversion(settings, std::move(held), width, height,
        [&bytes](WebChannel channel, const char* chunk, std::size_t size) {
            if (channel != WebChannel::Cells)
                bytes += std::to_string(int(channel)) + ':' + std::string(chunk, size);
        });
    EXPECT_EQ(conversion.start(), WebStep::Running) << conversion.message();
    EXPECT_TRUE(conversion.share(part, parts, FirstBandShare));
    WebStep step = WebStep::Running;
    while (step == WebStep::Running)
        step = conversion.step(1);
    EXPECT_EQ(step, WebStep::Finished);
    return bytes;
}

} // namespace

// Cells chosen by shape match the whole block of pixels each covers, which reaches past the rows
// a sample reads: a band made with only the rows it was told, the others garbage as in a
// worker that has not read them, gives the band made from the whole picture.
TEST(BandRows, aBandOfShapesHasEveryRowOfItsCellsBlocks)
{
    const int width = 40, height = 61;
    std::vector<std::uint32_t> pixels(std::size_t(width * height));
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0xFF000000u | std::uint32_t(i * 2654435761u >> 8);
    WebSettings ascii = sized("20", "7");
    ascii.shapes = ShapeSet::Ascii;
    WebSettings braille = sized("13", "9,5");
    braille.shapes = ShapeSet::Braille;
    braille.foregroundOnly = true;
    for (const WebSettings& settings : { ascii, braille }) {
        for (const int part : { 0, 1 }) {
            const BandRows band = bandRows(settings, width, height, part, 2);
            ASSERT_TRUE(band.banded);
            std::vector<std::uint32_t> told = pixels;
            for (int y = 0; y < height; ++y)
                if (y < band.first || y > band.last)
                    std::fill_n(told.begin() + y * width, width, 0xFF000000u | std::uint32_t(y));
            EXPECT_EQ(bandOutputs(settings, told, width, height, part, 2),
                bandOutputs(settings, pixels, width, height, part, 2))
                << *settings.rows << " rows, band " << part << ": rows " << band.first << " to "
                << band.last;
        }
    }
}

TEST(BandRows, areTheRowsTheStartedBandSamples)
{
    // Grids finer and coarser than the picture, fractional divisors, French decimals, a first
    // band's share given or even bands.
    for (const auto& [columns, rows, height] :
        { std::tuple { "40", "30", 30 }, { "40", "90", 30 }, { "7", "5", 200 }, { "12", "3,5", 17 },
            { "12", " 29.75 ", 100 }, { "3", "1e2", 57 } }) {
        const WebSettings settings = sized(columns, rows);
        for (const auto& [parts, firstShare] :
            { std::pair { 2, FirstBandShare }, { 2, 0.0 }, { 3, 0.6 } }) {
            for (int part = 0; part < parts; ++part) {
                const BandRows band = bandRows(settings, 40, height, part, parts, firstShare);
                ASSERT_TRUE(band.banded) << rows;
                EXPECT_EQ(std::pair(band.first, band.last),
                    startedBand(settings, 40, height, part, parts, firstShare))
                    << rows << " rows of a picture " << height << " high, band " << part << " of "
                    << parts;
            }
        }
    }
}

TEST(BandRows, aRunThatNeedsItsWholeRowsTakesTheWholePicture)
{
    WebSettings budget = sized("40", "30");
    budget.fitLimit = 5000;
    WebSettings merged = sized("40", "30");
    merged.mergeTolerance = 0;
    WebSettings forum = sized("40", "30");
    forum.dialect = "phpbb";
    for (const WebSettings& settings :
        { budget, merged, forum, sized("40", "1"), sized("abc", "30"), sized("40", "0") }) {
        const BandRows band = bandRows(settings, 40, 30, 1, 2);
        EXPECT_FALSE(band.banded) << *settings.columns << " x " << *settings.rows;
        EXPECT_EQ(band.first, 0);
        EXPECT_EQ(band.last, 29);
    }
    EXPECT_LT(bandRows(sized("40", "30"), 0, 0, 0, 2).last, 0);
    EXPECT_EQ(bandRows(sized("1.5", "2000"), 40, 30, 0, 2).cells, 2000);
}

TEST(BandRows, onlyGridsOfTheSharedRangeAreShared)
{
    EXPECT_EQ(sharingParts(SharedFromCells - 1, 2), 1);
    EXPECT_EQ(sharingParts(SharedFromCells, 2), 2);
    EXPECT_EQ(sharingParts(SharedToCells, 3), 3);
    EXPECT_EQ(sharingParts(SharedToCells + 1, 2), 1);
    EXPECT_EQ(sharingParts(1920 * 1080, 1), 1);
    // The shares of the rows make the whole run.
    for (const int parts : { 1, 2, 3 }) {
        double sum = 0;
        for (int part = 0; part < parts; ++part)
            sum += rowShare(part, parts);
        EXPECT_DOUBLE_EQ(sum, 1) << parts;
    }
}
