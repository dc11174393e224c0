// The one-pass blog-code translation must give what the twelve steps give, for any text.
#include "output/codes/blogcode.h"
#include "support/blogcodereference.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view html(reinterpret_cast<const char*>(data), size);
    if (mosaiq::HtmlToBlogCode(html) != mosaiq::HtmlToBlogCodeStepByStep(html))
        std::abort();
    return 0;
}
