#include "output/codes/sharedcode.h"

#include <algorithm>

namespace mosaiq {

SharedCode::SharedCode(std::string code)
    : SharedCode(std::make_shared<const std::string>(std::move(code)), 0, std::string::npos)
{
}

SharedCode::SharedCode(std::shared_ptr<const std::string> buffer, std::size_t offset,
    std::size_t size, LineStarts lineStarts)
    : m_lineStarts(std::move(lineStarts))
{
    if (buffer) {
        const std::string_view whole(*buffer);
        m_bytes = whole.substr(std::min(offset, whole.size()), size);
        m_owner = std::move(buffer);
    }
}

SharedCode::SharedCode(
    std::shared_ptr<const void> owner, std::string_view bytes, LineStarts lineStarts)
    : m_owner(std::move(owner))
    , m_bytes(bytes)
    , m_lineStarts(std::move(lineStarts))
{
}

} // namespace mosaiq
