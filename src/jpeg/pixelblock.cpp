#include "jpeg/pixelblock.h"

#include <new>
#include <sys/mman.h>

namespace mosaiq {

PixelBlock::PixelBlock(int width, int height)
{
    constexpr std::size_t Huge = std::size_t(2) << 20;
    if (width <= 0 || height <= 0)
        return;
    const std::size_t bytes = std::size_t(width) * 4 * std::size_t(height);
    m_width = width;
    m_height = height;
    if (bytes < 4 * Huge) {
        m_bits = new (std::nothrow) std::uint32_t[bytes / 4];
        return;
    }
    // Over by one huge page, so that the picture can start on a boundary of one.
    void* start
        = ::mmap(nullptr, bytes + Huge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED)
        return;
    m_mapping = start;
    m_mappingSize = bytes + Huge;
    m_bits = reinterpret_cast<std::uint32_t*>(
        (reinterpret_cast<std::uintptr_t>(start) + Huge - 1) & ~std::uintptr_t(Huge - 1));
    ::madvise(m_bits, bytes, MADV_HUGEPAGE);
}

PixelBlock::~PixelBlock()
{
    if (m_mapping)
        ::munmap(m_mapping, m_mappingSize);
    else
        delete[] m_bits;
}

} // namespace mosaiq
