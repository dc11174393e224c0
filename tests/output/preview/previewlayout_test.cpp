// Which preview a page gets, and the arithmetic of the native preview: zoom steps, what is in
// view, where the cells of a row lie.
#include "output/preview/pagelayout.h"
#include "output/preview/previewchoice.h"
#include "output/preview/previewzoom.h"

#include <gtest/gtest.h>

#include <vector>

using namespace mosaiq;

TEST(PreviewChoice, theWebEngineShowsPagesUpToItsLimitInEitherMode)
{
    struct Case {
        std::int64_t letter, square;
        PreviewKind kind;
    };
    // 20 000 letter cells, or 12 000 square cells.
    for (const Case& c : { Case { 0, 0, PreviewKind::Web }, { 20'000, 0, PreviewKind::Web },
             { 20'001, 0, PreviewKind::Native }, { 0, 12'000, PreviewKind::Web },
             { 0, 12'001, PreviewKind::Native },
             // A page of both kinds counts each cell against its own kind's limit:
             // 15 000 / 20 000 + 3 000 / 12 000 = 3/4 + 1/4.
             { 15'000, 3'000, PreviewKind::Web }, { 15'000, 3'001, PreviewKind::Native },
             { 15'001, 3'000, PreviewKind::Native },
             { std::int64_t(1) << 50, 0, PreviewKind::Native },
             { 0, std::int64_t(1) << 50, PreviewKind::Native } })
        EXPECT_EQ(previewKindFor(c.letter, c.square), c.kind) << c.letter << " + " << c.square;
    // Known by its file alone, a page is taken as the kind whose cells its bytes make most of:
    // 20 000 letter cells of 30 bytes make 600 000 bytes, 12 000 square cells of 77 make 924 000.
    EXPECT_EQ(previewKindForFileSize(600'000), PreviewKind::Web);
    EXPECT_EQ(previewKindForFileSize(600'001), PreviewKind::Native);
}

TEST(PreviewZoom, stepsStopAtTheEndsAndFitIsBelowTheSmallest)
{
    EXPECT_EQ(zoomedIn({}), (PreviewZoom { false, 1.1 }));
    EXPECT_EQ(zoomedOut({}), (PreviewZoom { false, 0.9 }));
    EXPECT_EQ(zoomedIn({ false, 4.0 }), (PreviewZoom { false, 4.0 }));
    EXPECT_TRUE(zoomedOut({ false, 0.25 }).fit);
    EXPECT_TRUE(zoomedOut({ true, 0.25 }).fit);
    EXPECT_EQ(zoomedIn({ true, 3.0 }), (PreviewZoom { false, 0.25 }));
    // Between two steps, the next step either way.
    EXPECT_EQ(zoomedIn({ false, 1.3 }), (PreviewZoom { false, 1.5 }));
    EXPECT_EQ(zoomedOut({ false, 1.3 }), (PreviewZoom { false, 1.25 }));
}

TEST(PreviewZoom, visibleLinesAndScrollingStayWithinThePage)
{
    struct Case {
        double top, height;
        std::int64_t lines, first, end;
    };
    // Lines 11 pixels high from y = 8.
    for (const Case& c : { Case { 0, 30, 100, 0, 2 }, // up to where line 2 starts
             { 0, 31, 100, 0, 3 }, { 19, 11, 100, 1, 2 }, { 19.5, 11, 100, 1, 3 },
             { 1000, 465, 100, 90, 100 }, { 5000, 465, 100, 100, 100 }, { -50, 20, 100, 0, 0 },
             { 0, 0, 100, 0, 0 }, { 0, 465, 0, 0, 0 },
             { 1.1e9, 465, 100000000, 99999999, 100000000 } }) {
        const LineRange range = visibleLines(c.top, c.height, 8, 11, c.lines);
        EXPECT_EQ(range.first, c.first) << c.top << " " << c.height;
        EXPECT_EQ(range.end, c.end) << c.top << " " << c.height;
    }
    // The page point under the anchor stays, within the scroll range.
    EXPECT_DOUBLE_EQ(scrollAfterZoom(100, 50, 1.0, 2.0, 10000), 250);
    EXPECT_DOUBLE_EQ(scrollAfterZoom(100, 50, 2.0, 1.0, 10000), 25);
    EXPECT_DOUBLE_EQ(scrollAfterZoom(9000, 400, 1.0, 4.0, 10000), 10000);
    EXPECT_DOUBLE_EQ(scrollAfterZoom(10, 0, 1.0, 0.25, -5), 0);
    EXPECT_DOUBLE_EQ(fitScale(4000, 3000, 705, 445), 445.0 / 3000);
    EXPECT_DOUBLE_EQ(fitScale(100000, 1, 705, 445), 705.0 / 100000);
    EXPECT_DOUBLE_EQ(fitScale(0, 10, 705, 445), 0);
}

namespace {

// Letters 'A' (advance 2) and 'B' (3), spaces (1), and one kerning pair, A B, of -0.5.
PageLayout layoutOf(const std::vector<std::string>& rows, bool centred)
{
    auto record = std::make_shared<PageRecord>(0, StyleFlags { false, false, centred });
    for (const std::string& text : rows) {
        std::vector<Glyph> glyphs;
        for (char c : text)
            glyphs.push_back(glyphFor(char32_t(c)));
        record->rowBuilt(
            { 1, "", "", CellMode::Letter, std::vector<ColourValue>(text.size()), glyphs, {} });
    }
    GlyphMetrics metrics;
    metrics.advance['A'] = 2;
    metrics.advance['B'] = 3;
    metrics.advance[' '] = 1;
    metrics.pairKerning
        = [](std::uint8_t a, std::uint8_t b) { return a == 'A' && b == 'B' ? -0.5 : 0.0; };
    return PageLayout(record, metrics);
}

using Cells = std::vector<std::tuple<std::int64_t, double, double>>;

Cells cellsBetween(const PageLayout& layout, std::int64_t row, double from, double to)
{
    Cells cells;
    layout.forCells(
        row, from, to, [&](std::int64_t i, double l, double r) { cells.emplace_back(i, l, r); });
    return cells;
}

} // namespace

TEST(PageLayout, cellsAreFoundAnywhereInALongRow)
{
    const PageLayout layout = layoutOf({ std::string(1000, 'A'), "AB  A", " A" }, false);
    EXPECT_DOUBLE_EQ(layout.rowWidth(0), 2000);
    EXPECT_EQ(
        cellsBetween(layout, 0, 1401, 1404), (Cells { { 700, 1400, 1402 }, { 701, 1402, 1404 } }));
    EXPECT_EQ(cellsBetween(layout, 0, 1999.5, 5000), (Cells { { 999, 1998, 2000 } }));
    EXPECT_TRUE(cellsBetween(layout, 0, 2000, 5000).empty());
    // Kerning shortens the first of a pair; a run of spaces takes the room of one, a space
    // opening the line none.
    EXPECT_EQ(cellsBetween(layout, 1, 0, 100),
        (Cells { { 0, 0, 1.5 }, { 1, 1.5, 4.5 }, { 2, 4.5, 5.5 }, { 4, 5.5, 7.5 } }));
    EXPECT_EQ(cellsBetween(layout, 2, 0, 100), (Cells { { 1, 0, 2 } }));
}

TEST(PageLayout, centredRowsSitInTheMiddleOfTheBodyUnlessTooWide)
{
    const PageLayout layout = layoutOf({ "AAAAA", std::string(100, 'A') }, true);
    // The page is as wide as the widest row measured: none at first, all after enough cells.
    EXPECT_DOUBLE_EQ(layout.pageWidth(116), 116);
    EXPECT_FALSE(layout.measureRows(5));
    EXPECT_TRUE(layout.measureRows(1000));
    EXPECT_DOUBLE_EQ(layout.pageWidth(116), 216);
    EXPECT_DOUBLE_EQ(layout.pageHeight(), 16 + 2 * 11);
    EXPECT_DOUBLE_EQ(layout.rowLeft(0, 116), 8 + (100 - 10) / 2.0);
    EXPECT_DOUBLE_EQ(layout.rowLeft(1, 116), 8);
    EXPECT_DOUBLE_EQ(layoutOf({ "AAAAA" }, false).rowLeft(0, 116), 8);
}
