#pragma once

#include <cstddef>

namespace mosaiq::web {

// Why the browser could not read a file, from its first bytes (64 are enough): that it does not
// read HEIF or TIFF, which the file is, or that the file is no picture it knows.
const char* unreadPictureWords(const unsigned char* head, std::size_t size);

} // namespace mosaiq::web
