#include "convert/figures/blockimage.h"

#include "convert/colourdifference.h"
#include "convert/colourvalue.h"
#include "convert/glyphshapes.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float ByteScale = 255.0f;

float encodedOfLinear(float linear)
{
    // The sRGB transfer function.
    constexpr float Knee = 0.0031308f, Slope = 12.92f, Gain = 1.055f, Offset = 0.055f,
                    Exponent = 1.0f / 2.4f;
    return linear <= Knee ? Slope * linear : Gain * std::pow(linear, Exponent) - Offset;
}

int byteOf(float encoded)
{
    return int(std::lround(std::clamp(encoded, 0.0f, 1.0f) * ByteScale));
}

// For each of count equal parts of a side of size pixels, the pixels it overlaps and by how much
// of a pixel, so that a part's weights add up to size / count.
struct Overlap {
    int pixel;
    double weight;
};
std::vector<std::vector<Overlap>> overlaps(int size, int count)
{
    auto parts = std::vector<std::vector<Overlap>>(std::size_t(count));
    const double step = double(size) / double(count);
    for (int part = 0; part < count; ++part) {
        const double begin = part * step, end = (part + 1) * step;
        for (int pixel = int(begin); pixel < size && pixel < end; ++pixel) {
            const double weight = std::min(end, pixel + 1.0) - std::max(begin, double(pixel));
            if (weight > 0)
                parts[std::size_t(part)].push_back({ pixel, weight });
        }
    }
    return parts;
}

std::vector<double> lumaOf(const BlockImage& image)
{
    constexpr double Red = 0.2126, Green = 0.7152, Blue = 0.0722;
    std::vector<double> luma;
    luma.reserve(image.blocks.size());
    for (const LightColour& block : image.blocks) {
        const std::uint32_t rgb = rgbOf(block, image.light);
        luma.push_back(Red * double(rgb >> 16) + Green * double((rgb >> 8) & 0xFF)
            + Blue * double(rgb & 0xFF));
    }
    return luma;
}

constexpr int WindowRadius = 5; // 11 x 11
constexpr double WindowDeviation = 1.5;

std::array<double, 2 * WindowRadius + 1> gaussianWindow()
{
    std::array<double, 2 * WindowRadius + 1> window {};
    double sum = 0;
    for (int i = -WindowRadius; i <= WindowRadius; ++i)
        sum += window[std::size_t(i + WindowRadius)]
            = std::exp(-double(i * i) / (2 * WindowDeviation * WindowDeviation));
    for (double& w : window)
        w /= sum;
    return window;
}

// values (width x height) filtered by the window where it fits whole: (width - 10) x
// (height - 10).
std::vector<double> windowed(const std::vector<double>& values, int width, int height)
{
    static const auto window = gaussianWindow();
    const int outWidth = width - 2 * WindowRadius, outHeight = height - 2 * WindowRadius;
    std::vector<double> across(std::size_t(outWidth) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < outWidth; ++x) {
            double sum = 0;
            for (int i = 0; i < 2 * WindowRadius + 1; ++i)
                sum += window[std::size_t(i)] * values[std::size_t(y) * width + x + i];
            across[std::size_t(y) * outWidth + x] = sum;
        }
    std::vector<double> result(std::size_t(outWidth) * std::size_t(outHeight));
    for (int y = 0; y < outHeight; ++y)
        for (int x = 0; x < outWidth; ++x) {
            double sum = 0;
            for (int i = 0; i < 2 * WindowRadius + 1; ++i)
                sum += window[std::size_t(i)] * across[std::size_t(y + i) * outWidth + x];
            result[std::size_t(y) * outWidth + x] = sum;
        }
    return result;
}

std::vector<double> product(const std::vector<double>& first, const std::vector<double>& second)
{
    std::vector<double> result(first.size());
    for (std::size_t i = 0; i < first.size(); ++i)
        result[i] = first[i] * second[i];
    return result;
}

} // namespace

LightColour lightOf(std::uint32_t rgb, Light light)
{
    const std::array<int, 3> bytes { int(rgb >> 16) & 0xFF, int(rgb >> 8) & 0xFF, int(rgb) & 0xFF };
    LightColour colour;
    for (std::size_t c = 0; c < 3; ++c)
        colour[c] = light == Light::Linear ? mosaiq::srgbToLinear()[std::size_t(bytes[c])]
                                           : float(bytes[c]) / ByteScale;
    return colour;
}

std::uint32_t rgbOf(const LightColour& colour, Light light)
{
    std::uint32_t rgb = 0;
    for (const float channel : colour)
        rgb = rgb << 8
            | std::uint32_t(byteOf(light == Light::Linear ? encodedOfLinear(channel) : channel));
    return rgb;
}

BlockImage averagePicture(const QImage& picture, int width, int height, Light light)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const auto columns = overlaps(rgb.width(), width), rows = overlaps(rgb.height(), height);
    // Each pixel row first averaged across into the blocks' columns, then those down.
    std::vector<std::array<double, 3>> across(std::size_t(rgb.height()) * std::size_t(width));
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            std::array<double, 3> sum {};
            for (const Overlap& o : columns[std::size_t(x)]) {
                const LightColour c = lightOf(line[o.pixel] & 0xFFFFFF, light);
                for (std::size_t k = 0; k < 3; ++k)
                    sum[k] += o.weight * c[k];
            }
            across[std::size_t(y) * width + x] = sum;
        }
    }
    const double area = double(rgb.width()) / width * double(rgb.height()) / height;
    BlockImage image { width, height, light,
        std::vector<LightColour>(std::size_t(width) * height) };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::array<double, 3> sum {};
            for (const Overlap& o : rows[std::size_t(y)])
                for (std::size_t k = 0; k < 3; ++k)
                    sum[k] += o.weight * across[std::size_t(o.pixel) * width + x][k];
            for (std::size_t k = 0; k < 3; ++k)
                image.at(x, y)[k] = float(sum[k] / area);
        }
    return image;
}

double lumaSsim(const BlockImage& first, const BlockImage& second)
{
    constexpr double Range = 255, C1 = (0.01 * Range) * (0.01 * Range),
                     C2 = (0.03 * Range) * (0.03 * Range);
    const int w = first.width, h = first.height;
    const std::vector<double> x = lumaOf(first), y = lumaOf(second);
    const auto meanX = windowed(x, w, h), meanY = windowed(y, w, h);
    const auto squaresX = windowed(product(x, x), w, h), squaresY = windowed(product(y, y), w, h),
               products = windowed(product(x, y), w, h);
    double sum = 0;
    for (std::size_t i = 0; i < meanX.size(); ++i) {
        const double mx = meanX[i], my = meanY[i];
        const double varianceX = squaresX[i] - mx * mx, varianceY = squaresY[i] - my * my,
                     covariance = products[i] - mx * my;
        sum += (2 * mx * my + C1) * (2 * covariance + C2)
            / ((mx * mx + my * my + C1) * (varianceX + varianceY + C2));
    }
    return sum / double(meanX.size());
}

double meanCiede2000(const BlockImage& first, const BlockImage& second)
{
    const auto lab = [](const LightColour& colour, Light light) {
        const std::uint32_t rgb = rgbOf(colour, light);
        return mosaiq::labOf(
            mosaiq::makeColour(int(rgb >> 16), int(rgb >> 8) & 0xFF, int(rgb & 0xFF)));
    };
    double sum = 0;
    for (std::size_t i = 0; i < first.blocks.size(); ++i)
        sum += mosaiq::ciede2000(
            lab(first.blocks[i], first.light), lab(second.blocks[i], second.light));
    return sum / double(first.blocks.size());
}
