#pragma once

#include <QImage>

#include <array>
#include <cstdint>
#include <vector>

// The light in which coverage is blended and blocks are averaged: linear light, as the eye adds
// up light over a small area, or the sRGB-encoded values, as most browsers blend text.
enum class Light { Linear, Encoded };

// A colour in the chosen light: red, green, blue, 0 to 1.
using LightColour = std::array<float, 3>;

LightColour lightOf(std::uint32_t rgb, Light light); // 0xRRGGBB
std::uint32_t rgbOf(const LightColour& colour, Light light); // each channel rounded

// A picture of blocks (a cell is 2 x 4 of them), in one light.
struct BlockImage {
    int width = 0;
    int height = 0;
    Light light = Light::Linear;
    std::vector<LightColour> blocks; // row by row

    LightColour& at(int x, int y) { return blocks[std::size_t(y) * std::size_t(width) + x]; }
    const LightColour& at(int x, int y) const
    {
        return blocks[std::size_t(y) * std::size_t(width) + std::size_t(x)];
    }
};

// The picture averaged over width x height equal blocks, each pixel weighted by the share of it
// that falls in the block (the blocks' edges need not fall between pixels).
BlockImage averagePicture(const QImage& picture, int width, int height, Light light);

// The structural similarity of the two images' luma (BT.709 weights on the sRGB-encoded values,
// 0 to 255), with the usual constants (K1 0.01, K2 0.03) and an 11 x 11 Gaussian window of
// standard deviation 1.5 blocks, averaged over every position where the window fits whole.
double lumaSsim(const BlockImage& first, const BlockImage& second);

// The mean CIEDE2000 difference of the blocks, each rounded to 8-bit sRGB first.
double meanCiede2000(const BlockImage& first, const BlockImage& second);
