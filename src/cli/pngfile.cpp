#include "cli/pngfile.h"

#include <png.h>

#include <bit>
#include <csetjmp>
#include <string_view>

namespace mosaiq {

namespace {

    // libpng reports its errors by jumping back to the setjmp of the call that failed (no
    // object with a destructor lives in the functions that set one); the caller tells the user.
    [[noreturn]] void jumpBack(png_structp png, png_const_charp)
    {
        png_longjmp(png, 1);
    }

    void ignoreWarning(png_structp, png_const_charp) { }

} // namespace

PngFile::PngFile(PageFile& file)
    : m_file(file)
{
    m_png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, jumpBack, ignoreWarning);
    if (m_png)
        m_info = png_create_info_struct(m_png);
    if (!m_png || !m_info) {
        m_failed = true;
        return;
    }
    png_set_write_fn(m_png, this, &PngFile::writeBytes, &PngFile::flushBytes);
}

PngFile::~PngFile()
{
    if (m_png)
        png_destroy_write_struct(&m_png, m_info ? &m_info : nullptr);
}

void PngFile::writeBytes(png_struct_def* png, std::uint8_t* bytes, std::size_t size)
{
    auto* self = static_cast<PngFile*>(png_get_io_ptr(png));
    if (!self->m_file.write(std::string_view(reinterpret_cast<const char*>(bytes), size)))
        self->m_failed = true;
}

void PngFile::flushBytes(png_struct_def*) { }

bool PngFile::begin(std::int64_t width, std::int64_t height)
{
    if (m_failed || width < 1 || height < 1 || width > LargestSide || height > LargestSide)
        return false;
    if (setjmp(png_jmpbuf(m_png))) {
        m_failed = true;
        return false;
    }
    png_set_IHDR(m_png, m_info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
        PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Large flat areas of background: the fastest level packs them nearly as well.
    png_set_compression_level(m_png, 1);
    png_write_info(m_png, m_info);
    // Format_RGB32 words are 0xffRRGGBB: B, G, R, 0xff in memory on a little-endian machine.
    if constexpr (std::endian::native == std::endian::little) {
        png_set_bgr(m_png);
        png_set_filler(m_png, 0, PNG_FILLER_AFTER);
    } else {
        png_set_filler(m_png, 0, PNG_FILLER_BEFORE);
    }
    m_height = height;
    return !m_failed;
}

bool PngFile::writeLines(const std::uint8_t* first, std::int64_t stride, int count)
{
    if (m_failed || m_height == 0 || m_written + count > m_height)
        return false;
    if (setjmp(png_jmpbuf(m_png))) {
        m_failed = true;
        return false;
    }
    for (int i = 0; i < count; ++i)
        png_write_row(m_png, first + i * stride);
    m_written += count;
    return !m_failed;
}

bool PngFile::finish()
{
    if (m_failed || m_height == 0 || m_written != m_height)
        return false;
    if (setjmp(png_jmpbuf(m_png))) {
        m_failed = true;
        return false;
    }
    png_write_end(m_png, m_info);
    return !m_failed;
}

} // namespace mosaiq
