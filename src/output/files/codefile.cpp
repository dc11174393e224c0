#include "output/files/codefile.h"

namespace mosaiq {

std::string PostFiles::partPath(std::size_t number) const
{
    return m_path + "." + std::to_string(number);
}

// Each post goes to its file whole and the file is closed at once: a code of millions of rows
// makes tens of thousands of posts, more than a process may hold open.
bool PostFiles::post(std::string_view opening, std::string_view rows, std::string_view closing)
{
    auto output = std::make_unique<OutputFile>(partPath(m_parts.size() + 1));
    const bool written = output->open() && output->file().write(opening)
        && output->file().write(rows) && output->file().write(closing) && output->file().close();
    if (!written) {
        m_failure = output->failureText();
        return false;
    }
    m_parts.push_back(std::move(output));
    return true;
}

bool PostFiles::commit()
{
    for (const auto& part : m_parts) {
        if (!part->commit()) {
            m_failure = part->failureText();
            return false;
        }
    }
    return true;
}

} // namespace mosaiq
