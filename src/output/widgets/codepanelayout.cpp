#include "output/widgets/codepanelayout.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace mosaiq {

namespace {

    bool isContinuation(unsigned char byte)
    {
        return (byte & 0xC0) == 0x80;
    }

    // Bytes taken by the UTF-8 sequence that byte starts; 0 when it cannot start one.
    int sequenceLength(unsigned char byte)
    {
        if (byte < 0x80)
            return 1;
        if (byte < 0xC2)
            return 0;
        if (byte < 0xE0)
            return 2;
        if (byte < 0xF0)
            return 3;
        if (byte < 0xF5)
            return 4;
        return 0;
    }

    // How many bytes of the code are sampled to estimate the rows not yet laid out.
    constexpr qint64 averageSample = 64 * 1024;

} // namespace

void CodePaneLayout::setCode(std::string_view code, const std::vector<std::int64_t>* lineStarts)
{
    m_code = code;
    m_lineStarts.assign(1, 0);
    if (lineStarts && !lineStarts->empty() && lineStarts->front() == 0) {
        m_lineStarts.assign(lineStarts->begin(), lineStarts->end());
        measureAverage();
        forgetRows();
        return;
    }
    const char* data = code.data();
    const char* end = data + code.size();
    for (const char* p = data; p < end;) {
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        if (!lf)
            break;
        p = lf + 1;
        m_lineStarts.push_back(p - data);
    }
    measureAverage();
    forgetRows();
}

void CodePaneLayout::setMetrics(const std::array<qint32, 128>& ascii, Measure measure)
{
    m_ascii = ascii;
    m_measure = std::move(measure);
    m_measured.clear();
    measureAverage();
    forgetRows();
}

void CodePaneLayout::setWidth(qint32 width)
{
    if (width == m_width)
        return;
    m_width = width;
    forgetRows();
}

qint64 CodePaneLayout::lineEnd(qsizetype line) const
{
    if (line + 1 >= lineCount())
        return qint64(m_code.size());
    qint64 end = m_lineStarts[size_t(line + 1)] - 1;
    if (end > m_lineStarts[size_t(line)] && m_code[size_t(end - 1)] == '\r')
        --end;
    return end;
}

qsizetype CodePaneLayout::lineOf(qint64 offset) const
{
    auto next = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), offset);
    return qsizetype(next - m_lineStarts.begin()) - 1;
}

int CodePaneLayout::estimatedRowCount() const
{
    if (isComplete())
        return laidRowCount();
    const double width = std::max<double>(m_width, 1.0);
    double rows = laidRowCount();
    qsizetype line = m_nextLine;
    if (m_nextRowStart >= 0) {
        rows += std::ceil(double(lineEnd(line) - m_nextRowStart) * m_averageAdvance / width);
        ++line;
    }
    const double lines = double(lineCount() - line);
    if (lines > 0) {
        const double bytes = double(qint64(m_code.size()) - lineStart(line));
        // A line's last row is half empty on average.
        rows += std::max(lines, bytes * m_averageAdvance / width + lines / 2);
    }
    return int(std::min(rows, double(INT_MAX - 1)));
}

void CodePaneLayout::layOutRows(int count)
{
    while (!isComplete() && laidRowCount() < count)
        layOutRow();
}

void CodePaneLayout::layOutAll()
{
    while (!isComplete())
        layOutRow();
}

int CodePaneLayout::rowOf(qint64 offset)
{
    offset = std::clamp<qint64>(offset, 0, qint64(m_code.size()));
    while (
        !isComplete() && (m_nextRowStart >= 0 ? m_nextRowStart : lineStart(m_nextLine)) <= offset)
        layOutRow();
    const qsizetype line = lineOf(offset);
    const int first = m_lineFirstRow[size_t(line)];
    const int last = size_t(line + 1) < m_lineFirstRow.size() ? m_lineFirstRow[size_t(line + 1)]
                                                              : laidRowCount();
    auto next = std::upper_bound(m_rowStarts.begin() + first, m_rowStarts.begin() + last, offset);
    return std::max(first, int(next - m_rowStarts.begin()) - 1);
}

CodePaneLayout::Row CodePaneLayout::row(int index) const
{
    Row row;
    row.start = m_rowStarts[size_t(index)];
    auto nextLine = std::upper_bound(m_lineFirstRow.begin(), m_lineFirstRow.end(), index);
    const qsizetype line = qsizetype(nextLine - m_lineFirstRow.begin()) - 1;
    const bool lineGoesOn = nextLine == m_lineFirstRow.end() || index + 1 < *nextLine;
    if (lineGoesOn && index + 1 < laidRowCount())
        row.end = m_rowStarts[size_t(index + 1)];
    else if (line == m_nextLine && m_nextRowStart >= 0)
        row.end = m_nextRowStart;
    else
        row.end = lineEnd(line);
    return row;
}

qint32 CodePaneLayout::advance(qint64 start, qint64 end) const
{
    qint32 used = 0;
    for (qint64 p = start; p < end;) {
        int length = 1;
        used += advanceOf(p, end, &length);
        p += length;
    }
    return used;
}

qint64 CodePaneLayout::offsetAt(int index, qint32 x) const
{
    const Row r = row(index);
    qint32 used = 0;
    for (qint64 p = r.start; p < r.end;) {
        int length = 1;
        const qint32 a = advanceOf(p, r.end, &length);
        if (x < used + a / 2)
            return p;
        used += a;
        p += length;
    }
    return r.end;
}

qint64 CodePaneLayout::nextPosition(qint64 offset) const
{
    const qsizetype line = lineOf(offset);
    const qint64 end = lineEnd(line);
    if (offset >= end)
        return line + 1 < lineCount() ? lineStart(line + 1) : end;
    return offset + characterAt(offset, end).length;
}

qint64 CodePaneLayout::previousPosition(qint64 offset) const
{
    const qsizetype line = lineOf(offset);
    if (offset > lineEnd(line))
        return lineEnd(line);
    if (offset <= lineStart(line))
        return line > 0 ? lineEnd(line - 1) : 0;
    return characterStart(offset - 1);
}

qint64 CodePaneLayout::characterStart(qint64 offset) const
{
    const qint64 size = qint64(m_code.size());
    offset = std::clamp<qint64>(offset, 0, size);
    qint64 p = offset;
    for (int back = 0; back < 3 && p > 0 && p < size
         && isContinuation(static_cast<unsigned char>(m_code[size_t(p)]));
         ++back)
        --p;
    // A stray continuation byte is a character of its own (see characterAt).
    if (p != offset && p + characterAt(p, size).length > offset)
        return p;
    return offset;
}

CodePaneLayout::Character CodePaneLayout::characterAt(qint64 offset, qint64 end) const
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(m_code.data()) + offset;
    const int length = sequenceLength(bytes[0]);
    if (length == 1)
        return { bytes[0], 1 };
    // A byte that starts no complete sequence stands for itself, as the conversion to
    // QString turns it into one replacement character.
    if (length == 0 || offset + length > end)
        return { 0xFFFD, 1 };
    char32_t codePoint = bytes[0] & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if (!isContinuation(bytes[i]))
            return { 0xFFFD, 1 };
        codePoint = (codePoint << 6) | (bytes[i] & 0x3F);
    }
    return { codePoint, length };
}

qint32 CodePaneLayout::advanceOf(qint64 offset, qint64 end, int* length) const
{
    const auto byte = static_cast<unsigned char>(m_code[size_t(offset)]);
    if (byte < 0x80) {
        *length = 1;
        return m_ascii[byte];
    }
    const Character c = characterAt(offset, end);
    *length = c.length;
    auto known = m_measured.find(c.codePoint);
    if (known != m_measured.end())
        return known->second;
    const qint32 a = m_measure ? m_measure(c.codePoint) : m_ascii['o'];
    m_measured.emplace(c.codePoint, a);
    return a;
}

qint64 CodePaneLayout::wrap(qint64 start, qint64 end) const
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(m_code.data());
    const qint32* ascii = m_ascii.data();
    const qint32 width = m_width;
    qint32 used = 0;
    qint64 p = start;
    while (p < end) {
        // The codes are almost all ASCII: eight characters are taken at once while they fit,
        // which keeps a whole 60 MB line to a few tens of milliseconds.
        while (end - p >= 8) {
            std::uint64_t eight;
            std::memcpy(&eight, bytes + p, 8);
            if (eight & 0x8080808080808080u)
                break;
            const qint32 sum = ascii[eight & 0xFF] + ascii[(eight >> 8) & 0xFF]
                + ascii[(eight >> 16) & 0xFF] + ascii[(eight >> 24) & 0xFF]
                + ascii[(eight >> 32) & 0xFF] + ascii[(eight >> 40) & 0xFF]
                + ascii[(eight >> 48) & 0xFF] + ascii[eight >> 56];
            if (used + sum > width) {
                // The row ends within these eight: find where.
                for (;; ++p) {
                    const qint32 a = ascii[bytes[p]];
                    if (used + a > width && p > start)
                        return p;
                    used += a;
                }
            }
            used += sum;
            p += 8;
        }
        if (p >= end)
            break;
        int length = 1;
        const qint32 a = advanceOf(p, end, &length);
        if (used + a > width && p > start)
            return p;
        used += a;
        p += length;
    }
    return p;
}

void CodePaneLayout::layOutRow()
{
    const qsizetype line = m_nextLine;
    const qint64 end = lineEnd(line);
    qint64 start = m_nextRowStart;
    if (start < 0) {
        m_lineFirstRow.push_back(laidRowCount());
        start = lineStart(line);
    }
    m_rowStarts.push_back(start);
    const qint64 stop = start < end ? wrap(start, end) : end;
    if (stop >= end) {
        ++m_nextLine;
        m_nextRowStart = -1;
    } else {
        m_nextRowStart = stop;
    }
}

void CodePaneLayout::forgetRows()
{
    m_rowStarts.clear();
    m_lineFirstRow.clear();
    m_nextLine = 0;
    m_nextRowStart = -1;
}

void CodePaneLayout::measureAverage()
{
    const qint64 sample = std::min<qint64>(qint64(m_code.size()), averageSample);
    qint64 sampleEnd = characterStart(sample);
    if (sampleEnd <= 0) {
        m_averageAdvance = std::max(m_ascii['o'], 1);
        return;
    }
    m_averageAdvance = std::max(double(advance(0, sampleEnd)) / double(sampleEnd), 1.0);
}

} // namespace mosaiq
