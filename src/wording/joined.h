#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace mosaiq {

// A sentence made of its pieces, for the texts that name a file, an option or a number.
inline std::string joined(std::initializer_list<std::string_view> pieces)
{
    std::string text;
    for (std::string_view piece : pieces)
        text += piece;
    return text;
}

} // namespace mosaiq
