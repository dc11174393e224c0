#pragma once

#include <cstdint>
#include <string>

namespace mosaiq {

class PageFile;

// The page as a picture (--png), painted by the module of pictures, which alone loads Qt.
class PageImage {
public:
    virtual ~PageImage() = default;

    // The picture's size in pixels.
    virtual std::int64_t width() const = 0;
    virtual std::int64_t height() const = 0;
    // Whether a PNG of that size can be written and read back.
    virtual bool fits() const = 0;
    // Writes the picture, which fits(), into file, a strip at a time, each strip painted and
    // compressed on one of threads (0: every core), unless stop() turns true between strips. False
    // on failure or stop, error then holding the French reason.
    virtual bool write(
        PageFile& file, std::string& error, unsigned threads = 0, bool (*stop)() = nullptr)
        = 0;
};

} // namespace mosaiq
