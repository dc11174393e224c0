#pragma once

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace mosaiq {

// libjpeg reports a fatal error by calling error_exit, which must not return: it jumps back to
// the setjmp of the decode that owns jump. Warnings about data the decoder patched over are
// ignored, as Qt's reader ignores them, so a slightly damaged photo reads as it does there.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// Gives info the standard error manager of errors, which jumps to errors.jump on a fatal error
// and stays quiet otherwise.
inline void watchJpegErrors(jpeg_decompress_struct& info, JpegErrors& errors)
{
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = [](j_common_ptr common) {
        std::longjmp(reinterpret_cast<JpegErrors*>(common->err)->jump, 1);
    };
    errors.manager.emit_message = [](j_common_ptr, int) {};
}

} // namespace mosaiq
