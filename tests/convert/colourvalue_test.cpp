#include "convert/colourvalue.h"

#include <gtest/gtest.h>

using namespace mosaiq;

struct RgbCase {
    ColourValue value;
    int red, green, blue;
    const char* web;
};

void PrintTo(const RgbCase& c, std::ostream* out)
{
    *out << c.value;
}

class ColourValueTest : public testing::TestWithParam<RgbCase> { };

TEST_P(ColourValueTest, splitsAndWritesEveryColourTheSameWay)
{
    const RgbCase& c = GetParam();
    std::int16_t red = -7, green = -7, blue = -7;
    GetRgb(c.value, red, green, blue);
    EXPECT_EQ(red, c.red);
    EXPECT_EQ(green, c.green);
    EXPECT_EQ(blue, c.blue);
    EXPECT_EQ(DectoWebCol(c.value), c.web);
    char digits[7] = {};
    writeWebDigits(digits, c.value);
    EXPECT_EQ(std::string("#") + digits, c.web) << "the fast form must agree with DectoWebCol";
}

INSTANTIATE_TEST_SUITE_P(Colours, ColourValueTest,
    testing::Values(RgbCase { 0, 0, 0, 0, "#000000" }, RgbCase { 255, 255, 0, 0, "#FF0000" },
        RgbCase { 65280, 0, 255, 0, "#00FF00" }, RgbCase { 16711680, 0, 0, 255, "#0000FF" },
        RgbCase { 1193046, 86, 52, 18, "#563412" }, RgbCase { 16777215, 255, 255, 255, "#FFFFFF" },
        RgbCase { 10, 10, 0, 0, "#0A0000" }, RgbCase { -1, 255, 255, 255, "#FFFFFF" }));

TEST(DectoWebCol, takesTheSamePositionsOfLongerHexadecimalTexts)
{
    // 0x80000008: "80000008" gives last two "08", third and fourth "00", first two "80".
    EXPECT_EQ(DectoWebCol(static_cast<ColourValue>(0x80000008u)), "#080080");
    // Seven digits: 0x1234567 gives "67", "34", "12".
    EXPECT_EQ(DectoWebCol(0x1234567), "#673412");
}

TEST(DectoWebCol, agreesWithTheFastFormOnEveryRealColourChannel)
{
    for (int v = 0; v < 256; ++v) {
        for (ColourValue colour : { v, v << 8, v << 16, v * 0x010101 }) {
            char digits[7] = {};
            writeWebDigits(digits, colour);
            ASSERT_EQ(std::string("#") + digits, DectoWebCol(colour));
        }
    }
}
