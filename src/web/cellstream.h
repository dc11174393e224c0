#pragma once

#include "convert/rowloop.h"
#include "web/chunkstream.h"

#include <string>

namespace mosaiq {

// The cells of the page for the preview that the page's script draws itself when the page is
// too large for a frame: four bytes a cell, red, green, blue and the glyph's byte in the page.
class CellStream : public RowSink {
public:
    explicit CellStream(ChunkStream& output)
        : m_output(output)
    {
    }
    bool wantsCells() const override { return true; }
    void rowBuilt(const BuiltRow& row) override;

private:
    ChunkStream& m_output;
    std::string m_row;
};

} // namespace mosaiq
