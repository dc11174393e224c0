#pragma once

#include <cstdint>

namespace mosaiq {

class PageRecord;

// Which preview shows a page: the embedded web engine, the most faithful, or the preview of
// our own, which shows a page of any size at once.
enum class PreviewKind : std::uint8_t { Web, Native };

// The largest pages the web engine shows within about a second of delivery with all its
// processes under about a gigabyte, measured on a two-core machine
// (bench/output/widgets/webthreshold_bench): in cells of each mode. A page that mixes both
// counts each cell against the limit of its own mode.
inline constexpr std::int64_t WebLetterCells = 20'000;
inline constexpr std::int64_t WebSquareCells = 12'000;

// The preview for a page of letterCells letter cells and squareCells square cells.
PreviewKind previewKindFor(std::int64_t letterCells, std::int64_t squareCells);
PreviewKind previewKindFor(const PageRecord& record);

// For a page known only by its file (the stop button before any run of this session): its
// size in bytes, each cell taken as the cheapest kind for its bytes, so a page too large for
// the web engine in either mode is never given to it.
PreviewKind previewKindForFileSize(std::int64_t bytes);

} // namespace mosaiq
