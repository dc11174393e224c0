#include "output/files/pagefile.h"

#include "output/files/outputtarget.h"
#include "wording/filewords.h"

#include <cerrno>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace mosaiq {

PageFile::~PageFile()
{
    m_background.reset(); // what was written reaches the file, as a stream's buffer would
    if (m_file && m_owned)
        std::fclose(m_file);
}

bool PageFile::open(const std::string& path)
{
    close();
    m_error = 0;
    m_reason.clear();
    // Binary mode: the line ends are written as CR LF by us, never translated.
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file) {
        m_error = errno ? errno : EIO;
        return false;
    }
    m_owned = true;
    setBuffer();
    return true;
}

bool PageFile::adopt(int descriptor)
{
    // A descriptor that failed to open comes with its errno.
    const int opening = errno;
    close();
    m_error = 0;
    m_reason.clear();
    if (descriptor < 0) {
        m_error = opening ? opening : EBADF;
        return false;
    }
    m_file = ::fdopen(descriptor, "wb");
    if (!m_file) {
        m_error = errno ? errno : EIO;
        ::close(descriptor);
        return false;
    }
    m_owned = true;
    setBuffer();
    return true;
}

void PageFile::setBuffer()
{
    // A megabyte keeps the number of system calls down.
    constexpr std::size_t Size = std::size_t(1) << 20;
    if (!m_buffer)
        m_buffer.reset(new char[Size]); // uninitialised: the stream fills it
    std::setvbuf(m_file, m_buffer.get(), _IOFBF, Size);
}

void PageFile::refuse(std::string reason)
{
    close();
    m_error = EINVAL;
    m_reason = std::move(reason);
}

void PageFile::attach(std::FILE* stream)
{
    close();
    m_error = 0;
    m_reason.clear();
    m_file = stream;
    m_owned = false;
}

bool PageFile::writeLine(std::string_view line)
{
    const char* lent = std::exchange(m_lent, nullptr);
    if (lent && line.data() == lent && m_background && !m_error) {
        // The line was made in place.
        return commitLent(line.size()) && write("\r\n");
    }
    return write(line) && write("\r\n") && (!m_flushEachLine || flush());
}

char* PageFile::rowMemory(std::size_t bytes)
{
    // Room for the line end too.
    m_lent = m_flushEachLine ? nullptr : lend(bytes + 2);
    return m_lent;
}

char* PageFile::lend(std::size_t bytes)
{
    if (!m_file || m_error || !m_background)
        return nullptr;
    return m_background->lend(bytes);
}

bool PageFile::commitLent(std::size_t bytes)
{
    if (!m_background || m_error)
        return false;
    if (!m_background->commitLent(bytes)) {
        m_error = m_background->error();
        return false;
    }
    return true;
}

void PageFile::writeInBackground(bool startWriteback, int ahead)
{
    // What the stream holds goes first.
    if (!m_file || m_background || !flush())
        return;
    m_background = std::make_unique<BackgroundWrites>(::fileno(m_file), startWriteback, ahead);
}

bool PageFile::write(std::string_view bytes)
{
    if (!m_file) {
        if (!m_error)
            m_error = EBADF;
        return false;
    }
    if (m_error)
        return false;
    if (m_background) {
        if (!m_background->add(bytes)) {
            m_error = m_background->error();
            return false;
        }
        return true;
    }
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        m_error = errno ? errno : EIO;
        return false;
    }
    return true;
}

bool PageFile::flush()
{
    if (!m_file || m_error)
        return false;
    if (m_background) {
        if (!m_background->finish()) {
            m_error = m_background->error();
            return false;
        }
        return true;
    }
    errno = 0;
    if (std::fflush(m_file) != 0) {
        m_error = errno ? errno : EIO;
        return false;
    }
    return true;
}

bool PageFile::close()
{
    if (!m_file)
        return m_error == 0;
    if (m_background) {
        if (!m_background->finish() && !m_error)
            m_error = m_background->error();
        m_background.reset();
        m_lent = nullptr;
    }
    errno = 0;
    const bool flushed = std::fflush(m_file) == 0;
    if (!flushed && !m_error)
        m_error = errno ? errno : EIO;
    if (m_owned && std::fclose(m_file) != 0 && !m_error)
        m_error = errno ? errno : EIO;
    m_file = nullptr;
    m_owned = false;
    return m_error == 0;
}

std::string PageFile::errorText() const
{
    return m_reason.empty() ? fileErrorText(m_error) : m_reason;
}

void EarlierPage::release(int descriptor)
{
    if (m_closing.joinable())
        m_closing.join();
    try {
        m_closing = std::jthread([descriptor] { ::close(descriptor); });
    } catch (const std::system_error&) {
        ::close(descriptor);
    }
}

bool openPageInPlace(PageFile& page, const std::string& path, EarlierPage& earlier)
{
    const OutputTarget target = resolveOutputTarget(path);
    switch (target.way) {
    case OutputTarget::Way::Refused:
        page.refuse(target.reasonText());
        return false;
    case OutputTarget::Way::Replace: {
        if (target.exists) {
            const int descriptor = ::open(target.path.c_str(), O_RDONLY | O_CLOEXEC);
            ::unlink(target.path.c_str());
            if (descriptor >= 0)
                earlier.release(descriptor);
        }
        std::string created;
        const int descriptor = createLikeTarget(target, false, created);
        // Something made the name again meanwhile: it is written in place.
        if (descriptor >= 0 || errno != EEXIST)
            return page.adopt(descriptor);
        break;
    }
    case OutputTarget::Way::StandardOutput:
    case OutputTarget::Way::InPlace:
    case OutputTarget::Way::Refill:
        break;
    }
    return page.open(path);
}

} // namespace mosaiq
