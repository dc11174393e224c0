#pragma once

namespace mosaiq {

// The largest picture accepted, in pixels; 4 bytes each once decoded. Plain C++, so that
// mosaiq-cli's reading without Qt keeps the same limit.
inline constexpr long long MaxPicturePixels = 400'000'000;

} // namespace mosaiq
