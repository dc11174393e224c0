#include "cli/outputfile.h"

#include "wording/filewords.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace mosaiq {

namespace {

    // Read once, before main: umask() can only be read by setting it, which must not race with
    // other threads creating files (a batch writes from several).
    const mode_t ProcessUmask = [] {
        const mode_t value = ::umask(0);
        ::umask(value);
        return value;
    }();

} // namespace

bool OutputFile::open()
{
    struct stat status;
    if (::stat(m_path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        if (S_ISDIR(status.st_mode)) {
            m_error = EISDIR;
            return false;
        }
        if (!m_file.open(m_path)) {
            m_error = -1;
            return false;
        }
        return true;
    }
    std::string pattern = m_path + ".XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        m_error = errno;
        return false;
    }
    // mkstemp makes the file private; an output file gets the usual permissions.
    ::fchmod(fd, 0666 & ~ProcessUmask);
    ::close(fd);
    m_temporary = pattern;
    if (!m_file.open(m_temporary)) {
        m_error = -1;
        return false;
    }
    return true;
}

bool OutputFile::commit()
{
    if (!m_file.close()) {
        m_error = -1;
        return false;
    }
    if (!m_temporary.empty() && ::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        m_error = errno;
        return false;
    }
    m_temporary.clear();
    return true;
}

void OutputFile::discard()
{
    m_file.close();
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

std::string OutputFile::errorText() const
{
    return m_error == -1 ? m_file.errorText() : fileErrorText(m_error);
}
} // namespace mosaiq
