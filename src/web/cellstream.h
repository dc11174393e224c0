#pragma once

#include "convert/glyphslots.h"
#include "convert/rowloop.h"
#include "web/chunkstream.h"

#include <array>
#include <string>
#include <vector>

namespace mosaiq {

// The cells of the page for the preview that the page's script draws itself when the page is
// too large for a frame: four bytes a cell, red, green, blue and the glyph's byte (GlyphSlots);
// eight for cells chosen by shape, the ink's four then the background's red, green, blue and a
// zero. The bytes of the characters the page writes as references are given in the order of the
// glyphs given (the defined characters, or the shapes' set), not as the cells meet them, so that
// the workers that share a run give each character the same byte.
class CellStream : public RowSink {
public:
    CellStream(ChunkStream& output, const std::vector<Glyph>& definedGlyphs)
        : m_output(output)
    {
        for (const Glyph& glyph : definedGlyphs)
            m_slots.slotOf(glyph);
    }
    bool wantsCells() const override { return true; }
    void rowBuilt(const BuiltRow& row) override;
    // What each glyph byte stands for.
    const GlyphSlots& slots() const { return m_slots; }

private:
    ChunkStream& m_output;
    GlyphSlots m_slots;
    std::string m_row;
};

} // namespace mosaiq
