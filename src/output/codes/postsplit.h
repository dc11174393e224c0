#pragma once

#include "output/codes/forumdialect.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mosaiq {

struct PostSplit {
    std::vector<std::string> parts;
    // The number (from 1) of the first row too long for a post even alone with the style tags;
    // 0 when every row fits. There are no parts then.
    std::int64_t rowTooLong = 0;
};

// Splits a code into posts of at most limit (in unit), at row boundaries, filling each post with
// as many rows as fit. rows is the code without its style tags and rowEnds where each row ends in
// it; every part starts with opening and ends with closing, so each is well formed on its own, and
// the parts without them, joined, give rows back.
PostSplit splitIntoPosts(std::string_view rows, std::span<const std::size_t> rowEnds,
    std::string_view opening, std::string_view closing, std::size_t limit, LimitUnit unit);

} // namespace mosaiq
