// Which picture rows a band of a shared run samples, told from the settings alone: the page reads
// back only those before the band's first step, so they must be the very rows the started run
// samples.
#include "web/bandrows.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

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
        settings, std::move(pixels), width, height, [](WebChannel, std::string_view) {});
    EXPECT_EQ(conversion.start(), WebStep::Running) << conversion.message();
    EXPECT_TRUE(conversion.share(part, parts, firstShare));
    return conversion.sampledRows();
}

} // namespace

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
