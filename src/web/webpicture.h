#pragma once

#include <cstddef>
#include <cstdint>

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
};

// Tells from the file's bytes (size of them at data) who reads it, from its structure alone.
WebPictureHead webPictureHead(const std::uint8_t* data, std::size_t size);

// Decodes a picture that webPictureHead gives to the module into pixels, the head's width x
// height 0xAARRGGBB words, flattened on white as mosaiq-cli flattens a transparent picture: the
// same words as mosaiq-cli's reader. False when the data turned out damaged; the words are then
// not all written.
bool decodeWebPicture(const std::uint8_t* data, std::size_t size, std::uint32_t* pixels);

} // namespace mosaiq
