#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace mosaiq {

// A fuzzer's input read as a stream of choices; past its end every choice is 0, so that every
// input, however short, makes a whole case.
struct FuzzBytes {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;

    std::uint8_t next() { return at < size ? data[at++] : 0; }
    std::string text(std::size_t maxLength)
    {
        std::string s;
        for (std::size_t n = next() % (maxLength + 1); n > 0; --n)
            s += char(next());
        return s;
    }
};

} // namespace mosaiq
