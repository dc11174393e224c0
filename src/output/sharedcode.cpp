#include "output/sharedcode.h"

#include <algorithm>

namespace mosaiq {

SharedCode::SharedCode(std::string code)
    : SharedCode(std::make_shared<const std::string>(std::move(code)), 0, std::string::npos)
{
}

SharedCode::SharedCode(std::shared_ptr<const std::string> buffer, std::size_t offset,
    std::size_t size, std::shared_ptr<const std::vector<std::int64_t>> lineStarts)
    : m_buffer(std::move(buffer))
    , m_lineStarts(std::move(lineStarts))
{
    const std::size_t length = m_buffer ? m_buffer->size() : 0;
    m_offset = std::min(offset, length);
    m_size = std::min(size, length - m_offset);
}

std::string_view SharedCode::view() const
{
    if (!m_buffer)
        return {};
    return std::string_view(*m_buffer).substr(m_offset, m_size);
}

} // namespace mosaiq
