#pragma once

#include "cli/loadedpicture.h"
#include "image/readingthreads.h"
#include "output/png/pageimage.h"

#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace mosaiq {

class PageRecord;
class PictureModule;

// How mosaiq-cli reads pictures and paints pages. A plain JPEG (whole, grey or colour, without
// colour profile: most photos) is read here, without Qt, which takes longer to load than such a
// photo to convert; every other picture, and the page as a picture (--png), goes through the
// module of pictures, loaded only when a job needs it.
class CliPictures {
public:
    // modulePath: where the module lies (pictureModulePath(), or any path in the tests).
    explicit CliPictures(std::string modulePath);
    // Stops the module's Qt, when it was started.
    ~CliPictures();
    CliPictures(const CliPictures&) = delete;
    CliPictures& operator=(const CliPictures&) = delete;

    // Whether the picture at path is read without the module (reads the file).
    static bool readsAlone(const std::string& path);

    // Loads and starts the module; false, with failure() saying why in French, when it cannot
    // be loaded. argc and argv are main's (see PictureModule::start).
    bool loadModule(int& argc, char** argv, bool gui);
    // Loads the module on a thread of its own while the caller goes on (a photo's conversion
    // takes about as long as Qt takes to load); the first call that needs the module waits for
    // it and starts it on its own thread. For a single run: a batch reads on several threads.
    void loadModuleAside(int& argc, char** argv, bool gui);
    // After a call that needed the module (read, paintPage) failed for want of it.
    const std::string& failure() const { return m_failure; }

    // Reads the picture at path; safe from several threads at once.
    LoadedPicture read(const std::string& path, ReadingThreads threads) const;
    // The page of record as a picture, or null with failure() when the module is not loaded.
    std::unique_ptr<PageImage> paintPage(std::shared_ptr<const PageRecord> record, int scale) const;

private:
    // The module, started, once it is loaded; null when it cannot be (failure() says why).
    PictureModule* module() const;

    std::string m_modulePath;
    // Set once loaded and started; what the first use of a module loaded aside does.
    mutable PictureModule* m_module = nullptr;
    mutable std::string m_failure;
    mutable std::mutex m_starting;
    mutable std::thread m_loader;
    mutable PictureModule* m_loaded = nullptr; // by m_loader, not yet started
    int* m_argc = nullptr;
    char** m_argv = nullptr;
    bool m_gui = false;
};

} // namespace mosaiq
