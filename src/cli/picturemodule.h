#pragma once

#include "cli/loadedpicture.h"
#include "image/readingthreads.h"
#include "output/png/pageimage.h"

#include <memory>
#include <string>

namespace mosaiq {

class PageRecord;

// What mosaiq-cli loads only for the jobs that need it (mosaiq-cli-pictures.so, beside the
// program): Qt with its readers, libheif, libtiff and LittleCMS for the pictures that are not
// plain JPEGs, and Qt's GUI to paint the page for --png. Built from the same sources as the
// program, which checks that both carry the same version.
class PictureModule {
public:
    virtual ~PictureModule() = default;

    // Starts Qt (its GUI when gui, offscreen unless the user chose a platform); argc and argv
    // are main's and must outlive finish().
    virtual void start(int& argc, char** argv, bool gui) = 0;
    // Stops Qt before the program ends.
    virtual void finish() = 0;
    // Reads the picture as the window's reader does.
    virtual LoadedPicture read(const std::string& path, ReadingThreads threads) = 0;
    // The page of record as a picture at scale; start(gui) must have run.
    virtual std::unique_ptr<PageImage> paintPage(
        std::shared_ptr<const PageRecord> record, int scale)
        = 0;
};

// The module's one exported function: its PictureModule when version is its own, else null.
inline constexpr const char* PictureModuleEntry = "mosaiq_picture_module";
using PictureModuleEntryFunction = PictureModule* (*)(const char* version);

} // namespace mosaiq
