// Halving and doubling the size fields: the numbers read and written in a user's format.
#include "convert/sizescaling.h"

#include <gtest/gtest.h>

using namespace mosaiq;

TEST(SizeScaling, WritesFifteenDigitsWithoutTrailingZerosInTheFormat)
{
    const NumberFormat french = NumberFormat::french();
    EXPECT_EQ(sizeNumberText(18.75, french), "18,75");
    EXPECT_EQ(sizeNumberText(160.0, french), "160");
    EXPECT_EQ(sizeNumberText(1.0 / 3.0, french), "0,333333333333333");
    EXPECT_EQ(sizeNumberText(123456789012345.0, french), "123456789012345");
    EXPECT_EQ(sizeNumberText(1234567890123456.0, french), "1,23456789012346E+15");
    EXPECT_EQ(sizeNumberText(0.00001, french), "1E-05");
    EXPECT_EQ(sizeNumberText(-0.0, french), "0");
    EXPECT_EQ(sizeNumberText(-2.5, NumberFormat {}), "-2.5");

    NumberFormat arabic;
    arabic.decimal = "\u066B";
    arabic.minus = "\u061C-";
    for (int i = 0; i < 10; ++i)
        arabic.digits[i] = std::string("\xD9") + char(0xA0 + i);
    EXPECT_EQ(sizeNumberText(-2.5, arabic), "\u061C-\u0662\u066B\u0665");
}

TEST(SizeScaling, ReadsOnlyWholeNumbersOfTheFormat)
{
    const NumberFormat french = NumberFormat::french();
    EXPECT_EQ(readSizeNumber("37,5", french), 37.5);
    EXPECT_EQ(readSizeNumber(" 12 ", french), 12.0);
    EXPECT_EQ(readSizeNumber("-3", french), -3.0);
    EXPECT_EQ(readSizeNumber("1E5", french), 100000.0);
    EXPECT_EQ(readSizeNumber("1e-2", french), 0.01);
    for (const char* text :
        { "", "  ", "37.5", "12abc", "1 234", ",5", "5,", "inf", "1e400", "--1" })
        EXPECT_EQ(readSizeNumber(text, french), std::nullopt) << text;
    EXPECT_EQ(readSizeNumber("37.5", NumberFormat {}), 37.5);
}

TEST(SizeScaling, ChecksBothSizesBeforeGivingEither)
{
    const NumberFormat french = NumberFormat::french();
    const ScaledNumbers halved = scaleSizes(75.0, 37.5, 0.5, french);
    EXPECT_EQ(halved.error, ScaleError::None);
    EXPECT_EQ(halved.columns, "37,5");
    EXPECT_EQ(halved.rows, "18,75");

    EXPECT_EQ(
        scaleSizes(std::nullopt, std::nullopt, 2, french).error, ScaleError::ColumnsNotANumber);
    const ScaledNumbers refused = scaleSizes(75.0, std::nullopt, 2, french);
    EXPECT_EQ(refused.error, ScaleError::RowsNotANumber);
    EXPECT_EQ(refused.columns, "");
    EXPECT_EQ(scaleSizes(1.0, 1.5e308, 2, french).error, ScaleError::OutOfRange);
}
