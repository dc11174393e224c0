#pragma once

#include <cstdint>
#include <string>

namespace mosaiq {

// The page as a picture (--png), painted by the module of pictures, which alone loads Qt.
class PageImage {
public:
    virtual ~PageImage() = default;

    // The picture's size in pixels.
    virtual std::int64_t width() const = 0;
    virtual std::int64_t height() const = 0;
    // Whether a PNG of that size can be written and read back.
    virtual bool fits() const = 0;
    // Writes the picture to path ("-": the standard output), whole or not at all. False on
    // failure, error then holding the French message.
    virtual bool save(const std::string& path, std::string& error) = 0;
};

} // namespace mosaiq
