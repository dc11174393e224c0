#pragma once

#include "image/pictureerror.h"

namespace mosaiq {

// Why a picture could not be read, as one French sentence without the file's name (UTF-8).
// Empty for PictureError::None.
const char* pictureErrorWords(PictureError error);

} // namespace mosaiq
