#pragma once

#include "convert/pixelbuffer.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace mosaiq {

// A picture's pixels in memory of its own, as the engine reads them: uninitialised 0xAARRGGBB
// words, rows one after the other. A large picture lies in memory the kernel may map in 2 MB
// pages, as the picture reader's do: a few dozen page faults instead of thousands.
class PixelBlock {
public:
    // Null (isNull()) when the memory cannot be had.
    PixelBlock(int width, int height);
    ~PixelBlock();
    PixelBlock(const PixelBlock&) = delete;
    PixelBlock& operator=(const PixelBlock&) = delete;

    bool isNull() const { return m_bits == nullptr; }
    std::uint32_t* bits() { return m_bits; }
    PixelBuffer pixels() const { return { m_bits, m_width, m_height, m_width }; }

private:
    std::uint32_t* m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
    void* m_mapping = nullptr; // what to unmap, when mapped
    std::size_t m_mappingSize = 0;
};

} // namespace mosaiq
