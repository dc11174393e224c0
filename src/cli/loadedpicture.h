#pragma once

#include "convert/pixelbuffer.h"
#include "image/pictureerror.h"

#include <memory>
#include <string>

namespace mosaiq {

// A picture as mosaiq-cli converts it, whoever read it: the engine's view of its pixels and
// what keeps them, or why it could not be read.
struct LoadedPicture {
    PixelBuffer pixels;
    std::shared_ptr<const void> owner; // the pixels live as long as this does
    PictureError error = PictureError::None;
    std::string failure; // the French reason, when not read

    bool isNull() const { return error != PictureError::None || pixels.pixels == nullptr; }
};

} // namespace mosaiq
