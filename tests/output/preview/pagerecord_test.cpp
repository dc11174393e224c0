// The record of a page holds what the page holds, cell for cell, whatever changed during the run.
#include "output/preview/pagerecord.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

using namespace mosaiq;

namespace {

using Picture = std::vector<std::uint32_t>; // 2 x 2
const Picture Colours { 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF };
const Picture Greys { 0xFF090909, 0xFF636363, 0xFFC7C7C7, 0xFF000000 };

// Row options that change between rows, as a user changes the window's controls: row r takes
// the r-th mode and picture, or the last.
struct ChangingSettings : RunSettings {
    std::vector<CellMode> modes;
    std::vector<Picture> pictures;
    std::u32string defined;
    std::size_t row = 0;

    RowInput rowInput() override
    {
        const Picture& picture = pictures[std::min(row, pictures.size() - 1)];
        RowInput input { 2, 3, modes[std::min(row, modes.size() - 1)], defined, {} };
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

// The colours and characters of a page row, read back from its text: a glyph is a Windows-1252
// byte or a character reference.
using ShownCell = std::pair<ColourValue, char32_t>;
std::vector<ShownCell> cellsOfLine(const std::string& line)
{
    static const std::regex cell(
        "<font color=\"#([0-9A-F]{2})([0-9A-F]{2})([0-9A-F]{2})\">(&#([0-9]+);|.)");
    std::vector<ShownCell> cells;
    for (auto it = std::sregex_iterator(line.begin(), line.end(), cell);
         it != std::sregex_iterator(); ++it) {
        const auto part = [&](int i) { return std::stoi((*it)[i].str(), nullptr, 16); };
        const char32_t character = (*it)[5].matched
            ? char32_t(std::stoul((*it)[5].str()))
            : windows1252Character(std::uint8_t((*it)[4].str()[0]));
        cells.emplace_back(makeColour(part(1), part(2), part(3)), character);
    }
    return cells;
}

struct RunCase {
    const char* name;
    std::vector<CellMode> modes;
    std::vector<Picture> pictures;
    std::u32string defined;
};

} // namespace

class PageRecordOfARun : public testing::TestWithParam<RunCase> { };

TEST_P(PageRecordOfARun, holdsEachCellAsThePageWritesIt)
{
    ChangingSettings settings;
    settings.modes = GetParam().modes;
    settings.pictures = GetParam().pictures;
    settings.defined = GetParam().defined;
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
    EXPECT_EQ(record.cellCount(), 6);
    for (int row = 0; row < 3; ++row) {
        const std::string& line = page.lines[std::size_t(row) + 1];
        const auto cells = record.rowCells(row);
        std::vector<ShownCell> shown;
        for (PageRecord::Cell cell : cells)
            shown.emplace_back(
                PageRecord::colourOf(cell), record.characters()[PageRecord::byteOf(cell)]);
        EXPECT_EQ(shown, cellsOfLine(line)) << "row " << row;
        EXPECT_EQ(record.rowMode(row) == CellMode::Square, line.rfind("<span", 0) == 0);
        for (PageRecord::Cell cell : cells)
            EXPECT_TRUE(record.usesByte(PageRecord::byteOf(cell)));
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, PageRecordOfARun,
    testing::Values(RunCase { "letters", { CellMode::Letter }, { Colours }, U"o" },
        RunCase { "squares", { CellMode::Square }, { Colours }, U"o" },
        RunCase { "modeSwitchedMidRun", { CellMode::Letter, CellMode::Square, CellMode::Letter },
            { Colours }, U"o" },
        RunCase { "pictureChangedMidRun", { CellMode::Letter }, { Colours, Greys }, U"o" },
        // "€" is a byte of the page's code page; "ő", "你" and "😀" are not: the page writes
        // their references, and the record keeps each as itself, beside a "\x01" and a tab
        // that keep their own bytes.
        RunCase { "charactersOutsideThePage", { CellMode::Square }, { Colours }, U"€ő你" },
        RunCase { "referencesBesideTheirBytes", { CellMode::Letter }, { Colours }, U"\x01\t😀ő" }),
    [](const testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

TEST(PageRecord, keepsAnyShapeOfGridAtFourBytesACell)
{
    for (const auto& [columns, rows] : { std::pair<std::int64_t, std::int64_t> { 0, 0 },
             { 100000, 1 }, { 1, 100000 }, { 0, 3 } }) {
        PageRecord record(0, {});
        const std::vector<ColourValue> colours(std::size_t(columns), makeColour(7, 8, 9));
        const std::vector<Glyph> glyphs(std::size_t(columns), glyphFor(U'A'));
        for (std::int64_t row = 0; row < rows; ++row)
            record.rowBuilt({ row + 1, "", "", CellMode::Square, colours, glyphs, {} });
        EXPECT_EQ(record.rowCount(), rows);
        EXPECT_EQ(record.squareCells(), columns * rows);
        EXPECT_EQ(record.widestRow(), columns);
        if (rows > 0 && columns > 0) {
            ASSERT_EQ(std::int64_t(record.rowCells(rows - 1).size()), columns);
            EXPECT_EQ(
                record.rowCells(rows - 1).back(), PageRecord::makeCell(makeColour(7, 8, 9), 'A'));
        }
        // Cells, a row entry each, and at most the unused end of one block of cells.
        EXPECT_LE(record.memoryBytes(), std::size_t(columns * rows * 4 + rows * 32 + (4 << 20)));
    }
}
