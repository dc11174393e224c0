#pragma once

#include "output/files/pagefile.h"
#include "output/painting/pagepainter.h"
#include "output/painting/shapespainter.h"
#include "output/png/pageimage.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace mosaiq {

// The page as the preview shows it, saved as a PNG for the sites that take no colour codes:
// the characters in their colours on the page's background, in the page's font or its
// fallback, or for a page of shapes its cells with their two colours (ShapesPainter). It is painted
// and written a strip at a time, the strips painted and packed side by side on threads and written
// in their order, so that a page of millions of cells costs a few tens of megabytes whatever the
// size of the picture. Needs a QGuiApplication (fonts); the offscreen platform will do. Each one
// paints with a font of its own: pictures of a batch are painted on its threads side by side.
class PagePicture : public PageImage {
public:
    // scale: device pixels per CSS pixel (1: the page at 100 %; 2: as sharp at twice the size).
    PagePicture(std::shared_ptr<const PageRecord> record, int scale);

    // The picture's size in pixels.
    std::int64_t width() const override { return m_width; }
    std::int64_t height() const override { return m_height; }
    // Whether a PNG of that size can be written and read back (see PngFile::LargestSide).
    bool fits() const override;

    // Writes the picture to path ("-": the standard output), whole or not at all. False on
    // failure, error then holding the French message.
    bool save(const std::string& path, std::string& error);
    // Writes the picture, which fits(), into file, a strip at a time, each strip painted and
    // compressed on one of threads (0: every core), unless stop() turns true between strips. False
    // on failure or stop, error then holding the French reason.
    bool write(PageFile& file, std::string& error, unsigned threads = 0,
        bool (*stop)() = nullptr) override;

private:
    PagePainter m_painter;
    std::optional<ShapesPainter> m_shapes; // only for a page of shapes
    int m_scale;
    double m_viewWidth = 0;
    std::int64_t m_width = 0;
    std::int64_t m_height = 0;
};

} // namespace mosaiq
