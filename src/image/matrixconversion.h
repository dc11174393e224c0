#pragma once

#include <QtGlobal>

#include <array>
#include <vector>

namespace mosaiq {

// Converts pixels to sRGB through a matrix-and-curves profile (the kind phones and cameras
// embed) or a grey one, by tables and arithmetic of our own: several times quicker than a
// general colour transform, so that a 12-megapixel photo costs little more than its decoding.
// Outputs are 0xAARRGGBB words whose alpha bytes are copied from an input that has them and
// left as they are otherwise; in may be out for the 32-bit inputs.
class MatrixConversion {
public:
    // linear: the profile's curves, the linear light (0-1) of each input level of red, green
    // and blue. toSrgb: the matrix from the profile's linear light to sRGB's.
    MatrixConversion(const std::array<std::array<double, 256>, 3>& linear,
        const std::array<std::array<double, 3>, 3>& toSrgb);
    // grey: the linear light (0-1) of each grey level.
    explicit MatrixConversion(const std::array<double, 256>& grey);

    void convertRgb32(const uchar* in, uchar* out, int width) const; // 0xAARRGGBB words
    void convertGrey32(const uchar* in, uchar* out, int width) const; // the same, grey
    void convertRgb24(const uchar* in, uchar* out, int width) const; // red, green, blue bytes
    void convertRgba32(const uchar* in, uchar* out, int width) const; // and alpha

    // The widest difference of the eight-pixel path from the exact conversion, in sRGB levels,
    // measured when it is made; beyond one level the tables alone are used.
    double wideError() const { return m_wideError; }

private:
    void rgbToBgra(int r, int g, int b, uchar* out) const;
    void fitWide(const std::array<std::array<double, 256>, 3>& linear);

    std::array<quint8, 256> m_grey {};
    // What input channel k at level v adds to the linear light of output channel c, at
    // [c * 3 + k][v], in fixed point; then the sRGB level of each linear value.
    std::array<std::array<qint32, 256>, 9> m_share {};
    std::vector<quint8> m_encode;
    // Eight pixels at a time: each curve as eight cubic pieces over the input levels, the
    // encoding as eight cubic pieces over the square root of linear light, the matrix.
    std::array<std::array<std::array<float, 8>, 4>, 3> m_decodePieces {};
    std::array<std::array<float, 8>, 4> m_encodePieces {};
    std::array<float, 9> m_matrix {};
    double m_wideError = 1e9;
};

} // namespace mosaiq
