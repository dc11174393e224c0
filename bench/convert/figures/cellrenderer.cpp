#include "convert/figures/cellrenderer.h"

#include "convert/glyphshapes.h"

#include FT_BITMAP_H
#include FT_OUTLINE_H

#include <cmath>
#include <stdexcept>

namespace {

// A glyph's coverage of each block is measured on this many pixels a block side: FreeType's grey
// levels are the outline's exact area in each pixel, so the mean is the block's to within a pixel.
constexpr int BlockPixels = 32;
constexpr int CellUnits = mosaiq::ShapeFontAscender + mosaiq::ShapeFontDescender;
constexpr float GreyLevels = 255.0f;

FT_Face openFace(FT_Library library, const std::string& path)
{
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), 0, &face))
        throw std::runtime_error("FreeType cannot open " + path);
    return face;
}

LightColour blend(const LightColour& ground, const LightColour& ink, float coverage)
{
    LightColour colour;
    for (std::size_t c = 0; c < 3; ++c)
        colour[c] = ground[c] + (ink[c] - ground[c]) * coverage;
    return colour;
}

} // namespace

CellRenderer::CellRenderer(const std::string& monospacePath, const std::string& fallbackPath)
{
    if (FT_Init_FreeType(&m_library))
        throw std::runtime_error("FreeType does not start");
    m_monospace = openFace(m_library, monospacePath);
    m_fallback = openFace(m_library, fallbackPath);
}

CellRenderer::~CellRenderer()
{
    FT_Done_Face(m_fallback);
    FT_Done_Face(m_monospace);
    FT_Done_FreeType(m_library);
}

std::vector<float> CellRenderer::cellCoverage(char32_t glyph, int width, int height)
{
    std::vector<float> coverage(std::size_t(width) * std::size_t(height), 0.0f);
    FT_Face face = FT_Get_Char_Index(m_monospace, glyph) ? m_monospace : m_fallback;
    const FT_UInt index = FT_Get_Char_Index(face, glyph);
    if (index == 0) {
        m_missing.insert(glyph);
        return coverage;
    }
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP)
        || face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
        return coverage;

    // Font units to 26.6 pixels of the cell, its bottom left at the descender, the glyph's own
    // advance centred in the monospace one.
    const double scaleX = double(width) / mosaiq::ShapeFontAdvance,
                 scaleY = double(height) / CellUnits;
    FT_Outline& outline = face->glyph->outline;
    const FT_Matrix scale { FT_Fixed(std::lround(65536.0 * 64.0 * scaleX)), 0, 0,
        FT_Fixed(std::lround(65536.0 * 64.0 * scaleY)) };
    FT_Outline_Transform(&outline, &scale);
    const double shift = (mosaiq::ShapeFontAdvance - face->glyph->advance.x) / 2.0;
    FT_Outline_Translate(&outline, FT_Pos(std::lround(64.0 * shift * scaleX)),
        FT_Pos(std::lround(64.0 * mosaiq::ShapeFontDescender * scaleY)));

    std::vector<unsigned char> grey(coverage.size(), 0);
    FT_Bitmap bitmap;
    FT_Bitmap_Init(&bitmap);
    bitmap.rows = unsigned(height);
    bitmap.width = unsigned(width);
    bitmap.pitch = width; // rows from the top
    bitmap.buffer = grey.data();
    bitmap.num_grays = 256;
    bitmap.pixel_mode = FT_PIXEL_MODE_GRAY;
    if (FT_Outline_Get_Bitmap(m_library, &outline, &bitmap) == 0)
        for (std::size_t i = 0; i < grey.size(); ++i)
            coverage[i] = float(grey[i]) / GreyLevels;
    return coverage;
}

const CellRenderer::BlockCoverage& CellRenderer::blockCoverage(char32_t glyph)
{
    if (const auto found = m_blockCoverage.find(glyph); found != m_blockCoverage.end())
        return found->second;
    constexpr int Width = BlockColumns * BlockPixels, Height = BlockRows * BlockPixels;
    const std::vector<float> pixels = cellCoverage(glyph, Width, Height);
    BlockCoverage blocks {};
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            blocks[std::size_t((y / BlockPixels) * BlockColumns + x / BlockPixels)]
                += pixels[std::size_t(y) * Width + std::size_t(x)];
    for (float& block : blocks)
        block /= float(BlockPixels * BlockPixels);
    return m_blockCoverage.emplace(glyph, blocks).first->second;
}

void CellRenderer::countMissing(const TextGrid& grid)
{
    m_lastMissingCells = 0;
    for (const TextCell& cell : grid.cells)
        m_lastMissingCells += m_missing.count(cell.glyph) ? 1 : 0;
}

BlockImage CellRenderer::renderBlocks(const TextGrid& grid, Light light)
{
    BlockImage image { grid.columns * BlockColumns, grid.rows * BlockRows, light,
        std::vector<LightColour>(
            std::size_t(grid.columns) * std::size_t(grid.rows) * BlockColumns * BlockRows) };
    for (int row = 0; row < grid.rows; ++row)
        for (int column = 0; column < grid.columns; ++column) {
            const TextCell& cell = grid.at(column, row);
            const BlockCoverage& coverage = blockCoverage(cell.glyph);
            const LightColour ink = lightOf(cell.ink, light), ground = lightOf(cell.ground, light);
            for (int y = 0; y < BlockRows; ++y)
                for (int x = 0; x < BlockColumns; ++x)
                    image.at(column * BlockColumns + x, row * BlockRows + y)
                        = blend(ground, ink, coverage[std::size_t(y * BlockColumns + x)]);
        }
    countMissing(grid);
    return image;
}

QImage CellRenderer::renderImage(const TextGrid& grid, int cellWidth, int cellHeight, Light light)
{
    QImage image(grid.columns * cellWidth, grid.rows * cellHeight, QImage::Format_RGB32);
    std::unordered_map<char32_t, std::vector<float>> coverages;
    for (int row = 0; row < grid.rows; ++row)
        for (int column = 0; column < grid.columns; ++column) {
            const TextCell& cell = grid.at(column, row);
            auto found = coverages.find(cell.glyph);
            if (found == coverages.end())
                found
                    = coverages.emplace(cell.glyph, cellCoverage(cell.glyph, cellWidth, cellHeight))
                          .first;
            const LightColour ink = lightOf(cell.ink, light), ground = lightOf(cell.ground, light);
            for (int y = 0; y < cellHeight; ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(row * cellHeight + y));
                for (int x = 0; x < cellWidth; ++x)
                    line[column * cellWidth + x] = 0xFF000000u
                        | rgbOf(blend(ground, ink,
                                    found->second[std::size_t(y) * cellWidth + std::size_t(x)]),
                            light);
            }
        }
    countMissing(grid);
    return image;
}
