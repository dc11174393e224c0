#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace mosaiq {

// Who reads a picture handed to the browser's module. The module decodes what browsers decode
// otherwise than mosaiq-cli (a 16-bit PNG rounded, not cut; a PNG's gAMA and cHRM chunks taken as
// mosaiq-cli takes them; JPEG with the same libjpeg): PNG, GIF and BMP through stb_image, a plain
// JPEG (whole, grey or colour, without profile) through jpeg/. What needs a colour conversion
// (an embedded profile, chunks that describe other colours than sRGB's), a CMYK JPEG, a BMP
// run-length coded and any other format are the browser's.
struct WebPictureHead {
    enum class Reader {
        Browser,
        Module,
        Damaged, // the format is known, the data cut short or broken, as mosaiq-cli says
    };
    Reader reader = Reader::Browser;
    // For the module: the picture's size as shown (a JPEG turned as its EXIF orientation says).
    int width = 0;
    int height = 0;
    // For the module: a plain JPEG whose rows come in the picture's order, which two workers
    // may decode a band each (PlainJpegBands).
    bool bands = false;
};

// The opacity of a picture the module holds, flattened a band at a time: a byte a pixel, made
// only once a band has a pixel that is not opaque, as mosaiq-cli keeps it, the pixels before
// it then opaque. Memory refused for it leaves the picture readable by any run but one that
// shows its transparent cells (lost()).
class PictureOpacity {
public:
    // A picture of pixels pixels, opaque until a band says otherwise.
    void reset(std::size_t pixels);
    // Keeps the opacity of count RGBA pixels from pixel first, before they are flattened (the
    // bytes R, G, B, A that flattenRgba takes).
    void keep(const std::uint32_t* rgba, std::size_t first, std::size_t count);
    // The opacity, made opaque first if there was none: for bytes that come on their own;
    // null when the memory for it was refused.
    std::uint8_t* made();
    // Null while every pixel kept is opaque, or when the opacity was lost.
    const std::shared_ptr<std::uint8_t[]>& plane() const { return m_plane; }
    // Whether the picture has pixels that are not opaque whose opacity the memory could not keep.
    bool lost() const { return m_lost; }

private:
    std::shared_ptr<std::uint8_t[]> m_plane;
    std::size_t m_pixels = 0;
    bool m_lost = false;
};

// Tells from the file's bytes (size of them at data) who reads it, from its structure alone.
WebPictureHead webPictureHead(const std::uint8_t* data, std::size_t size);

// Decodes a picture that webPictureHead gives to the module into pixels, the head's width x
// height 0xAARRGGBB words, flattened on white as mosaiq-cli flattens a transparent picture: the
// same words as mosaiq-cli's reader. opacity, when given (reset for the picture), keeps each
// pixel's opacity as that reader keeps it. False when the data turned out damaged; the words are
// then not all written.
bool decodeWebPicture(const std::uint8_t* data, std::size_t size, std::uint32_t* pixels,
    PictureOpacity* opacity = nullptr);

} // namespace mosaiq
