#include "cli/qtpictures.h"

#include "image/picturereader.h"
#include "output/painting/pagepicture.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstring>

namespace mosaiq {

QtPictures::QtPictures() = default;

QtPictures::~QtPictures()
{
    finish();
}

void QtPictures::start(int& argc, char** argv, bool gui)
{
    // Image format plugins are found through the application object; no display is needed. The
    // picture of the page needs fonts, hence Qt's GUI, which starts offscreen unless the user
    // chose a platform: a terminal without a display must do.
    if (gui) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        m_runtimeFolder = std::make_unique<RuntimeFolder>();
        m_application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        m_application = std::make_unique<QCoreApplication>(argc, argv);
    }
    setUpPictureReading();
}

void QtPictures::finish()
{
    m_application.reset();
    m_runtimeFolder.reset();
}

LoadedPicture QtPictures::read(const std::string& path, ReadingThreads threads)
{
    const Picture picture = readPictureNative(path, threads);
    LoadedPicture loaded;
    if (picture.isNull()) {
        loaded.error = picture.error == PictureError::None ? PictureError::Damaged : picture.error;
        loaded.failure = pictureErrorText(picture).toStdString();
        return loaded;
    }
    auto kept = std::make_shared<const Picture>(picture);
    loaded.pixels = kept->pixels();
    loaded.owner = std::move(kept);
    return loaded;
}

std::unique_ptr<PageImage> QtPictures::paintPage(
    std::shared_ptr<const PageRecord> record, int scale)
{
    return std::make_unique<PagePicture>(std::move(record), scale);
}

} // namespace mosaiq

// The one function the program looks up: everything else stays inside the module.
extern "C" __attribute__((visibility("default"))) mosaiq::PictureModule* mosaiq_picture_module(
    const char* version)
{
    static mosaiq::QtPictures pictures;
    return std::strcmp(version, MOSAIQ_VERSION) == 0 ? &pictures : nullptr;
}
