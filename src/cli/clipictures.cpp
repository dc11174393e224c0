#include "cli/clipictures.h"

#include "cli/moduleloader.h"
#include "cli/picturemodule.h"
#include "image/picturelimit.h"
#include "jpeg/plainjpeg.h"
#include "wording/picturewords.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace mosaiq {

namespace {

    LoadedPicture failed(PictureError error, std::string failure = {})
    {
        LoadedPicture picture;
        picture.error = error;
        picture.failure = failure.empty() ? pictureErrorWords(error) : std::move(failure);
        return picture;
    }

} // namespace

CliPictures::CliPictures(std::string modulePath)
    : m_modulePath(std::move(modulePath))
{
}

CliPictures::~CliPictures()
{
    if (m_loader.joinable())
        m_loader.join();
    if (m_module)
        m_module->finish();
}

bool CliPictures::readsAlone(const std::string& path)
{
    struct stat status;
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0)
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    std::vector<std::uint8_t> bytes(std::size_t(status.st_size));
    const bool whole = ::read(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    ::close(fd);
    int orientation = 1;
    return whole && isPlainJpeg(bytes.data(), bytes.size(), orientation);
}

bool CliPictures::loadModule(int& argc, char** argv, bool gui)
{
    m_argc = &argc;
    m_argv = argv;
    m_gui = gui;
    return module() != nullptr;
}

void CliPictures::loadModuleAside(int& argc, char** argv, bool gui)
{
    m_argc = &argc;
    m_argv = argv;
    m_gui = gui;
    try {
        m_loader = std::thread([this] {
            const ModuleLoad load = loadPictureModule(m_modulePath);
            m_loaded = load.module;
            m_failure = load.failure;
        });
    } catch (const std::system_error&) {
        // No thread to be had: loaded when first needed.
    }
}

PictureModule* CliPictures::module() const
{
    const std::lock_guard lock(m_starting);
    if (m_module || !m_argc)
        return m_module;
    if (m_loader.joinable()) {
        m_loader.join();
    } else if (!m_loaded && m_failure.empty()) {
        const ModuleLoad load = loadPictureModule(m_modulePath);
        m_loaded = load.module;
        m_failure = load.failure;
    }
    if (m_loaded) {
        // Qt starts on the thread that first needs it, the program's own.
        m_loaded->start(*m_argc, m_argv, m_gui);
        m_module = std::exchange(m_loaded, nullptr);
    }
    return m_module;
}

LoadedPicture CliPictures::read(const std::string& path, ReadingThreads threads) const
{
    // With a helper thread to spare, a photo's rows are converted as they are decoded.
    const PlainJpeg plain = readPlainJpeg(path, MaxPicturePixels,
        threads == ReadingThreads::WithHelper ? JpegRows::Arriving : JpegRows::Whole);
    switch (plain.outcome) {
    case PlainJpeg::Outcome::Decoded: {
        LoadedPicture picture;
        picture.pixels = plain.pixels;
        picture.owner = plain.owner;
        return picture;
    }
    case PlainJpeg::Outcome::Damaged:
        return failed(PictureError::Damaged);
    case PlainJpeg::Outcome::TooLarge:
        return failed(PictureError::TooLarge);
    case PlainJpeg::Outcome::NotPlain:
        break;
    }
    if (PictureModule* loaded = module())
        return loaded->read(path, threads);
    // Not loaded although needed: it is missing, or the file changed since it was looked at.
    return m_failure.empty() ? failed(PictureError::Unreadable)
                             : failed(PictureError::NotAPicture, m_failure);
}

std::unique_ptr<PageImage> CliPictures::paintPage(
    std::shared_ptr<const PageRecord> record, int scale) const
{
    PictureModule* loaded = module();
    return loaded ? loaded->paintPage(std::move(record), scale) : nullptr;
}

} // namespace mosaiq
