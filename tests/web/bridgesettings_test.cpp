// The settings as the page's script writes them into the module: every field reaches the
// engine's settings, whatever numbers the script writes, by a layout that names every byte.
#include "web/bridgesettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>

using namespace mosaiq;

TEST(BridgeSettings, everyFieldReachesTheEngine)
{
    WebSettings chosen;
    chosen.columns = "12,5";
    chosen.rows = "7";
    chosen.treatment = ColourTreatment::BlackAndWhite;
    chosen.mode = CellMode::Square;
    chosen.glyphSource = GlyphSource::Random;
    chosen.characters = "é€";
    chosen.style = { true, true, false };
    chosen.background = 0x123456;
    chosen.dialect = "phpbb";
    chosen.mergeTolerance = 0;
    chosen.fitLimit = 9000;
    chosen.split = true;
    chosen.shapes = ShapeSet::Braille;
    chosen.foregroundOnly = true;
    chosen.readerBackground = 0x0A0B0C;
    chosen.readerBackgroundGiven = true;
    chosen.transparentBackground = true;
    const WebSettings read = webSettings(bridgeSettingsOf(chosen));
    EXPECT_EQ(std::tie(read.columns, read.rows, read.characters, read.dialect),
        std::tie(chosen.columns, chosen.rows, chosen.characters, chosen.dialect));
    EXPECT_EQ(std::tuple(read.treatment, read.mode, read.glyphSource, read.background, read.split),
        std::tuple(
            chosen.treatment, chosen.mode, chosen.glyphSource, chosen.background, chosen.split));
    EXPECT_EQ(std::tuple(read.style.bold, read.style.italic, read.style.centred),
        std::tuple(true, true, false));
    EXPECT_EQ(read.mergeTolerance, chosen.mergeTolerance);
    EXPECT_EQ(read.fitLimit, chosen.fitLimit);
    EXPECT_EQ(std::tuple(read.shapes, read.foregroundOnly, read.readerBackground,
                  read.readerBackgroundGiven),
        std::tuple(chosen.shapes, true, chosen.readerBackground, true));
    EXPECT_TRUE(read.transparentBackground);
    // Left as the defaults are, the reader's background is not given: a run without shapes
    // would refuse it.
    const WebSettings plain = webSettings(bridgeSettingsOf(WebSettings {}));
    EXPECT_EQ(
        std::tuple(plain.shapes, plain.readerBackgroundGiven), std::tuple(std::nullopt, false));
}

TEST(BridgeSettings, numbersOutOfRangeAreTakenAsTheNearestOrAsNone)
{
    // The struct points into the settings' texts, which must outlive it.
    const WebSettings defaults;
    BridgeSettings given = bridgeSettingsOf(defaults);
    given.columns = nullptr;
    given.treatment = 9;
    given.background = -1;
    given.merge = std::numeric_limits<double>::quiet_NaN();
    given.fit = 1e300;
    WebSettings read = webSettings(given);
    EXPECT_FALSE(read.columns); // not given: the picture's, or what keeps its proportions
    EXPECT_EQ(read.treatment, ColourTreatment::BlackAndWhite);
    EXPECT_EQ(read.background, 0xFFFFFF);
    EXPECT_FALSE(read.mergeTolerance);
    EXPECT_TRUE(read.fitLimit);
    given.treatment = -3;
    given.fit = 0.5;
    read = webSettings(given);
    EXPECT_EQ(read.treatment, ColourTreatment::SourceColours);
    EXPECT_FALSE(read.fitLimit);
    // Sets mosaiq-cli cannot name are all of them; a colour past white is white.
    for (const std::int32_t shapes : { 3, 8, -1, 0x101 }) {
        given.shapes = shapes;
        EXPECT_EQ(webSettings(given).shapes, ShapeSet::All) << shapes;
    }
    given.readerBackground = 1e12;
    EXPECT_EQ(webSettings(given).readerBackground, 0xFFFFFF);
    given.readerBackground = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(webSettings(given).readerBackgroundGiven);
    // Transparent cells are asked by any number but 0, and not by what is no number.
    for (const double transparent : { 0.0, -2.0, std::numeric_limits<double>::quiet_NaN() }) {
        given.transparent = transparent;
        EXPECT_EQ(webSettings(given).transparentBackground, transparent == -2.0) << transparent;
    }
}

// The script writes by the layout alone: every field of the struct in it, none overlapping.
TEST(BridgeSettings, theLayoutNamesEveryByteOfTheStruct)
{
    const std::string layout = bridgeSettingsLayout();
    const std::regex field("\"(\\w+)\": \\[\"(text|int|number)\", (\\d+)\\]");
    std::size_t covered = 0, fields = 0, end = 0;
    for (auto it = std::sregex_iterator(layout.begin(), layout.end(), field);
         it != std::sregex_iterator(); ++it, ++fields) {
        const std::string kind = (*it)[2];
        const std::size_t offset = std::stoul((*it)[3]);
        const std::size_t size = kind == "text" ? sizeof(const char*)
            : kind == "int"                     ? sizeof(std::int32_t)
                                                : 8;
        EXPECT_GE(offset, end) << (*it)[1];
        end = offset + size;
        covered += size;
    }
    EXPECT_EQ(fields, 18u);
    EXPECT_EQ(covered, sizeof(BridgeSettings));
    EXPECT_NE(
        layout.find("\"bytes\": " + std::to_string(sizeof(BridgeSettings))), std::string::npos);
}
