#pragma once

#include <QtGlobal>

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace mosaiq {

// Where the lines of a code break into visual rows at a given width.
//
// The line ends are found in one pass over the code. Rows are laid out lazily, from the top
// and only as far as someone asks, so that a code of tens of megabytes on one line costs
// nothing until the user scrolls into it; every row above the furthest one asked for is exact,
// and the rows below are only estimated (for the scroll bar). Rows break between characters
// (the codes have no spaces to break at). Widths are in fixed-point units of 1/1024 pixel so
// that the inner loop adds integers.
class CodePaneLayout {
public:
    static constexpr qint32 unitsPerPixel = 1024;
    // The advance of a code point outside 7-bit ASCII, in units.
    using Measure = std::function<qint32(char32_t)>;

    // A visual row: bytes [start, end) of the code, never holding a line end.
    struct Row {
        qint64 start = 0;
        qint64 end = 0;
    };

    // code: UTF-8, kept by the caller for as long as the layout uses it. Finds the line ends
    // (LF, or CR LF, which belongs to the line end and is never shown) and forgets all rows.
    // lineStarts: where the lines start (0, then past each LF), when whoever made the code
    // already knows; else they are looked for.
    void setCode(std::string_view code, const std::vector<std::int64_t>* lineStarts = nullptr);
    // ascii: the advance of each 7-bit character, units; measure: that of any other code point
    // (asked once per code point, then remembered). Forgets all rows.
    void setMetrics(const std::array<qint32, 128>& ascii, Measure measure);
    // width: what a row may hold, units. Forgets all rows when it changes. A row always holds
    // at least one character, however narrow.
    void setWidth(qint32 width);
    qint32 width() const { return m_width; }

    qsizetype lineCount() const { return qsizetype(m_lineStarts.size()); }
    qint64 lineStart(qsizetype line) const { return m_lineStarts[size_t(line)]; }
    // Where the line's text ends, before its CR LF or LF.
    qint64 lineEnd(qsizetype line) const;
    // The line holding byte offset (its line end included), for 0 <= offset <= size.
    qsizetype lineOf(qint64 offset) const;

    // Whether every row of the code is laid out.
    bool isComplete() const { return m_nextLine >= lineCount(); }
    int laidRowCount() const { return int(m_rowStarts.size()); }
    // The exact row count once complete; before that, the laid rows plus an estimate of the
    // rest from the average advance of the code's first bytes.
    int estimatedRowCount() const;
    // Lays out rows until at least count are laid or the code is done.
    void layOutRows(int count);
    void layOutAll();
    // The row showing byte offset (an offset where a row wraps belongs to the row it starts);
    // lays out as far as needed.
    int rowOf(qint64 offset);
    // index < laidRowCount().
    Row row(int index) const;

    // The width of bytes [start, end) of one row, units.
    qint32 advance(qint64 start, qint64 end) const;
    // The offset in row index nearest to x (units from the row's left edge).
    qint64 offsetAt(int index, qint32 x) const;
    // The next and previous positions a cursor may take: one character on, a line end
    // (CR LF included) being one step.
    qint64 nextPosition(qint64 offset) const;
    qint64 previousPosition(qint64 offset) const;
    // offset moved back onto the start of the character holding it.
    qint64 characterStart(qint64 offset) const;

private:
    struct Character {
        char32_t codePoint;
        int length;
    };
    Character characterAt(qint64 offset, qint64 end) const;
    qint32 advanceOf(qint64 offset, qint64 end, int* length) const;
    // Where the row starting at start ends, given that its line's text ends at end.
    qint64 wrap(qint64 start, qint64 end) const;
    void layOutRow();
    void forgetRows();
    void measureAverage();

    std::string_view m_code;
    std::vector<qint64> m_lineStarts { 0 };
    std::array<qint32, 128> m_ascii {};
    Measure m_measure;
    mutable std::unordered_map<char32_t, qint32> m_measured;
    qint32 m_width = 0;
    // Average advance per byte, units, for the estimate of the rows not yet laid out.
    double m_averageAdvance = 1.0;

    std::vector<qint64> m_rowStarts;
    // The first row of each line laid out so far (the last one possibly in progress).
    std::vector<int> m_lineFirstRow;
    // The first line not fully laid out, and where its next row starts when it is in progress.
    qsizetype m_nextLine = 0;
    qint64 m_nextRowStart = -1;
};

} // namespace mosaiq
