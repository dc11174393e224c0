#pragma once

#include "convert/glyphslots.h"
#include "convert/rowloop.h"
#include "web/chunkstream.h"

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace mosaiq {

// The cells of the page for the preview that the page's script draws itself when the page is
// too large for a frame: four bytes a cell, red, green, blue and the glyph's byte (GlyphSlots);
// eight for cells chosen by shape, the ink's red, green, blue and the low byte of the glyph's
// place in the shapes' set, then the background's red, green, blue and the place's high byte: the
// set "all" has more characters than one byte tells apart. The bytes of the characters the page
// writes as references are given in the order of the glyphs given (the defined characters), not
// as the cells meet them, so that the workers that share a run give each character the same byte.
class CellStream : public RowSink {
public:
    // definedGlyphs: the defined characters, whose bytes are slotted first; shapeSet: the glyphs a
    // run by shape may write, in order, or none.
    CellStream(ChunkStream& output, const std::vector<Glyph>& definedGlyphs,
        const std::vector<Glyph>& shapeSet = {});
    bool wantsCells() const override { return true; }
    void rowBuilt(const BuiltRow& row) override;
    // What each glyph byte stands for.
    const GlyphSlots& slots() const { return m_slots; }
    // The characters of the shapes' set, in the order of their places; empty without shapes.
    const std::vector<std::uint32_t>& shapeCharacters() const { return m_shapeCharacters; }

private:
    std::uint16_t placeOf(const Glyph& glyph) const;

    ChunkStream& m_output;
    GlyphSlots m_slots;
    std::vector<std::uint32_t> m_shapeCharacters;
    std::unordered_map<char32_t, std::uint16_t> m_shapePlaces;
    std::string m_row;
};

} // namespace mosaiq
