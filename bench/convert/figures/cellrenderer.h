#pragma once

#include "convert/figures/blockimage.h"
#include "convert/figures/textgrid.h"

#include <QImage>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <array>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

// Draws text cells as a browser shows mosaiq-cli's page: each cell one advance of the monospace
// font wide and from its ascender to its descender high (the cell the shapes were drawn in), its
// background filled, its glyph drawn unhinted in its ink over it with coverage blending in the
// chosen light; a glyph the monospace font lacks comes from the fallback font, centred in the
// cell; one neither has is left out (counted). Every program's cells are drawn by this one
// renderer in the same fonts.
class CellRenderer {
public:
    static constexpr int BlockColumns = 2, BlockRows = 4; // the blocks of a cell

    // The paths of DejaVu Sans Mono and DejaVu Sans. Throws std::runtime_error when FreeType
    // cannot open them.
    CellRenderer(const std::string& monospacePath, const std::string& fallbackPath);
    ~CellRenderer();
    CellRenderer(const CellRenderer&) = delete;
    CellRenderer& operator=(const CellRenderer&) = delete;

    // The cells drawn and averaged onto 2 x 4 blocks a cell.
    BlockImage renderBlocks(const TextGrid& grid, Light light);
    // The cells drawn at cellWidth x cellHeight pixels each.
    QImage renderImage(const TextGrid& grid, int cellWidth, int cellHeight, Light light);

    // The characters of the grids drawn so far that neither font has.
    const std::set<char32_t>& missingGlyphs() const { return m_missing; }
    // How many cells of the last grid drawn had such a character.
    int lastMissingCells() const { return m_lastMissingCells; }

private:
    using BlockCoverage = std::array<float, BlockColumns * BlockRows>;

    // The share of each of width x height pixels of the cell that the glyph covers, row by row.
    std::vector<float> cellCoverage(char32_t glyph, int width, int height);
    const BlockCoverage& blockCoverage(char32_t glyph);
    void countMissing(const TextGrid& grid);

    FT_Library m_library = nullptr;
    FT_Face m_monospace = nullptr;
    FT_Face m_fallback = nullptr;
    std::unordered_map<char32_t, BlockCoverage> m_blockCoverage;
    std::set<char32_t> m_missing;
    int m_lastMissingCells = 0;
};
