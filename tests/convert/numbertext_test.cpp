#include "convert/numbertext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace mosaiq;

struct NumberCase {
    const char* text;
    double value;
};

void PrintTo(const NumberCase& c, std::ostream* out)
{
    *out << '"' << std::string(c.text).substr(0, 40) << '"';
}

class NumericValueTest : public testing::TestWithParam<NumberCase> { };

TEST_P(NumericValueTest, readsTheLeadingNumberWithAPointAsTheOnlySeparator)
{
    EXPECT_EQ(numericValue(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(SizeFields, NumericValueTest,
    testing::Values(NumberCase { "150", 150 }, NumberCase { "37,5", 37 },
        NumberCase { "37.5", 37.5 }, NumberCase { "12abc", 12 }, NumberCase { "1 2", 12 },
        NumberCase { " \t\n4\t2 ", 42 }, NumberCase { "abc", 0 }, NumberCase { "", 0 },
        NumberCase { "-5", -5 }, NumberCase { "+7", 7 }, NumberCase { "- 5", -5 },
        NumberCase { "0.4", 0.4 }, NumberCase { ".5", 0.5 }, NumberCase { "5.", 5 },
        NumberCase { ".", 0 }, NumberCase { "1e3", 1000 }, NumberCase { "1E3", 1000 },
        NumberCase { "2.5E-1", 0.25 }, NumberCase { "12e", 12 }, NumberCase { "12e+", 12 },
        NumberCase { "12ex", 12 }, NumberCase { "1 e 2", 100 }, NumberCase { "0", 0 },
        NumberCase { "-0", 0 }, NumberCase { "1e308", 1e308 }, NumberCase { "-1e308", -1e308 },
        NumberCase { "99999999999", 99999999999.0 }, NumberCase { "1e-400", 0 },
        NumberCase { "0.000e999", 0 }, NumberCase { "\r5", 0 }));

TEST(NumericValue, valuesBeyondTheRangeAreInfinite)
{
    EXPECT_EQ(numericValue("1E999"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(numericValue("-1E999"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(numericValue(std::string(400, '9')), std::numeric_limits<double>::infinity());
    EXPECT_EQ(numericValue(std::string(400, '9') + "e-390"), 1e10);
    EXPECT_DOUBLE_EQ(numericValue("0." + std::string(400, '0') + "1e300"), 1e-101);
    EXPECT_EQ(numericValue("0." + std::string(400, '0') + "1"), 0.0);
    EXPECT_EQ(numericValue("1e99999999999999999999"), std::numeric_limits<double>::infinity());
}

TEST(LoopCount, countsTheWholeStepsUpToTheBound)
{
    EXPECT_EQ(loopCount(3), 3);
    EXPECT_EQ(loopCount(2.5), 2);
    EXPECT_EQ(loopCount(0.4), 0);
    EXPECT_EQ(loopCount(-5), 0);
    EXPECT_EQ(loopCount(std::nan("")), 0);
    EXPECT_EQ(loopCount(1e300), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(loopCount(std::numeric_limits<double>::infinity()),
        std::numeric_limits<std::int64_t>::max());
}
