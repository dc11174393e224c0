#include "output/files/outputfile.h"

#include "wording/cliwords.h"
#include "wording/filewords.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mosaiq {

bool OutputFile::open()
{
    m_target = resolveOutputTarget(m_path);
    switch (m_target.way) {
    case OutputTarget::Way::Refused:
        m_error = TargetRefused;
        return false;
    case OutputTarget::Way::StandardOutput:
    case OutputTarget::Way::InPlace:
        if (!m_file.adopt(openInPlace(m_target, true))) {
            m_error = FileFailed;
            return false;
        }
        return true;
    case OutputTarget::Way::Replace: {
        const int descriptor = createLikeTarget(m_target, true, m_temporary);
        if (descriptor >= 0) {
            if (m_file.adopt(descriptor))
                return true;
            m_error = FileFailed;
            return false;
        }
        m_temporary.clear();
        // A file that may be written in a folder where nothing may be created is refilled.
        if (!m_target.exists || (errno != EACCES && errno != EPERM)) {
            m_error = errno;
            return false;
        }
        m_target.way = OutputTarget::Way::Refill;
        break;
    }
    case OutputTarget::Way::Refill:
        break;
    }
    // Opened now, so that a file that cannot be written is told before the run.
    m_destination = openInPlace(m_target, false);
    if (m_destination < 0) {
        m_error = errno;
        return false;
    }
    return openTemporary();
}

bool OutputFile::openTemporary()
{
    // Beside the file, in the same file system; else in the temporary folder. It stays private.
    m_temporary = m_target.path + ".XXXXXX";
    int descriptor = ::mkostemp(m_temporary.data(), O_CLOEXEC);
    if (descriptor < 0) {
        std::error_code error;
        m_temporary = (std::filesystem::temp_directory_path(error) / "mosaiq-XXXXXX").string();
        descriptor = ::mkostemp(m_temporary.data(), O_CLOEXEC);
    }
    if (descriptor < 0) {
        m_error = errno;
        m_temporary.clear();
        return false;
    }
    if (!m_file.adopt(descriptor)) {
        m_error = FileFailed;
        return false;
    }
    return true;
}

bool OutputFile::commit()
{
    if (!m_file.close()) {
        m_error = FileFailed;
        return false;
    }
    if (m_target.way == OutputTarget::Way::Replace) {
        if (::rename(m_temporary.c_str(), m_target.path.c_str()) != 0) {
            m_error = errno;
            return false;
        }
        m_temporary.clear();
    } else if (m_target.way == OutputTarget::Way::Refill) {
        if (!copyIntoTarget())
            return false;
        discard();
    }
    return true;
}

bool OutputFile::copyIntoTarget()
{
    const int source = ::open(m_temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0 || ::ftruncate(m_destination, 0) != 0) {
        m_error = errno;
        if (source >= 0)
            ::close(source);
        return false;
    }
    std::vector<char> buffer(std::size_t(1) << 20);
    bool copied = true;
    for (;;) {
        const ssize_t size = ::read(source, buffer.data(), buffer.size());
        if (size < 0 && errno == EINTR)
            continue;
        if (size <= 0) {
            copied = size == 0;
            break;
        }
        for (ssize_t done = 0; copied && done < size;) {
            const ssize_t written
                = ::write(m_destination, buffer.data() + done, std::size_t(size - done));
            if (written < 0 && errno != EINTR)
                copied = false;
            else if (written > 0)
                done += written;
        }
        if (!copied)
            break;
    }
    if (!copied)
        m_error = errno ? errno : EIO;
    ::close(source);
    if (::close(m_destination) != 0 && copied) {
        copied = false;
        m_error = errno;
    }
    m_destination = -1;
    return copied;
}

void OutputFile::uncacheReplaced() const
{
    if (!replacesFile())
        return;
    // Only a regular file that is still the one found at open(): opening something else could
    // do something (a device) or wait (a pipe).
    struct stat before;
    if (::lstat(m_target.path.c_str(), &before) != 0 || !S_ISREG(before.st_mode))
        return;
    const int descriptor
        = ::open(m_target.path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    struct stat opened;
    if (::fstat(descriptor, &opened) == 0 && S_ISREG(opened.st_mode)
        && opened.st_ino == before.st_ino && opened.st_dev == before.st_dev)
        ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED);
    ::close(descriptor);
}

void OutputFile::discard()
{
    m_file.close();
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
    m_temporary.clear();
    if (m_destination >= 0)
        ::close(m_destination);
    m_destination = -1;
}

std::string OutputFile::errorText() const
{
    if (m_error == 0 && m_file.failed())
        return m_file.errorText();
    switch (m_error) {
    case FileFailed:
        return m_file.errorText();
    case TargetRefused:
        return m_target.reasonText();
    default:
        return fileErrorText(m_error);
    }
}

std::string OutputFile::failureText(const std::string& reason) const
{
    if (m_path == "-")
        return cli::cannotWriteStandardOutput(reason);
    return cli::cannotWriteFile(m_path, reason);
}

} // namespace mosaiq
