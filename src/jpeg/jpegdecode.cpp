#include "jpeg/jpegdecode.h"

namespace mosaiq {

JpegDecode::JpegDecode()
{
    m_info.err = jpeg_std_error(&m_errors.manager);
    m_errors.manager.error_exit = [](j_common_ptr common) {
        std::longjmp(reinterpret_cast<Errors*>(common->err)->jump, 1);
    };
    m_errors.manager.emit_message = [](j_common_ptr, int) {};
}

// Runs step, which calls libjpeg, with the jump of a fatal error landing here. The jump skips
// step's frame and libjpeg's: step must hold nothing that needs destroying.
template <class Step> bool JpegDecode::guarded(Step&& step)
{
    if (setjmp(m_errors.jump))
        return false;
    return step();
}

bool JpegDecode::readHeader(const std::uint8_t* data, std::size_t size)
{
    close(); // a second file starts a decode of its own
    return guarded([&] {
        jpeg_create_decompress(&m_info);
        m_created = true;
        jpeg_mem_src(&m_info, data, static_cast<unsigned long>(size));
        return jpeg_read_header(&m_info, TRUE) == JPEG_HEADER_OK;
    });
}

bool JpegDecode::start(J_COLOR_SPACE space)
{
    return guarded([&] {
        m_info.out_color_space = space;
        return jpeg_start_decompress(&m_info) == TRUE;
    });
}

bool JpegDecode::readRows(std::uint8_t* rows, std::ptrdiff_t stride, int count)
{
    return guarded([&] {
        for (int r = 0; r < count; ++r) {
            JSAMPROW row = rows + r * stride;
            if (jpeg_read_scanlines(&m_info, &row, 1) != 1)
                return false;
        }
        return true;
    });
}

bool JpegDecode::skipRows(int count)
{
    return guarded([&] {
        return count <= 0 || jpeg_skip_scanlines(&m_info, JDIMENSION(count)) == JDIMENSION(count);
    });
}

bool JpegDecode::finish()
{
    return guarded([&] {
        jpeg_finish_decompress(&m_info);
        return true;
    });
}

void JpegDecode::close()
{
    if (m_created)
        jpeg_destroy_decompress(&m_info);
    m_created = false;
}

} // namespace mosaiq
