#pragma once

#include "convert/colourform.h"
#include "convert/colourvalue.h"
#include "convert/glyph.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mosaiq {

class RunChooser;

// The cells of a row grouped into runs that share one colour tag. A run takes the colour of its
// first cell, and the next cell joins it while its CIEDE2000 difference to that colour is at most
// tolerance (0: equal colours only). The first cell of each run goes into starts; every cell's
// colour becomes its run's, which is the colour the page shows it in.
void groupRuns(
    std::span<ColourValue> colours, double tolerance, std::vector<std::uint32_t>& starts);

// A row written as merged runs, the second row format of the engine (the first gives every cell
// its own markup). Glyphs sit side by side here, so whatever HTML reads as markup is escaped:
// < > & " become &lt; &gt; &amp; &quot;.
class MergedRow {
public:
    // With bestRuns, the runs are RunChooser's, coloured where they can be by colours that forms
    // write short (the bracket code writes those; the page and the HTML code keep #RRGGBB).
    explicit MergedRow(double tolerance, bool bestRuns = false, ColourForms forms = {});
    ~MergedRow();

    // Groups the cells (see groupRuns) and writes the row, "<br>" included: as UTF-8 for the
    // codes and, when some glyph is beyond ASCII, in Windows-1252 for the page.
    //
    // transparent (empty, or a flag a cell): the cells the picture leaves transparent, coloured
    // beforehand as the page's background. No run reaches over them: each stretch of them is a
    // run of its own, which keeps that colour, and is written in the codes' row as no-break
    // spaces without tag, in the page's as its glyphs in that colour, as a row without merged
    // runs has them.
    void build(std::span<ColourValue> colours, std::span<const Glyph> glyphs, bool square,
        std::span<const std::uint8_t> transparent = {});
    // Groups the cells into runs as build() does, writing nothing: the runs of the colours that
    // only a row's text shows, or of a row's backgrounds (see buildShaped).
    void group(std::span<ColourValue> colours, std::span<const std::uint8_t> transparent = {});
    // A row chosen by shape, whose runs share their colours, not their glyphs: the inks grouped
    // here and the backgrounds by backgroundRuns, each background run one span around the font
    // tags of the ink runs in it, cut where it ends. Written as build() writes.
    void buildShaped(std::span<ColourValue> inks, std::span<ColourValue> backgrounds,
        std::span<const Glyph> glyphs, MergedRow& backgroundRuns,
        std::span<const std::uint8_t> transparent = {});
    // Whether the runs of rows are better planned ahead (see planAhead).
    bool plansAhead() const { return m_chooser != nullptr; }
    // The colours of the row that comes after rows after the next one built (1 or 2), whose runs
    // are then planned on another core while this thread builds the rows before it.
    void planAhead(std::span<const ColourValue> colours, std::uint64_t after);

    std::string_view row() const { return { m_row.get(), m_rowLength }; }
    std::string_view pageRow() const
    {
        return m_ascii ? row() : std::string_view(m_pageRow.get(), m_pageRowLength);
    }
    std::span<const std::uint32_t> runStarts() const { return m_starts; }
    // Where the runs' colour tags nest, each run's depth and whether it takes back a tag open
    // around it (see RowFitter::apply); else empty.
    std::span<const std::uint8_t> runNesting() const { return m_nesting; }
    // The cells' colours as sampled, before their runs' replaced them.
    std::span<const ColourValue> sampledColours() const { return m_sampled; }

private:
    void reserve(std::size_t bytes);
    // Whether every glyph is ASCII, and no cell transparent, into m_ascii, and room for a row.
    void prepare(std::span<const Glyph> glyphs, std::span<const std::uint8_t> transparent);
    // Cuts the runs where a stretch of transparent cells begins or ends; those keep their colour.
    void cutAtTransparent(
        std::span<ColourValue> colours, std::span<const std::uint8_t> transparent);

    double m_tolerance;
    std::unique_ptr<RunChooser> m_chooser; // only with bestRuns
    std::vector<std::uint32_t> m_starts;
    std::vector<std::uint8_t> m_nesting;
    std::vector<ColourValue> m_sampled;
    // Both rows are written in buffers that grow only when a row is longer than any before.
    std::unique_ptr<char[]> m_row;
    std::unique_ptr<char[]> m_pageRow; // used only when some glyph is beyond ASCII
    std::size_t m_capacity = 0;
    std::size_t m_rowLength = 0;
    std::size_t m_pageRowLength = 0;
    bool m_ascii = true;
};

} // namespace mosaiq
