#include "output/preview/previewchoice.h"

#include "convert/htmldocument.h"
#include "output/preview/pagerecord.h"

#include <algorithm>

namespace mosaiq {

namespace {

    // Beyond any page a run can make; keeps the products below within 64 bits.
    constexpr std::int64_t MaxCells = std::int64_t(1) << 40;

} // namespace

PreviewKind previewKindFor(std::int64_t letterCells, std::int64_t squareCells)
{
    // letter / WebLetterCells + square / WebSquareCells <= 1, in whole numbers so that a page
    // right at the limit is not decided by a rounding.
    const std::int64_t letter = std::clamp<std::int64_t>(letterCells, 0, MaxCells);
    const std::int64_t square = std::clamp<std::int64_t>(squareCells, 0, MaxCells);
    return letter * WebSquareCells + square * WebLetterCells <= WebLetterCells * WebSquareCells
        ? PreviewKind::Web
        : PreviewKind::Native;
}

PreviewKind previewKindFor(const PageRecord& record)
{
    return previewKindFor(record.letterCells(), record.squareCells());
}

PreviewKind previewKindForFileSize(std::int64_t bytes)
{
    const auto limit = std::int64_t(std::min(WebLetterCells * std::int64_t(html::LetterCellLength),
        WebSquareCells * std::int64_t(html::SquareCellLength)));
    return bytes <= limit ? PreviewKind::Web : PreviewKind::Native;
}

} // namespace mosaiq
