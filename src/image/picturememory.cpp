#include "image/picturememory.h"

#include <cstdint>
#include <sys/mman.h>

namespace mosaiq {

namespace {

    struct Mapping {
        void* start;
        size_t size;
    };

    void unmap(void* info)
    {
        auto* mapping = static_cast<Mapping*>(info);
        ::munmap(mapping->start, mapping->size);
        delete mapping;
    }

} // namespace

QImage allocatePicture(int width, int height)
{
    constexpr size_t Huge = size_t(2) << 20;
    if (width <= 0 || height <= 0)
        return {};
    const size_t bytes = size_t(width) * 4 * size_t(height);
    if (bytes < 4 * Huge)
        return QImage(width, height, QImage::Format_RGB32);
    // Over by one huge page, so that the picture can start on a boundary of one.
    void* start
        = ::mmap(nullptr, bytes + Huge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED)
        return {};
    auto* aligned = reinterpret_cast<uchar*>(
        (reinterpret_cast<std::uintptr_t>(start) + Huge - 1) & ~std::uintptr_t(Huge - 1));
    ::madvise(aligned, bytes, MADV_HUGEPAGE);
    return QImage(aligned, width, height, qsizetype(width) * 4, QImage::Format_RGB32, unmap,
        new Mapping { start, bytes + Huge });
}

} // namespace mosaiq
