#pragma once

#include "cli/picturemodule.h"
#include "cli/runtimefolder.h"

#include <memory>

class QCoreApplication;

namespace mosaiq {

// The module of pictures: the window's picture reader and the painting of the page, with Qt.
class QtPictures : public PictureModule {
public:
    QtPictures();
    ~QtPictures() override;

    void start(int& argc, char** argv, bool gui) override;
    void finish() override;
    LoadedPicture read(const std::string& path, ReadingThreads threads) override;
    std::unique_ptr<PageImage> paintPage(
        std::shared_ptr<const PageRecord> record, int scale) override;

private:
    // Outlives the application, which may use it until it goes.
    std::unique_ptr<RuntimeFolder> m_runtimeFolder;
    std::unique_ptr<QCoreApplication> m_application;
};

} // namespace mosaiq
