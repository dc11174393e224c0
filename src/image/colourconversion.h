#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <memory>

namespace mosaiq {

class MatrixConversion;

// Converts pixels from the colours an ICC profile describes to sRGB, the colours the engine
// samples as they are (LittleCMS). One conversion serves one decode; it shares nothing.
class ColourConversion {
public:
    // How the pixels handed to convert() are laid out.
    enum class Layout {
        Rgb32, // QImage::Format_RGB32 or ARGB32: 0xAARRGGBB words
        Grey32, // the same words holding a grey picture (red = green = blue)
        Rgb24, // 3 bytes a pixel, red first
        Rgba32, // 4 bytes a pixel, red first, alpha last
        Cmyk, // 4 bytes a pixel, 0 = no ink
        CmykInverted, // 4 bytes a pixel, 255 = no ink (Adobe's CMYK JPEGs)
    };

    // Invalid when the profile cannot be read or describes other colours than the layout's
    // (an RGB profile on a grey picture, say): such a profile is ignored, as viewers do.
    ColourConversion(const QByteArray& iccProfile, Layout layout);
    ~ColourConversion();
    ColourConversion(const ColourConversion&) = delete;
    ColourConversion& operator=(const ColourConversion&) = delete;

    bool isValid() const { return m_transform != nullptr || m_tables != nullptr; }

    // Converts rows of width pixels, strides in bytes, into 0xAARRGGBB words; the alpha bytes
    // of the output are copied from an input that has them and left as they are otherwise.
    // in may be out for the 32-bit layouts.
    void convert(const void* in, qsizetype inStride, void* out, qsizetype outStride, int width,
        int rows) const;

    // The ICC profile of an RGB picture described by H.273 code points (colour primaries and
    // transfer characteristics), as HEIF and AVIF files give them; empty when the picture is
    // sRGB already or its transfer is not one shown without tone mapping.
    static QByteArray profileFromCodePoints(int primaries, int transfer);

    // The ICC profile of an RGB picture described by a PNG's gAMA and cHRM chunks without iCCP
    // or sRGB: gamma as the chunk gives it (0.45455 for a 2.2 curve; 0 when there is none),
    // chromaticities the x and y of white, red, green and blue (zeros when there are none).
    // Empty when that is sRGB, or the 2.2 curve and primaries that writers put beside sRGB
    // pixels (the picture is shown as it is, byte for byte), or nonsense.
    static QByteArray profileFromPngChunks(
        double gamma, const std::array<double, 8>& chromaticities);

private:
    bool buildTables(void* profile, Layout layout);

    void* m_context = nullptr;
    void* m_transform = nullptr; // LittleCMS, for profiles made of colour tables
    // Matrix-and-curve profiles (those of phones and cameras) and grey ones, through tables of
    // our own: several times quicker than a general transform, so that a 12-megapixel photo
    // costs little more than its decoding.
    std::unique_ptr<MatrixConversion> m_tables;
    Layout m_layout = Layout::Rgb32;
};

} // namespace mosaiq
