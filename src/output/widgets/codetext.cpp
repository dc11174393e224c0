#include "output/widgets/codetext.h"

namespace mosaiq {

// The codes are ASCII but for the characters the user chose: widening ASCII in blocks is several
// times faster than Qt's general conversion.
QString codeToText(std::string_view code)
{
    QString text(qsizetype(code.size()), Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(text.data());
    const auto* in = reinterpret_cast<const unsigned char*>(code.data());
    constexpr std::size_t Block = 64;
    std::size_t done = 0;
    while (done + Block <= code.size()) {
        unsigned char high = 0;
        for (std::size_t k = 0; k < Block; ++k)
            high |= in[done + k];
        if (high & 0x80)
            break;
        for (std::size_t k = 0; k < Block; ++k)
            out[done + k] = in[done + k];
        done += Block;
    }
    // From the first block with a character beyond ASCII, Qt decodes the rest.
    text.truncate(qsizetype(done));
    if (done < code.size())
        text += QString::fromUtf8(code.data() + done, qsizetype(code.size() - done));
    return text;
}

} // namespace mosaiq
