#include "output/files/streamedcode.h"

namespace mosaiq {

StreamedCode::StreamedCode(std::string path, CodeWrapping tags)
    : m_output(std::move(path))
    , m_tags(std::move(tags))
{
}

bool StreamedCode::open()
{
    return m_output.open() && m_output.file().write(m_tags.opening);
}

bool StreamedCode::finish()
{
    return m_output.file().write(m_tags.closing) && m_output.file().close();
}

} // namespace mosaiq
