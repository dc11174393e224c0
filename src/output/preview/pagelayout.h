#pragma once

#include "output/preview/pagerecord.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace mosaiq {

// The measures of the page's font at 100 % (7.5 points, 10 CSS pixels), in CSS pixels, per page
// byte. Advances are the font's own, unrounded, as the web engine places glyphs.
struct GlyphMetrics {
    std::array<double, 256> advance {};
    // What the pair a b adds to the advance of a; asked once per pair, when a page first needs
    // it. None: no kerning.
    std::function<double(std::uint8_t a, std::uint8_t b)> pairKerning;
    // Rounded to whole pixels, as the web engine rounds them: a line is ascent + descent +
    // lineGap high, the baseline ascent + lineGap / 2 below its top.
    int ascent = 9;
    int descent = 2;
    int lineGap = 0;

    int lineHeight() const { return ascent + descent + lineGap; }
};

// Whether the page's text collapses the byte with a space before it (white space in HTML).
constexpr bool isCollapsibleSpace(std::uint8_t b)
{
    return b == ' ' || b == '\t';
}

// Where the page's cells lie at 100 %, as the web engine lays them out: each row one line,
// glyph after glyph with their advances and the font's kerning, a run of spaces as one, every
// row 8 pixels in from the body's edge. A row is measured when it is first needed, and a few of
// its positions are kept so that any stretch of it is found without walking it from its start;
// the rest of the page is measured a slice at a time (measureRows), so that showing a page of
// any size costs only the rows in view.
class PageLayout {
public:
    static constexpr double Margin = 8; // the body's margin, CSS pixels
    static constexpr std::size_t MarkStep = 256; // cells between kept positions

    PageLayout(std::shared_ptr<const PageRecord> record, const GlyphMetrics& metrics);

    const PageRecord& record() const { return *m_record; }
    std::shared_ptr<const PageRecord> shared() const { return m_record; }
    const GlyphMetrics& metrics() const { return m_metrics; }
    std::int64_t rowCount() const { return std::int64_t(m_rows.size()); }
    int lineHeight() const { return m_metrics.lineHeight(); }
    double rowWidth(std::int64_t row) const { return measured(row).width; }

    // Measures up to cells more cells of the rows not measured yet, top to bottom; true once
    // every row is measured.
    bool measureRows(std::int64_t cells) const;
    bool allMeasured() const { return m_nextToMeasure >= rowCount(); }
    // The widest of the rows measured so far.
    double widestRow() const { return m_widest; }

    // The page's size for a viewport viewportWidth wide: the widest row measured or the
    // viewport, and every line with the margins (a completed page ends with one empty line
    // more).
    double pageWidth(double viewportWidth) const;
    double pageHeight() const;
    // Left edge of row's first cell: centred rows sit in the middle of the body when they fit in
    // it, and start at the margin when they do not.
    double rowLeft(std::int64_t row, double viewportWidth) const;
    // Top of line `row` (0 for the first): rows below the last are lines of the page too.
    double lineTop(std::int64_t row) const { return Margin + double(row) * lineHeight(); }

    // Calls visit(index, left, right) for the cells of row whose span meets [from, to), relative
    // to the row's left edge, left to right; collapsed spaces, which take no room, are skipped.
    template <typename Visit>
    void forCells(std::int64_t row, double from, double to, Visit visit) const;

private:
    struct Row {
        double width = -1; // not measured yet
        std::vector<double> marks; // x of cells 256, 512... (cell 0 is at 0)
    };
    const Row& measured(std::int64_t row) const;
    // The room cell i takes: its advance and its kerning with the next, none for a space that
    // follows a space or starts the line.
    double cellAdvance(std::span<const PageRecord::Cell> cells, std::size_t i) const
    {
        const std::uint8_t b = PageRecord::byteOf(cells[i]);
        if (isCollapsibleSpace(b)
            && (i == 0 || isCollapsibleSpace(PageRecord::byteOf(cells[i - 1]))))
            return 0;
        return i + 1 < cells.size()
            ? m_metrics.advance[b] + kern(b, PageRecord::byteOf(cells[i + 1]))
            : m_metrics.advance[b];
    }
    // Read for every cell laid out or painted: the pairs already asked are looked up here, the
    // others asked of the font.
    double kern(std::uint8_t a, std::uint8_t b) const
    {
        if (m_kerning.empty())
            return 0;
        const float pair = m_kerning[std::size_t(a) * 256 + b];
        return std::isnan(pair) ? askKerning(a, b) : pair;
    }
    double askKerning(std::uint8_t a, std::uint8_t b) const;

    std::shared_ptr<const PageRecord> m_record;
    GlyphMetrics m_metrics;
    // Measured on demand by const members: the layout is a cache of what the record implies.
    mutable std::vector<Row> m_rows;
    mutable std::vector<float> m_kerning; // NaN: not asked yet
    mutable std::int64_t m_nextToMeasure = 0;
    mutable double m_widest = 0;
};

template <typename Visit>
void PageLayout::forCells(std::int64_t row, double from, double to, Visit visit) const
{
    const std::span<const PageRecord::Cell> cells = m_record->rowCells(row);
    const Row& entry = measured(row);
    // The last kept position at or before from.
    const auto mark = std::upper_bound(entry.marks.begin(), entry.marks.end(), from);
    const std::size_t step = std::size_t(mark - entry.marks.begin());
    double x = step == 0 ? 0.0 : *(mark - 1);
    for (std::size_t i = step * MarkStep; i < cells.size() && x < to; ++i) {
        const double right = x + cellAdvance(cells, i);
        if (right > from && right > x)
            visit(std::int64_t(i), x, right);
        x = right;
    }
}

} // namespace mosaiq
