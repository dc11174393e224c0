#include "convert/gridproportions.h"

#include <gtest/gtest.h>

using namespace mosaiq;

struct ProportionCase {
    std::int64_t width, height;
    double given;
    double aspect;
    std::int64_t rows; // for given columns
    std::int64_t columns; // for given rows
};

class GridProportions : public ::testing::TestWithParam<ProportionCase> { };

TEST_P(GridProportions, theOtherSideKeepsThePicturesProportions)
{
    const ProportionCase& c = GetParam();
    EXPECT_EQ(rowsForColumns(c.width, c.height, c.given, c.aspect), c.rows);
    EXPECT_EQ(columnsForRows(c.width, c.height, c.given, c.aspect), c.columns);
}

INSTANTIATE_TEST_SUITE_P(Pictures, GridProportions,
    ::testing::Values(
        // Square cells: the picture's own ratio.
        ProportionCase { 1920, 1080, 192, 1.0, 108, 341 },
        // Cells half as wide as high take twice the rows of square ones.
        ProportionCase { 1000, 1000, 100, 0.5, 50, 200 },
        // Halves go up: 3 x 1 x 0.5 / 1 = 1.5 rows; 3 x 1 / (1 x 0.5) = 6 columns.
        ProportionCase { 1, 1, 3, 0.5, 2, 6 },
        // A thin picture keeps at least one cell.
        ProportionCase { 5000, 10, 80, 0.5, 1, 80000 }, ProportionCase { 10, 5000, 1, 0.5, 250, 1 },
        // A picture of no size, or a side of none, leaves one cell.
        ProportionCase { 0, 100, 100, 0.5, 1, 1 }, ProportionCase { 100, 100, 0, 0.5, 1, 1 }));

TEST(GridProportionsAspects, aPhotoOnThePageAndInTheShapesFont)
{
    // 4:3 at 160 columns: 160 x 0.75 x 0.51225 = 61.47 rows; 160 x 0.75 x 0.51720 = 62.06.
    EXPECT_EQ(rowsForColumns(4000, 3000, 160, PageCellAspect), 61);
    EXPECT_EQ(rowsForColumns(4000, 3000, 160, ShapeCellAspect), 62);
    EXPECT_NEAR(ShapeCellAspect, 0.5172, 1e-4);
}
