#include "cli/streamedcode.h"

namespace mosaiq {

StreamedCode::StreamedCode(std::string path, CodeWrapping tags, RowText rowText)
    : m_output(std::move(path))
    , m_tags(std::move(tags))
    , m_rowText(std::move(rowText))
{
}

bool StreamedCode::open()
{
    return m_output.open() && m_output.file().write(m_tags.opening);
}

void StreamedCode::rowBuilt(const BuiltRow& row)
{
    // After a failure the run is about to end: nothing more is written.
    m_output.file().write(m_rowText(row));
}

bool StreamedCode::finish()
{
    return m_output.file().write(m_tags.closing) && m_output.file().close();
}

std::string StreamedCode::errorText()
{
    return m_output.file().failed() ? m_output.file().errorText() : m_output.errorText();
}

} // namespace mosaiq
