#pragma once

#include <cstdint>
#include <vector>

namespace mosaiq {

// Where the cells sample the picture. Cell x of m (counted from 1) samples pixel column
// nearest(x * ((W - 1) / m)): the quotient first, then the product, both in double precision,
// to the nearest integer with ties to even. So the last cell samples W - 1 and the first does
// not sample 0. Rows work the same way with H and n.
class SampleGrid {
public:
    // A coordinate too far from the picture to be held is given as this, which lies outside any
    // picture and so reads as the invalid colour.
    static constexpr std::int64_t Outside = INT64_MIN / 2;

    // The pixel coordinate of cell index (from 1) along a side of size pixels divided into count.
    static std::int64_t coordinate(std::int64_t index, std::int32_t size, double count);

    // The sample columns of cells 1..cells of a row, into columns (reused from row to row).
    static void columns(
        std::vector<std::int64_t>& columns, std::int64_t cells, std::int32_t width, double count);

    // The pixels a cell covers when it is chosen by the shape of the picture rather than by one
    // sample: cell i (from 0) of a side of size pixels divided into count spans
    // [edges[i], edges[i] + spans[i]), where edge(i) = nearest(i * (size / count)), ties to even,
    // kept within the picture. So the blocks tile the side without gap or overlap, and a cell
    // that would cover no pixel (more cells than pixels) takes the one its edge falls on: every
    // cell is at least one pixel, but on a side of no pixel, where it is none.
    static void blockEdges(std::vector<std::int32_t>& edges, std::vector<std::int32_t>& spans,
        std::int64_t cells, std::int32_t size, double count);
};

} // namespace mosaiq
