#pragma once

#include <cstddef>

namespace mosaiq::web {

// The bytes of a file's head that unreadPictureWords looks at.
inline constexpr std::size_t UnreadHeadBytes = 64;

// Why the browser could not read a file, from its first bytes (up to UnreadHeadBytes): that it
// does not read HEIF or TIFF, which the file is, or that the file is no picture it knows.
const char* unreadPictureWords(const unsigned char* head, std::size_t size);

} // namespace mosaiq::web
