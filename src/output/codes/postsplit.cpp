#include "output/codes/postsplit.h"

namespace mosaiq {

PostSplit splitIntoPosts(std::string_view rows, std::span<const std::size_t> rowEnds,
    std::string_view opening, std::string_view closing, std::size_t limit, LimitUnit unit)
{
    PostSplit split;
    const std::size_t tags = sizeIn(opening, unit) + sizeIn(closing, unit);
    std::size_t partBegin = 0; // in rows
    std::size_t partSize = tags;
    std::size_t rowBegin = 0;
    auto closePart = [&](std::size_t end) {
        std::string part;
        part.reserve(opening.size() + (end - partBegin) + closing.size());
        part += opening;
        part += rows.substr(partBegin, end - partBegin);
        part += closing;
        split.parts.push_back(std::move(part));
    };
    for (std::size_t r = 0; r < rowEnds.size(); ++r) {
        const std::size_t rowEnd = rowEnds[r];
        const std::size_t rowSize = sizeIn(rows.substr(rowBegin, rowEnd - rowBegin), unit);
        if (tags + rowSize > limit) {
            split.parts.clear();
            split.rowTooLong = std::int64_t(r) + 1;
            return split;
        }
        if (partSize + rowSize > limit) {
            closePart(rowBegin);
            partBegin = rowBegin;
            partSize = tags;
        }
        partSize += rowSize;
        rowBegin = rowEnd;
    }
    if (rowBegin > partBegin || split.parts.empty())
        closePart(rowBegin);
    return split;
}

} // namespace mosaiq
