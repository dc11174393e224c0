#pragma once

#include "convert/glyphshapes.h"
#include "convert/oklab.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace mosaiq {

// One cell's character and its colours, chosen by the shape of the picture in the cell.
struct ShapeChoice {
    static constexpr std::uint16_t NoGlyph = 0xFFFF;
    char32_t character = U' ';
    // Its place among the set's glyphs, in glyphShapes()' order; NoGlyph for a block of no pixel.
    std::uint16_t glyph = NoGlyph;
    std::uint32_t foreground = 0; // 0xRRGGBB, the ink's
    std::uint32_t background = 0; // 0xRRGGBB
    // How far the glyph so drawn is from the cell: the mean squared OKLab distance over the
    // ShapeColumns x ShapeRows samples (0: the same; a black sample beside a white one is 1).
    float error = 0;
};

// Chooses for a cell of the picture the glyph of a set, with a foreground and a background, whose
// ink drawn in the foreground over the background is nearest to the cell in OKLab, by least
// squares over the glyph's coverage samples (glyphshapes.h): the cell's pixels are averaged in
// linear light onto the same samples, whatever the cell's size.
//
// Not every glyph is fitted: the cell's samples are split in two by 2-means, and only the
// shortlist glyphs whose ink, cut at half coverage, differs from that split in the fewest samples
// are fitted exactly, by the closed form of the two-colour fit. The colours are then kept within
// the cell's own range, channel by channel.
//
// The choice depends on the cell's pixels and the matcher's settings alone, in an order fixed for
// every build. A matcher keeps its scratch memory: one per thread, none allocated per cell once
// the largest cell has been seen.
class ShapeMatcher {
public:
    static constexpr int DefaultShortlist = 8;

    // set: the glyphs to choose from (the union of several bits). background: none, both colours
    // are chosen for each cell; else the background every cell has (0xRRGGBB, a page's colour)
    // and only the foreground is chosen. shortlist: how many glyphs are fitted exactly, at least
    // 1; the set's size or more fits them all.
    explicit ShapeMatcher(ShapeSet set, std::optional<std::uint32_t> background = {},
        int shortlist = DefaultShortlist);

    // The choice for the block of width x height pixels whose top left word is at pixels, rows
    // stride words apart (0xAARRGGBB, alpha ignored). width and height are at least 1; a block
    // of no pixel gets a black space.
    //
    // A block of one colour takes the set's glyph with most ink, the full block where the set
    // has it, in that colour on itself (or on the given background): the ink alone shows it, in
    // the codes that colour only the text, and no other glyph does better.
    ShapeChoice match(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
        std::ptrdiff_t stride);

    // Whether match() gives a block of one colour the fullest glyph, in that colour (on the given
    // background), which a caller may then write without asking: always, but over a background
    // when the set has no full glyph. That glyph's place.
    bool fillsUniformBlocks() const
    {
        return !m_glyphs.empty() && (!m_background || m_glyphs[m_fullest].full);
    }
    std::uint16_t fullestGlyph() const { return std::uint16_t(m_fullest); }

    // How many glyphs the set holds.
    std::size_t glyphCount() const { return m_glyphs.size(); }

private:
    struct Glyph {
        char32_t character;
        double coverage; // the coverages' sum, 0-1 each
        double coverageSquares; // the sum of their squares
        double inverseSpread; // 1 / (samples x coverageSquares - coverage^2); 0 when uniform
        bool full;
    };
    struct Weight {
        std::int32_t pixel; // along the side, from the block's edge
        std::int32_t sample;
        float overlap; // in 1/ShapeColumns (or 1/ShapeRows) of a pixel
    };
    struct Fit {
        double error;
        OkLab foreground, background;
    };

    void prepareWeights(std::int32_t width, std::int32_t height);
    void averageSamples(const std::uint32_t* pixels, std::ptrdiff_t stride);
    void convertSamples();
    std::array<std::uint64_t, ShapeSamples / 64> splitSamples() const;
    void shortlistBy(const std::array<std::uint64_t, ShapeSamples / 64>& split);
    Fit fit(std::size_t glyph) const;
    ShapeChoice uniformChoice(std::uint32_t rgb);

    std::vector<Glyph> m_glyphs;
    std::vector<float> m_coverage; // ShapeSamples a glyph, 0-1, in m_glyphs' order
    // The samples each glyph covers at least half, a bit each, in two words: all first words,
    // then all second words, so that the distances to a split are one loop of vector units.
    std::vector<std::uint64_t> m_ink;
    std::size_t m_fullest = 0; // the glyph with most ink
    std::optional<OkLab> m_background;
    std::uint32_t m_backgroundRgb = 0;
    std::size_t m_shortlistSize;

    // Scratch, kept from cell to cell.
    std::int32_t m_width = 0, m_height = 0;
    std::vector<Weight> m_columnWeights, m_rowWeights;
    std::vector<float> m_rows; // a block row's linear red, green, blue on each sample column
    std::array<std::array<float, ShapeSamples>, 3> m_linear {};
    std::array<std::array<float, ShapeSamples>, 3> m_samples {}; // OKLab l, a, b
    std::array<float, 3> m_low {}, m_high {}; // the samples' range by channel
    std::array<double, 3> m_sum {}; // the samples' sum by channel
    double m_sumSquares = 0; // their squared lengths' sum
    std::vector<std::uint32_t> m_distance; // each glyph's to the split
    std::vector<std::size_t> m_shortlist;
    std::vector<std::uint32_t> m_shortlistDistance;
};

} // namespace mosaiq
