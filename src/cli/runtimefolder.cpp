#include "cli/runtimefolder.h"

#include <cstdlib>
#include <filesystem>

#include <unistd.h>

namespace mosaiq {

RuntimeFolder::RuntimeFolder()
{
    const char* given = std::getenv("XDG_RUNTIME_DIR");
    if (given && *given)
        return;
    std::error_code error;
    std::string pattern
        = (std::filesystem::temp_directory_path(error) / "mosaiq-cli-runtime-XXXXXX").string();
    // mkdtemp makes it 0700, as Qt asks of a runtime folder.
    if (error || !::mkdtemp(pattern.data()))
        return;
    m_folder = pattern;
    ::setenv("XDG_RUNTIME_DIR", m_folder.c_str(), 1);
}

RuntimeFolder::~RuntimeFolder()
{
    if (m_folder.empty())
        return;
    std::error_code error;
    std::filesystem::remove_all(m_folder, error);
}

} // namespace mosaiq
