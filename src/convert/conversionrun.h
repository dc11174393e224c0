#pragma once

#include "convert/colourtreatment.h"
#include "convert/glyph.h"
#include "convert/htmldocument.h"
#include "convert/mergedrow.h"
#include "convert/palette.h"
#include "convert/pixelbuffer.h"
#include "convert/rowmemory.h"
#include "convert/shapedrows.h"
#include "convert/transparentcells.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mosaiq {

// Grids beyond these cannot be made: a single row would hold the window for ever, out of reach
// of the stop button, and the codes would not fit in memory.
inline constexpr std::int64_t MaxCellsPerRow = 10'000'000;
inline constexpr std::int64_t MaxCellsPerRun = 100'000'000;

// Why a run may not start, in the order the checks are made.
enum class StartCheck : std::uint8_t {
    Passed,
    NoPicture, // "Veuillez charger une image..."
    InvalidDimensions, // "Dimensions invalides"
    NoDefinedCharacters, // "Définissez un caractères pour l'ASCII..."
    TooLarge, // "Dimensions trop grandes"
};

// The fields the start checks look at, as the user left them.
struct StartFields {
    std::string_view picturePath;
    std::string_view columns; // text of the columns field
    std::string_view rows; // text of the rows field
    GlyphSource glyphSource = GlyphSource::Defined;
    bool definedCharactersEmpty = false;
};

// The start checks: picture, columns, rows, defined characters, then the size of the grid.
StartCheck checkStart(const StartFields& fields);

// The options a run takes once, when it starts.
struct RunStart {
    GlyphSource glyphSource = GlyphSource::Defined;
    ChannelSwitches channels;
    ColourTreatment treatment = ColourTreatment::SourceColours;
    ColourValue background = 0;
    StyleFlags style; // for the page's opening tags only
    double rows = 0; // the loop bound
    // mosaiq-cli only: neighbouring cells share one colour tag while their CIEDE2000 difference
    // to the run's first colour is at most this (see MergedRow). None: every cell has its own
    // markup, as the window writes it.
    std::optional<double> mergeTolerance;
    // With a tolerance: runs chosen for fewer and shorter tags (see RunChooser), their colours
    // in the forms the destination reads.
    bool bestRuns = false;
    ColourForms colourForms;
    // mosaiq-cli only: the colours every cell is mapped to before it is written (none: its own),
    // spread as dither says.
    std::shared_ptr<const std::vector<ColourValue>> palette;
    Dither dither = Dither::None;
    // mosaiq-cli only: each cell's character, ink and background chosen by the shape of the
    // picture in the block it covers (see ShapedRows), written in square mode's markup whatever
    // the mode; the defined and random characters are not read. None: one sample a cell.
    std::optional<ShapeOptions> shapes;
    // mosaiq-cli only: the cells the picture leaves transparent show background (see
    // TransparentCells). Off: transparent pixels count as drawn on white.
    bool transparentBackground = false;
};

// The options a run reads again for each row: the user may change them between rows.
struct RowInput {
    double columns = 0; // loop bound and grid step across
    double rows = 0; // grid step down
    CellMode mode = CellMode::Letter;
    std::u32string_view definedCharacters; // read when the source is Defined
    PixelBuffer picture;
};

enum class RowOutcome : std::uint8_t {
    Written,
    InvalidDimensions, // a size became 0 during the run
    NoDefinedCharacters, // the defined characters were emptied during the run
    TooLarge, // the row, or the run so far, went past the limits
};

// The rows of one run, one at a time, for RowLoop, which writes them with the header and the
// trailer: pageRow() to the page, row() to the codes. Each cell costs no allocation; buffers
// grow only when a row is longer than any before.
class ConversionRun {
public:
    ConversionRun(const RunStart& start, RandomGlyphs& random);

    // The page's first line, with the style openers chosen at the start.
    const std::string& header() const { return m_header; }

    std::int64_t rowCount() const { return m_rowCount; }
    std::int64_t rowsDone() const { return m_rowsDone; }
    bool finished() const { return m_rowsDone >= m_rowCount; }

    // Rows that are the same in the page and the codes are built in memory from lender, which
    // outlives the run; nullptr: in the run's own.
    void borrowRowMemory(RowMemory* lender) { m_lender = lender; }

    // Builds the next row from the options as they stand now.
    RowOutcome buildRow(const RowInput& input);
    // Goes past rows rows as if they had been built from input, writing nothing: another run of
    // the same options builds them (the page in the browser shares a run between two workers).
    void skipRows(std::int64_t rows, const RowInput& input);

    // The row just built, "<br>" included, as UTF-8 for the HTML and blog codes.
    std::string_view row() const
    {
        return m_merged ? m_merged->row() : std::string_view(m_rowData, m_rowLength);
    }

    // The same row as the page holds it: Windows-1252, "?" for what that code page lacks.
    std::string_view pageRow() const;

    // Whether each row's cell glyphs are kept for cellGlyphs(); off, the cells cost nothing more.
    void keepCells(bool keep) { m_keepCells = keep || m_transparent; }
    // The colours of the row just built, treatment applied, one per cell.
    std::span<const ColourValue> cellColours() const { return m_colours; }
    // The colours as sampled: those of cellColours() but for merged cells, which show their
    // runs' colours, and with a palette, whose colours all cells show.
    std::span<const ColourValue> sampledColours() const
    {
        if (m_palette)
            return m_beforePalette;
        return m_merged ? m_merged->sampledColours() : std::span<const ColourValue>(m_colours);
    }
    // Its glyphs, one per cell; empty unless keepCells(true) or the run merges cells.
    std::span<const Glyph> cellGlyphs() const { return m_cellGlyphs; }
    // When the run chooses cells by shape: each cell's background, and each cell's glyph and ink
    // for the codes that colour only the text (the cells' own unless the run fits them again
    // over a reader's background). Empty otherwise.
    std::span<const ColourValue> cellBackgrounds() const { return m_backgrounds; }
    std::span<const Glyph> textGlyphs() const
    {
        if (!m_shaped)
            return {};
        return m_textFitted ? std::span<const Glyph>(m_textGlyphs) : cellGlyphs();
    }
    std::span<const ColourValue> textColours() const
    {
        if (!m_shaped)
            return {};
        return m_textFitted ? std::span<const ColourValue>(m_textColours) : cellColours();
    }
    // With transparentBackground, the cells of the row just built that the picture leaves
    // transparent (see TransparentCells); empty when there is none.
    std::span<const std::uint8_t> transparentCells() const
    {
        return m_transparent ? m_transparent->flags() : std::span<const std::uint8_t>();
    }
    // When the run merges cells, the first cell of each run of the row just built; the cells'
    // colours are then their runs'. Empty otherwise.
    std::span<const std::uint32_t> runStarts() const
    {
        return m_merged ? m_merged->runStarts() : std::span<const std::uint32_t>();
    }
    // With them, how each run's colour tag nests (see MergedRow::runNesting); else empty.
    std::span<const std::uint8_t> runNesting() const
    {
        return m_merged ? m_merged->runNesting() : std::span<const std::uint8_t>();
    }
    // When the run merges cells chosen by shape, runStarts() are the inks' runs, and these the
    // backgrounds' and those of textColours() with their nesting. Empty otherwise.
    std::span<const std::uint32_t> backgroundRunStarts() const
    {
        return m_mergedBackgrounds ? m_mergedBackgrounds->runStarts()
                                   : std::span<const std::uint32_t>();
    }
    std::span<const std::uint32_t> textRunStarts() const
    {
        if (!m_mergedBackgrounds)
            return {};
        return m_mergedText ? m_mergedText->runStarts() : runStarts();
    }
    std::span<const std::uint8_t> textRunNesting() const
    {
        if (!m_mergedBackgrounds)
            return {};
        return m_mergedText ? m_mergedText->runNesting() : runNesting();
    }

private:
    void computeColours(const RowInput& input, std::int64_t cells, std::int64_t y);
    // computeColours, then the palette: m_colours and m_beforePalette for row y.
    void sampleColours(const RowInput& input, std::int64_t cells, std::int64_t y);
    // Row y's colours, sampled now with input after those sampled ahead already, for the runs
    // planned ahead.
    void sampleAhead(const RowInput& input, std::int64_t cells, std::int64_t y);
    void useDefinedCharacters(std::u32string_view text);
    // The colour treatment on colours, in place.
    void treat(std::span<ColourValue> colours) const;
    void buildShapedRow(const RowInput& input, std::int64_t cells, std::int64_t y);
    void addShapeGlyph(char32_t character);
    // The glyph of a place among the shape set's (ShapeChoice::glyph).
    const Glyph& shapeGlyph(std::uint16_t place) const
    {
        return m_shapeGlyphs[std::min<std::size_t>(place, m_shapeGlyphs.size() - 1)].glyph;
    }
    template <bool Square> void writeCells(std::int64_t cells);
    template <bool Square> void writeCellsGeneral(std::int64_t cells);
    class GlyphCycle;
    GlyphCycle glyphCycle();
    void endRow(std::int64_t cells);
    // With transparent cells in the row just written: the page keeps them in the background's
    // colours, the codes' row takes a space for each.
    void spaceTransparentCells(bool square);
    void reserveRow(std::size_t bytes);

    RunStart m_start;
    RandomGlyphs& m_random;
    std::string m_header;
    std::int64_t m_rowCount = 0;
    std::int64_t m_rowsDone = 0;
    std::int64_t m_cellsDone = 0;
    std::int32_t m_cellCounter = 0;
    std::array<std::uint8_t, 766> m_greyOfSum {};

    std::vector<std::int64_t> m_columns;
    // What m_columns was computed for.
    std::int64_t m_columnsCells = -1;
    std::int32_t m_columnsWidth = -1;
    double m_columnsCount = 0;
    std::vector<ColourValue> m_colours;
    std::u32string m_definedText;
    std::vector<Glyph> m_definedGlyphs;
    bool m_definedAscii = true;
    bool m_rowAscii = true;
    bool m_keepCells = false;
    std::vector<Glyph> m_cellGlyphs;
    std::unique_ptr<MergedRow> m_merged; // only when the run merges cells
    // Only when it merges cells chosen by shape; the text's only when fitted again.
    std::unique_ptr<MergedRow> m_mergedBackgrounds, m_mergedText;
    std::unique_ptr<PaletteMapper> m_palette; // only with a palette
    std::vector<ColourValue> m_beforePalette;
    std::unique_ptr<ShapedRows> m_shaped; // only when cells are chosen by shape
    // The shape set's glyphs in their places, then the no-break space of a block of no pixel,
    // each with the end of its cell after the glyph ready to copy.
    struct ShapeGlyph {
        Glyph glyph;
        std::array<char, 32> code {}, page {}; // the glyph, then "</font></span>"
        std::uint8_t codeLength = 0, pageLength = 0;
    };
    std::vector<ShapeGlyph> m_shapeGlyphs;
    std::vector<ColourValue> m_backgrounds;
    bool m_textFitted = false;
    std::vector<Glyph> m_textGlyphs;
    std::vector<ColourValue> m_textColours;
    std::unique_ptr<TransparentCells> m_transparent; // only when the run asks for them
    // The next rows' colours when sampled ahead, in order, and the input they were sampled with.
    struct SampledRow {
        std::vector<ColourValue> colours, beforePalette;
        RowInput input;
    };
    std::array<SampledRow, 2> m_ahead;
    std::size_t m_aheadCount = 0;

    std::unique_ptr<char[]> m_row;
    std::size_t m_rowCapacity = 0;
    RowMemory* m_lender = nullptr;
    char* m_rowData = nullptr; // the row just built: in m_row or lent
    std::size_t m_rowLength = 0;
    std::string m_pageRow; // used only when the row has a glyph beyond ASCII
    std::size_t m_pageRowLength = 0;
};

// Percentage shown after row y of a run of rows: floor(y * (100 / rows)), kept within 0-100
// for a row count the user made smaller during the run.
int progressPercent(std::int64_t y, double rows);

} // namespace mosaiq
