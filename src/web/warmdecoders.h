#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace mosaiq {

// A small picture built into the module as bytes (warmpictures.cpp, which the build makes from
// src/web/warm-*.jpg).
struct WarmPicture {
    const std::uint8_t* data;
    std::size_t size;
};
std::span<const WarmPicture> warmPictures();

// Decodes each built-in picture times times, as the module starts (a JPEG also in two bands, as
// two workers decode a photo they share): the browser compiles a
// module's functions fully only once they have run a while, and the first photo's decode ran
// on the quick first compilation at about three times the time. Returns how many of them the
// module decoded every time: all, unless their memory was refused.
int warmDecoders(int times);

} // namespace mosaiq
