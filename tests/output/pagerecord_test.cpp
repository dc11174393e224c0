// The record of a page holds what the page holds, cell for cell, whatever changed during the run.
#include "output/pagerecord.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

using namespace mosaiq;

namespace {

std::uint32_t argb(int red, int green, int blue)
{
    return 0xFF000000u | std::uint32_t(red << 16) | std::uint32_t(green << 8) | std::uint32_t(blue);
}

// Row options that change as the run goes, the way a user changes the window's controls.
class ChangingSettings : public RunSettings {
public:
    std::vector<CellMode> modes; // per row, the last repeated
    std::vector<std::vector<std::uint32_t>> pictures; // 2 x 2 each, per row, the last repeated
    std::u32string defined = U"o";
    int row = 0;

    RowInput rowInput() override
    {
        const auto pick = [this](const auto& list) {
            return list[std::min<std::size_t>(row, list.size() - 1)];
        };
        const std::vector<std::uint32_t>& picture
            = pictures[std::min<std::size_t>(row, pictures.size() - 1)];
        RowInput input;
        input.columns = 2;
        input.rows = 3;
        input.mode = pick(modes);
        input.definedCharacters = defined;
        input.picture = { picture.data(), 2, 2, 2 };
        ++row;
        return input;
    }
    StyleFlags closingStyle() override { return {}; }
};

struct Lines : PageSink {
    std::vector<std::string> lines;
    bool writeLine(std::string_view line) override
    {
        lines.emplace_back(line);
        return true;
    }
};

// The colours and glyph bytes of a page row, read back from its text.
std::vector<PageRecord::Cell> cellsOfLine(const std::string& line)
{
    static const std::regex cell("<font color=\"#([0-9A-F]{6})\">([^<]*)</font>");
    std::vector<PageRecord::Cell> cells;
    for (auto it = std::sregex_iterator(line.begin(), line.end(), cell);
         it != std::sregex_iterator(); ++it) {
        const unsigned rgb = unsigned(std::stoul((*it)[1].str(), nullptr, 16));
        const ColourValue colour
            = makeColour(int(rgb >> 16), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
        cells.push_back(PageRecord::makeCell(colour, (*it)[2].str().at(0)));
    }
    return cells;
}

} // namespace

struct RunCase {
    const char* name;
    std::vector<CellMode> modes;
    std::vector<std::vector<std::uint32_t>> pictures;
    std::u32string defined;
};

class PageRecordOfARun : public testing::TestWithParam<RunCase> { };

TEST_P(PageRecordOfARun, holdsEachCellAsThePageWritesIt)
{
    const RunCase& c = GetParam();
    ChangingSettings settings;
    settings.modes = c.modes;
    settings.pictures = c.pictures;
    settings.defined = c.defined;
    RunStart start;
    start.rows = 3;
    start.background = makeColour(1, 2, 3);
    start.style = { true, false, true };
    Lines page;
    RandomGlyphs random;
    RowLoop loop(start, settings, page, random);
    PageRecord record(start.background, start.style);
    loop.addSink(record);
    ASSERT_EQ(loop.runToEnd(), LoopStep::Finished);

    ASSERT_EQ(record.rowCount(), 3);
    EXPECT_EQ(record.background(), makeColour(1, 2, 3));
    EXPECT_TRUE(record.style().bold && record.style().centred && !record.style().italic);
    for (int row = 0; row < 3; ++row) {
        const std::string& line = page.lines[std::size_t(row) + 1];
        const std::vector<PageRecord::Cell> written = cellsOfLine(line);
        const auto cells = record.rowCells(row);
        EXPECT_EQ(std::vector<PageRecord::Cell>(cells.begin(), cells.end()), written)
            << "row " << row;
        EXPECT_EQ(record.rowMode(row) == CellMode::Square, line.rfind("<span", 0) == 0);
        for (PageRecord::Cell cell : cells)
            EXPECT_TRUE(record.usesByte(PageRecord::byteOf(cell)));
    }
    EXPECT_EQ(record.cellCount(), 6);
    EXPECT_EQ(record.widestRow(), 2);
}

const std::vector<std::uint32_t> Colours { argb(255, 0, 0), argb(0, 255, 0), argb(0, 0, 255),
    argb(255, 255, 255) };
const std::vector<std::uint32_t> Greys { argb(9, 9, 9), argb(99, 99, 99), argb(199, 199, 199),
    argb(0, 0, 0) };

INSTANTIATE_TEST_SUITE_P(Runs, PageRecordOfARun,
    testing::Values(RunCase { "letters", { CellMode::Letter }, { Colours }, U"o" },
        RunCase { "squares", { CellMode::Square }, { Colours }, U"o" },
        RunCase { "modeSwitchedMidRun", { CellMode::Letter, CellMode::Square, CellMode::Letter },
            { Colours }, U"o" },
        RunCase { "pictureChangedMidRun", { CellMode::Letter }, { Colours, Greys }, U"o" },
        // "€" is a byte of the page's code page, "ő" and "你" are not and become "?".
        RunCase { "charactersOutsideThePage", { CellMode::Square }, { Colours }, U"€ő你" }),
    [](const testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

TEST(PageRecord, keepsAnyShapeOfGridAtFourBytesACell)
{
    struct Shape {
        std::int64_t columns, rows;
    };
    for (const Shape shape :
        { Shape { 0, 0 }, Shape { 100000, 1 }, Shape { 1, 100000 }, Shape { 0, 3 } }) {
        PageRecord record(0, {});
        const std::vector<ColourValue> colours(std::size_t(shape.columns), makeColour(7, 8, 9));
        const std::vector<Glyph> glyphs(std::size_t(shape.columns), glyphFor(U'A'));
        for (std::int64_t row = 0; row < shape.rows; ++row)
            record.rowBuilt({ row + 1, "", "", CellMode::Square, colours, glyphs });
        EXPECT_EQ(record.rowCount(), shape.rows);
        EXPECT_EQ(record.squareCells(), shape.columns * shape.rows);
        EXPECT_EQ(record.widestRow(), shape.columns);
        if (shape.rows > 0) {
            const auto last = record.rowCells(shape.rows - 1);
            ASSERT_EQ(std::int64_t(last.size()), shape.columns);
            if (shape.columns > 0) {
                EXPECT_EQ(last.back(), PageRecord::makeCell(makeColour(7, 8, 9), 'A'));
            }
        }
        // Cells, a row entry each, and at most the unused end of one block of cells.
        EXPECT_LE(record.memoryBytes(),
            std::size_t(shape.columns * shape.rows * 4 + shape.rows * 32 + (4 << 20)));
    }
}
