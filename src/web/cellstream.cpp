#include "web/cellstream.h"

namespace mosaiq {

void CellStream::rowBuilt(const BuiltRow& row)
{
    m_row.resize(row.colours.size() * 4);
    char* out = m_row.data();
    for (std::size_t i = 0; i < row.colours.size(); ++i, out += 4) {
        const ColourValue colour = row.colours[i];
        out[0] = char(colour & 0xFF);
        out[1] = char((colour >> 8) & 0xFF);
        out[2] = char((colour >> 16) & 0xFF);
        out[3] = row.mode == CellMode::Square ? ' ' : char(m_slots.slotOf(row.glyphs[i]));
    }
    m_output.append(m_row);
}

} // namespace mosaiq
