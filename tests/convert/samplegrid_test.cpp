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

// The blocks of cells chosen by shape tile the side, each at least a pixel when the side has one.
TEST(SampleGrid, blocksTileTheSideAndEachHoldsAPixel)
{
    struct Case {
        std::int64_t cells;
        std::int32_t size;
        double count;
        std::vector<std::int32_t> edges, spans;
    };
    const Case cases[] = {
        { 4, 10, 4, { 0, 2, 5, 8 }, { 2, 3, 3, 2 } }, // 2.5, 5, 7.5: halves to even
        { 3, 3, 3, { 0, 1, 2 }, { 1, 1, 1 } },
        // More cells than pixels: a cell whose block would be empty takes its edge's pixel.
        { 5, 2, 5, { 0, 0, 1, 1, 1 }, { 1, 1, 1, 1, 1 } },
        // A count with decimals leaves the last cell past the side: it keeps the last pixel.
        { 3, 10, 2.5, { 0, 4, 8 }, { 4, 4, 2 } },
        { 2, 0, 2, { 0, 0 }, { 0, 0 } },
    };
    for (const Case& c : cases) {
        std::vector<std::int32_t> edges, spans;
        SampleGrid::blockEdges(edges, spans, c.cells, c.size, c.count);
        EXPECT_EQ(edges, c.edges) << c.cells << " over " << c.size;
        EXPECT_EQ(spans, c.spans) << c.cells << " over " << c.size;
    }
}
