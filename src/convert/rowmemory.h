#pragma once

#include <cstddef>

namespace mosaiq {

// Memory that whoever writes the page lends the run for its next row, so that a row of the page
// is built where it is written from, not copied there.
class RowMemory {
public:
    virtual ~RowMemory() = default;
    // Room for a row of up to bytes bytes, valid until the row has been written and handed on;
    // nullptr when there is none to lend (the run then builds the row in its own memory).
    virtual char* rowMemory(std::size_t bytes) = 0;
};

} // namespace mosaiq
