#include "convert/samplegrid.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace mosaiq;

namespace {

std::vector<std::int64_t> columnsOf(std::int64_t cells, int width, double count)
{
    std::vector<std::int64_t> columns;
    SampleGrid::columns(columns, cells, width, count);
    return columns;
}

} // namespace

TEST(SampleGrid, roundsHalfwayPointsToEven)
{
    // Steps of 2.5: 2.5 goes to 2, 7.5 to 8.
    EXPECT_EQ(columnsOf(4, 11, 4), (std::vector<std::int64_t> { 2, 5, 8, 10 }));
}

TEST(SampleGrid, lastCellSamplesTheLastPixelAndFirstSkipsTheFirst)
{
    const auto columns = columnsOf(100, 100, 100);
    EXPECT_EQ(columns.front(), 1);
    EXPECT_EQ(columns.back(), 99);
    EXPECT_EQ(std::count(columns.begin(), columns.end(), 0), 0);
    EXPECT_EQ(std::count(columns.begin(), columns.end(), 50), 2);
    EXPECT_EQ(columns[49], 50);
    EXPECT_EQ(columns[50], 50);
}

TEST(SampleGrid, aTwoByTwoGridSamplesEveryPixelOfATwoByTwoPicture)
{
    EXPECT_EQ(columnsOf(2, 2, 2), (std::vector<std::int64_t> { 0, 1 }));
    EXPECT_EQ(SampleGrid::coordinate(1, 2, 2), 0);
    EXPECT_EQ(SampleGrid::coordinate(2, 2, 2), 1);
}

TEST(SampleGrid, keepsFractionalCountsInTheStep)
{
    // 2.5 columns over 11 pixels: steps of 4, cells at 4 and 8.
    EXPECT_EQ(columnsOf(2, 11, 2.5), (std::vector<std::int64_t> { 4, 8 }));
    // A row count made smaller than the rows done samples below the picture.
    EXPECT_GE(SampleGrid::coordinate(5, 11, 2), 11);
}

TEST(SampleGrid, pointsTooFarForAnyPictureAreOutside)
{
    EXPECT_EQ(SampleGrid::coordinate(3, 2000000000, 1e-300), SampleGrid::Outside);
    EXPECT_EQ(SampleGrid::coordinate(1, 0, 0.0), SampleGrid::Outside); // -1/0 is -infinity
}
