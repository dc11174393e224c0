#include "convert/conversionrun.h"

#include "convert/numbertext.h"
#include "convert/samplegrid.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace mosaiq {

namespace {

    // Cell templates with a one-byte glyph; the colour digits and the glyph are patched in place.
    constexpr char LetterTemplate[] = "<font color=\"#000000\">o</font>";
    constexpr std::size_t LetterColour = 14, LetterGlyph = 22;
    constexpr char SquareTemplate[]
        = "<span style=\"background-color: #000000\"><font color=\"#000000\">o</font></span>";
    constexpr std::size_t SquareBackground = 32, SquareColour = 54, SquareGlyph = 62;
    static_assert(sizeof(LetterTemplate) - 1 == html::LetterCellLength);
    static_assert(sizeof(SquareTemplate) - 1 == html::SquareCellLength);

    // Whether two rows' inputs sample the same cells from the same picture.
    bool sameSampling(const RowInput& a, const RowInput& b)
    {
        return a.columns == b.columns && a.rows == b.rows && a.picture.pixels == b.picture.pixels
            && a.picture.width == b.picture.width && a.picture.height == b.picture.height
            && a.picture.stride == b.picture.stride && a.picture.arrival == b.picture.arrival
            && a.picture.firstRow == b.picture.firstRow;
    }

} // namespace

// The glyphs of one row's cells, in cell order. A random cell draws one value; the defined
// characters cycle on over row ends, cell k of the run showing character k mod L, so the first
// cell of a run takes the second character.
class ConversionRun::GlyphCycle {
public:
    GlyphCycle(RandomGlyphs* random, const std::vector<Glyph>& defined, std::int32_t cellsBefore)
        : m_random(random)
        , m_first(defined.data())
        , m_end(defined.data() + defined.size())
        , m_last(
              random ? m_first : m_first + static_cast<std::size_t>(cellsBefore) % defined.size())
    {
    }

    // Valid until the next call.
    const Glyph& next()
    {
        if (m_random) {
            const char glyph = m_random->next();
            // One ASCII byte, both lengths 1 as they were made.
            m_drawn.utf8[0] = glyph;
            m_drawn.page[0] = glyph;
            return m_drawn;
        }
        if (++m_last == m_end)
            m_last = m_first;
        return *m_last;
    }

private:
    RandomGlyphs* m_random; // null for the defined characters
    const Glyph* m_first;
    const Glyph* m_end;
    const Glyph* m_last; // the glyph of the cell before
    Glyph m_drawn;
};

StartCheck checkStart(const StartFields& fields)
{
    if (fields.picturePath.empty())
        return StartCheck::NoPicture;
    if (fields.columns.empty() || numericValue(fields.columns) == 0.0)
        return StartCheck::InvalidDimensions;
    if (fields.rows.empty() || numericValue(fields.rows) == 0.0)
        return StartCheck::InvalidDimensions;
    if (fields.glyphSource == GlyphSource::Defined && fields.definedCharactersEmpty)
        return StartCheck::NoDefinedCharacters;
    const std::int64_t columns = loopCount(numericValue(fields.columns));
    const std::int64_t rows = loopCount(numericValue(fields.rows));
    // A row of no cell still costs its "<br>" and its pause: it counts as one cell, so that
    // billions of empty rows are refused like billions of cells.
    if (rows > 0
        && (columns > MaxCellsPerRow || rows > MaxCellsPerRun / std::max<std::int64_t>(columns, 1)))
        return StartCheck::TooLarge;
    return StartCheck::Passed;
}

ConversionRun::ConversionRun(const RunStart& start, RandomGlyphs& random)
    : m_start(start)
    , m_random(random)
    , m_header(start.shapes ? shapesHeaderLine(start.background, start.style)
                            : headerLine(start.background, start.style))
    , m_rowCount(loopCount(start.rows))
{
    if (start.shapes) {
        m_shaped = std::make_unique<ShapedRows>(*start.shapes);
        m_textFitted = start.shapes->textBackground.has_value();
        const auto set = std::uint8_t(start.shapes->set);
        for (const GlyphShape& shape : glyphShapes()) {
            // A space between tags is folded into its neighbours' by HTML: a no-break space
            // keeps the cell, in the page and wherever the codes are pasted.
            if ((shape.sets & set) != 0)
                addShapeGlyph(shape.character == U' ' ? U'\u00A0' : shape.character);
        }
        addShapeGlyph(U'\u00A0');
    }
    if (start.mergeTolerance) {
        const auto merged = [&start] {
            return std::make_unique<MergedRow>(
                *start.mergeTolerance, start.bestRuns, start.colourForms);
        };
        m_merged = merged();
        // A row chosen by shape has its inks', its backgrounds' and its text's runs.
        if (m_shaped) {
            m_mergedBackgrounds = merged();
            if (m_textFitted)
                m_mergedText = merged();
        }
    }
    if (start.palette)
        m_palette = std::make_unique<PaletteMapper>(*start.palette, start.dither);
    if (start.transparentBackground) {
        // The codes' row is rewritten from the cells' glyphs.
        m_transparent = std::make_unique<TransparentCells>();
        m_keepCells = true;
    }
    // With no channel on there is nothing to average: all three count, as in greyLevel.
    if (m_start.channels.count() == 0)
        m_start.channels = ChannelSwitches {};
    // Grey levels by table: the same nearest-integer mean as per cell, once per run.
    const int count = m_start.channels.count();
    for (int sum = 0; sum < 766; ++sum)
        m_greyOfSum[sum]
            = static_cast<std::uint8_t>(std::min(255.0, std::nearbyint(double(sum) / count)));
}

void ConversionRun::useDefinedCharacters(std::u32string_view text)
{
    if (text == m_definedText && !m_definedGlyphs.empty())
        return;
    m_definedText.assign(text);
    m_definedGlyphs = glyphsFor(text);
    m_definedAscii = true;
    for (const auto& glyph : m_definedGlyphs)
        m_definedAscii = m_definedAscii && glyph.isAscii();
}

void ConversionRun::reserveRow(std::size_t bytes)
{
    if (bytes <= m_rowCapacity)
        return;
    m_rowCapacity = std::max(bytes, m_rowCapacity + m_rowCapacity / 2);
    m_row.reset(new char[m_rowCapacity]);
}

void ConversionRun::computeColours(const RowInput& input, std::int64_t cells, std::int64_t y)
{
    const PixelBuffer& picture = input.picture;
    // The columns change only with the grid, which the window may edit between rows.
    if (cells != m_columnsCells || picture.width != m_columnsWidth
        || !(input.columns == m_columnsCount)) {
        SampleGrid::columns(m_columns, cells, picture.width, input.columns);
        m_columnsCells = cells;
        m_columnsWidth = picture.width;
        m_columnsCount = input.columns;
    }
    const std::int64_t sampleRow = SampleGrid::coordinate(y, picture.height, input.rows);
    m_colours.resize(static_cast<std::size_t>(cells));

    const bool rowInside
        = sampleRow >= picture.firstRow && sampleRow < picture.height && picture.pixels;
    if (rowInside && picture.arrival)
        picture.arrival->waitFor(sampleRow);
    const std::uint32_t* line = rowInside ? picture.row(sampleRow) : nullptr;
    const std::int64_t width = picture.width;
    for (std::int64_t i = 0; i < cells; ++i) {
        const std::int64_t x = m_columns[i];
        m_colours[i] = line && x >= 0 && x < width ? PixelBuffer::fromArgb(line[x]) : InvalidColour;
    }

    treat(m_colours);
}

void ConversionRun::treat(std::span<ColourValue> colours) const
{
    if (m_start.treatment == ColourTreatment::SourceColours)
        return;
    const ChannelSwitches& channels = m_start.channels;
    const std::uint32_t mask = (channels.red ? 0xFFu : 0) | (channels.green ? 0xFF00u : 0)
        | (channels.blue ? 0xFF0000u : 0);
    int shift = 0;
    switch (m_start.treatment) {
    case ColourTreatment::TintGreen:
        shift = 8;
        break;
    case ColourTreatment::TintBlue:
        shift = 16;
        break;
    default:
        break;
    }
    const bool grey = m_start.treatment == ColourTreatment::BlackAndWhite;
    for (auto& colour : colours) {
        const std::uint32_t bits = static_cast<std::uint32_t>(colour) & mask;
        const std::uint32_t level
            = m_greyOfSum[(bits & 0xFF) + ((bits >> 8) & 0xFF) + ((bits >> 16) & 0xFF)];
        colour = ColourValue(grey ? level * 0x010101u : level << shift);
    }
}

void ConversionRun::sampleColours(const RowInput& input, std::int64_t cells, std::int64_t y)
{
    computeColours(input, cells, y);
    if (m_palette) {
        m_beforePalette.assign(m_colours.begin(), m_colours.end());
        m_palette->mapRow(m_colours, y - 1);
    }
}

void ConversionRun::sampleAhead(const RowInput& input, std::int64_t cells, std::int64_t y)
{
    // Taken before the rows are built, with the options as they stand: only mosaiq-cli merges,
    // and its options never change during a run. Were they to change, the row would be sampled
    // again; a palette's spread error would then have gone through the rows ahead once already.
    SampledRow& ahead = m_ahead[m_aheadCount++];
    m_colours.swap(ahead.colours);
    m_beforePalette.swap(ahead.beforePalette);
    sampleColours(input, cells, y);
    m_colours.swap(ahead.colours);
    m_beforePalette.swap(ahead.beforePalette);
    ahead.input = input;
    m_merged->planAhead(ahead.colours, m_aheadCount);
}

template <bool Square> void ConversionRun::writeCells(std::int64_t cells)
{
    // Every glyph is one byte: each cell is its template with colour and glyph patched in.
    char* out = m_rowData;
    GlyphCycle glyphs = glyphCycle();
    for (std::int64_t i = 0; i < cells; ++i) {
        const Glyph& cellGlyph = glyphs.next();
        const char glyph = cellGlyph.utf8[0];
        if (m_keepCells)
            m_cellGlyphs[std::size_t(i)] = cellGlyph;
        if constexpr (Square) {
            std::memcpy(out, SquareTemplate, html::SquareCellLength);
            const std::uint64_t digits = webDigitsWord(m_colours[i]);
            std::memcpy(out + SquareBackground, &digits, 6);
            std::memcpy(out + SquareColour, &digits, 6);
            out[SquareGlyph] = glyph;
            out += html::SquareCellLength;
        } else {
            std::memcpy(out, LetterTemplate, html::LetterCellLength);
            writeWebDigits(out + LetterColour, m_colours[i]);
            out[LetterGlyph] = glyph;
            out += html::LetterCellLength;
        }
    }
    m_rowLength = static_cast<std::size_t>(out - m_rowData);
}

template <bool Square> void ConversionRun::writeCellsGeneral(std::int64_t cells)
{
    // Some glyph is not ASCII: the codes take its UTF-8 bytes, the page its Windows-1252 byte
    // or character reference, so the row is written twice over, side by side.
    char* out = m_rowData;
    char* page = m_pageRow.data();
    GlyphCycle glyphs = glyphCycle();
    constexpr std::size_t glyphAt = Square ? SquareGlyph : LetterGlyph;
    constexpr const char* cell = Square ? SquareTemplate : LetterTemplate;
    constexpr std::size_t length = Square ? html::SquareCellLength : html::LetterCellLength;
    for (std::int64_t i = 0; i < cells; ++i) {
        const Glyph& glyph = glyphs.next();
        if (m_keepCells)
            m_cellGlyphs[std::size_t(i)] = glyph;
        std::memcpy(page, cell, glyphAt);
        if constexpr (Square) {
            const std::uint64_t digits = webDigitsWord(m_colours[i]);
            std::memcpy(page + SquareBackground, &digits, 6);
            std::memcpy(page + SquareColour, &digits, 6);
        } else {
            writeWebDigits(page + LetterColour, m_colours[i]);
        }
        std::memcpy(out, page, glyphAt);
        out += glyphAt;
        page += glyphAt;
        std::memcpy(out, glyph.utf8, glyph.utf8Length);
        out += glyph.utf8Length;
        std::memcpy(page, glyph.page, glyph.pageLength);
        page += glyph.pageLength;
        std::memcpy(out, cell + glyphAt + 1, length - glyphAt - 1);
        out += length - glyphAt - 1;
        std::memcpy(page, cell + glyphAt + 1, length - glyphAt - 1);
        page += length - glyphAt - 1;
    }
    m_rowLength = static_cast<std::size_t>(out - m_rowData);
    m_pageRowLength = static_cast<std::size_t>(page - m_pageRow.data());
}

ConversionRun::GlyphCycle ConversionRun::glyphCycle()
{
    RandomGlyphs* random = m_start.glyphSource == GlyphSource::Random ? &m_random : nullptr;
    return GlyphCycle(random, m_definedGlyphs, m_cellCounter);
}

RowOutcome ConversionRun::buildRow(const RowInput& input)
{
    // The sizes may have been edited since the last row; a zero would divide the grid by zero.
    if (input.columns == 0.0 || input.rows == 0.0)
        return RowOutcome::InvalidDimensions;
    const bool random = m_start.glyphSource == GlyphSource::Random;
    if (!random && !m_shaped && input.definedCharacters.empty())
        return RowOutcome::NoDefinedCharacters;
    const std::int64_t cells = loopCount(input.columns);
    if (cells > MaxCellsPerRow || m_cellsDone + std::max<std::int64_t>(cells, 1) > MaxCellsPerRun)
        return RowOutcome::TooLarge;
    if (m_shaped) {
        buildShapedRow(input, cells, m_rowsDone + 1);
        endRow(cells);
        return RowOutcome::Written;
    }

    if (!random)
        useDefinedCharacters(input.definedCharacters);
    const std::int64_t y = m_rowsDone + 1;
    if (m_aheadCount > 0 && sameSampling(m_ahead[0].input, input)) {
        m_colours.swap(m_ahead[0].colours);
        m_beforePalette.swap(m_ahead[0].beforePalette);
        std::swap(m_ahead[0], m_ahead[1]);
        --m_aheadCount;
    } else {
        sampleColours(input, cells, y);
        m_aheadCount = 0;
    }

    const bool transparent = m_transparent
        && m_transparent->mark(input.picture, input.columns, input.rows, cells, y, m_rowCount);
    if (transparent)
        m_transparent->colour(m_colours, m_start.background);
    const bool square = input.mode == CellMode::Square;
    if (m_merged) {
        m_cellGlyphs.resize(static_cast<std::size_t>(cells));
        GlyphCycle glyphs = glyphCycle();
        for (Glyph& glyph : m_cellGlyphs)
            glyph = glyphs.next();
        while (m_merged->plansAhead() && m_aheadCount < m_ahead.size()
            && y + std::int64_t(m_aheadCount) < m_rowCount)
            sampleAhead(input, cells, y + 1 + std::int64_t(m_aheadCount));
        m_merged->build(m_colours, m_cellGlyphs, square,
            transparent ? m_transparent->flags() : std::span<const std::uint8_t>());
        endRow(cells);
        return RowOutcome::Written;
    }
    const std::size_t cellBytes = square ? html::SquareCellLength + 3 : html::LetterCellLength + 3;
    const std::size_t rowBytes = static_cast<std::size_t>(cells) * cellBytes + html::RowEnd.size();
    m_rowAscii = random || m_definedAscii;
    // Only a row that the page holds as the codes do can be built in the page's memory.
    m_rowData = m_rowAscii && m_lender && !transparent ? m_lender->rowMemory(rowBytes) : nullptr;
    if (!m_rowData) {
        reserveRow(rowBytes);
        m_rowData = m_row.get();
    }
    m_cellGlyphs.resize(m_keepCells ? static_cast<std::size_t>(cells) : 0);
    if (m_rowAscii) {
        square ? writeCells<true>(cells) : writeCells<false>(cells);
    } else {
        const std::size_t pageCellBytes = cellBytes - 4 + MostPageGlyph;
        m_pageRow.resize(static_cast<std::size_t>(cells) * pageCellBytes + html::RowEnd.size());
        square ? writeCellsGeneral<true>(cells) : writeCellsGeneral<false>(cells);
        std::memcpy(m_pageRow.data() + m_pageRowLength, html::RowEnd.data(), html::RowEnd.size());
        m_pageRowLength += html::RowEnd.size();
    }
    std::memcpy(m_rowData + m_rowLength, html::RowEnd.data(), html::RowEnd.size());
    m_rowLength += html::RowEnd.size();
    if (transparent)
        spaceTransparentCells(square);
    endRow(cells);
    return RowOutcome::Written;
}

void ConversionRun::addShapeGlyph(char32_t character)
{
    constexpr std::string_view tail(SquareTemplate + SquareGlyph + 1);
    ShapeGlyph& entry = m_shapeGlyphs.emplace_back();
    entry.glyph = glyphFor(character);
    std::memcpy(entry.code.data(), entry.glyph.utf8, entry.glyph.utf8Length);
    std::memcpy(entry.code.data() + entry.glyph.utf8Length, tail.data(), tail.size());
    entry.codeLength = std::uint8_t(entry.glyph.utf8Length + tail.size());
    std::memcpy(entry.page.data(), entry.glyph.page, entry.glyph.pageLength);
    std::memcpy(entry.page.data() + entry.glyph.pageLength, tail.data(), tail.size());
    entry.pageLength = std::uint8_t(entry.glyph.pageLength + tail.size());
}

void ConversionRun::buildShapedRow(const RowInput& input, std::int64_t cells, std::int64_t y)
{
    const ShapedCells& shaped
        = m_shaped->row(input.picture, input.columns, input.rows, cells, y, m_rowCount);
    const auto count = std::size_t(cells);
    m_colours.assign(shaped.foregrounds.begin(), shaped.foregrounds.end());
    m_backgrounds.assign(shaped.backgrounds.begin(), shaped.backgrounds.end());
    treat(m_colours);
    treat(m_backgrounds);
    const bool transparent = m_transparent
        && m_transparent->mark(input.picture, input.columns, input.rows, cells, y, m_rowCount);
    if (transparent) {
        // Over a forum's page (every cell's background given) such a cell shows that page, as
        // its neighbours' backgrounds do; otherwise the page's own.
        ColourValue ground = m_start.shapes->background.value_or(m_start.background);
        if (m_start.shapes->background)
            treat({ &ground, 1 });
        m_transparent->colour(m_colours, ground);
        m_transparent->colour(m_backgrounds, ground);
    }
    m_cellGlyphs.resize(m_keepCells || m_merged ? count : 0);
    for (std::size_t i = 0; i < m_cellGlyphs.size(); ++i)
        m_cellGlyphs[i] = shapeGlyph(shaped.glyphs[i]);
    if (m_textFitted) {
        m_textColours.assign(shaped.textForegrounds.begin(), shaped.textForegrounds.end());
        treat(m_textColours);
        m_textGlyphs.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            m_textGlyphs[i] = shapeGlyph(shaped.textGlyphs[i]);
    }
    if (m_merged) {
        const auto flags = transparent ? m_transparent->flags() : std::span<const std::uint8_t>();
        if (m_mergedText)
            m_mergedText->group(m_textColours, flags);
        m_merged->buildShaped(m_colours, m_backgrounds, m_cellGlyphs, *m_mergedBackgrounds, flags);
        return;
    }

    // Square mode's markup, a cell's two colours in place of its one: the codes take the glyph's
    // UTF-8 bytes, the page its Windows-1252 byte or character reference. Each cell's end is
    // copied whole from its glyph's, over the bytes after it, which the next cell or the row's
    // end write again: the rows have room for it.
    m_rowAscii = false;
    constexpr std::size_t Slack = sizeof(ShapeGlyph::code);
    reserveRow(count * (html::SquareCellLength + 3) + html::RowEnd.size() + Slack);
    m_rowData = m_row.get();
    m_pageRow.resize(
        count * (html::SquareCellLength - 1 + MostPageGlyph) + html::RowEnd.size() + Slack);
    char* out = m_rowData;
    char* page = m_pageRow.data();
    for (std::size_t i = 0; i < count; ++i) {
        const ShapeGlyph& glyph
            = m_shapeGlyphs[std::min<std::size_t>(shaped.glyphs[i], m_shapeGlyphs.size() - 1)];
        const std::uint64_t background = webDigitsWord(m_backgrounds[i]);
        const std::uint64_t ink = webDigitsWord(m_colours[i]);
        std::memcpy(out, SquareTemplate, SquareGlyph);
        std::memcpy(out + SquareBackground, &background, 6);
        std::memcpy(out + SquareColour, &ink, 6);
        std::memcpy(out + SquareGlyph, glyph.code.data(), Slack);
        out += SquareGlyph + glyph.codeLength;
        std::memcpy(page, SquareTemplate, SquareGlyph);
        std::memcpy(page + SquareBackground, &background, 6);
        std::memcpy(page + SquareColour, &ink, 6);
        std::memcpy(page + SquareGlyph, glyph.page.data(), Slack);
        page += SquareGlyph + glyph.pageLength;
    }
    std::memcpy(out, html::RowEnd.data(), html::RowEnd.size());
    m_rowLength = std::size_t(out - m_rowData) + html::RowEnd.size();
    std::memcpy(page, html::RowEnd.data(), html::RowEnd.size());
    m_pageRowLength = std::size_t(page - m_pageRow.data()) + html::RowEnd.size();
    if (transparent)
        spaceTransparentCells(true);
}

void ConversionRun::spaceTransparentCells(bool square)
{
    if (m_rowAscii) {
        // The page and the codes shared the row: the page keeps it as written.
        m_pageRow.assign(m_rowData, m_rowLength);
        m_pageRowLength = m_rowLength;
        m_rowAscii = false;
    }
    const std::size_t cellLength = (square ? html::SquareCellLength : html::LetterCellLength) - 1;
    m_rowLength = m_transparent->spaceCodeRow(m_rowData, m_rowLength, m_cellGlyphs, cellLength);
}

void ConversionRun::skipRows(std::int64_t rows, const RowInput& input)
{
    const std::int64_t cells = loopCount(input.columns);
    // The rows sampled ahead are among those skipped, or before those that follow.
    m_aheadCount = 0;
    if (m_start.glyphSource == GlyphSource::Random) {
        // The glyphs those rows would have drawn, so that the next are the ones they precede.
        for (std::int64_t i = 0; i < rows * cells; ++i)
            m_random.next();
    }
    for (std::int64_t i = 0; i < rows; ++i)
        endRow(cells);
}

void ConversionRun::endRow(std::int64_t cells)
{
    m_cellCounter += static_cast<std::int32_t>(cells);
    m_cellsDone += std::max<std::int64_t>(cells, 1);
    ++m_rowsDone;
}

std::string_view ConversionRun::pageRow() const
{
    if (m_merged)
        return m_merged->pageRow();
    if (m_rowAscii)
        return row();
    return { m_pageRow.data(), m_pageRowLength };
}

int progressPercent(std::int64_t y, double rows)
{
    const double percent = std::floor(double(y) * (100.0 / rows));
    if (!(percent >= 0.0))
        return 0;
    return percent > 100.0 ? 100 : int(percent);
}

} // namespace mosaiq
