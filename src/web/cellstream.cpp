#include "web/cellstream.h"

namespace mosaiq {

void CellStream::rowBuilt(const BuiltRow& row)
{
    const bool shaped = !row.backgrounds.empty();
    const std::size_t bytes = shaped ? 8 : 4;
    m_row.resize(row.colours.size() * bytes);
    char* out = m_row.data();
    const auto rgb = [](char* at, ColourValue colour) {
        at[0] = char(colour & 0xFF);
        at[1] = char((colour >> 8) & 0xFF);
        at[2] = char((colour >> 16) & 0xFF);
    };
    for (std::size_t i = 0; i < row.colours.size(); ++i, out += bytes) {
        rgb(out, row.colours[i]);
        out[3]
            = row.mode == CellMode::Square && !shaped ? ' ' : char(m_slots.slotOf(row.glyphs[i]));
        if (shaped) {
            rgb(out + 4, row.backgrounds[i]);
            out[7] = 0;
        }
    }
    m_output.append(m_row);
}

} // namespace mosaiq
