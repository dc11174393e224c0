#pragma once

#include "convert/rowloop.h"
#include "output/codes/forumdialect.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace mosaiq {

// The bracket code of a run in one dialect, written from the cells as the rows come: one colour
// tag per cell, or per run of merged cells, glyphs escaped as the dialect needs, each row ended
// by CR LF. Every tag is closed, in the order opened, within its row. Where the forms read nested
// colour tags and the row's runs nest (BuiltRow::runNesting), a run that takes back a tag still
// open writes no tag of its own.
class BracketCode : public RowSink {
public:
    // rowCount: the rows the run will make, to reserve once. With keepText false only the sizes
    // are kept (the code of a grid being tried for size). forms: the colour texts written where
    // shorter than #RRGGBB, from the dialect's for the best runs; none by default.
    BracketCode(const ForumDialect& dialect, std::int64_t rowCount, bool keepText = true,
        ColourForms forms = {});

    bool wantsCells() const override { return true; }
    void rowBuilt(const BuiltRow& row) override;

    const ForumDialect& dialect() const { return m_dialect; }

    // The rows so far, without the style tags around them.
    std::string_view rows() const { return m_rows; }
    // The last row made, CR LF included, kept or not: what a code written as it comes takes.
    std::string_view lastRow() const { return m_row; }
    // Where each row ends in rows(), CR LF included.
    const std::vector<std::size_t>& rowEnds() const { return m_rowEnds; }
    // The characters of all rows so far, and the longest row in the dialect's unit: what a size
    // budget and a post limit look at, kept even without the text.
    std::size_t characters() const { return m_characters; }
    std::size_t longestRow() const { return m_longestRow; }
    // Where each row is a message of its own: the first row (from 1) past the dialect's post
    // limit, its line end aside; 0 when none.
    std::int64_t firstRowPastLimit() const { return m_firstRowPastLimit; }
    // The size of all rows so far in unit.
    std::size_t size(LimitUnit unit) const
    {
        return unit == LimitUnit::Bytes ? m_bytes : m_characters;
    }

    // The tags that open and close the whole code for style: bold innermost, centre outermost;
    // a style the dialect has no tag for is left out.
    std::string openingTags(const StyleFlags& style) const;
    std::string closingTags(const StyleFlags& style) const;

    // The whole code, style tags included; the rows are handed over, not copied.
    std::string takeCode(const StyleFlags& style);

private:
    void appendGlyph(const Glyph& glyph, bool square);
    // The colour codes of a chat dialect: a code where the code changes, a reset at the end.
    void writeChatRow(const BuiltRow& row);
    // Counts the row just written and keeps it.
    void finishRow(const BuiltRow& row);
    // The runs of a row whose colour tags nest.
    void writeNestedRuns(const BuiltRow& row, bool square);
    // Closes the innermost colour tags until depth are open.
    void closeTo(std::size_t depth, bool square);
    // A row chosen by shape, each cell in its background and ink.
    void writeShapedRow(const BuiltRow& row);
    // tag (ending in "#") with colour's text.
    void open(std::string_view tag, ColourValue colour);
    void openTag(ColourValue colour, bool square);
    void closeTag(bool square);
    bool standsAlone(const Glyph& glyph) const;

    const ForumDialect& m_dialect;
    std::int64_t m_rowCount;
    bool m_keepText;
    ColourForms m_forms;
    std::string m_rows;
    std::string m_row; // the row being written
    std::vector<std::size_t> m_rowEnds;
    std::size_t m_characters = 0;
    std::size_t m_bytes = 0;
    std::int64_t m_firstRowPastLimit = 0;
    std::unordered_map<ColourValue, int> m_chatCodes; // a chat dialect's code of each colour
    std::size_t m_longestRow = 0;
    std::vector<ColourValue> m_openColours; // of the nested tags open, the outermost first
};

} // namespace mosaiq
