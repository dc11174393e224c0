#include "web/cellstream.h"

namespace mosaiq {

CellStream::CellStream(ChunkStream& output, const std::vector<Glyph>& definedGlyphs,
    const std::vector<Glyph>& shapeSet)
    : m_output(output)
{
    for (const Glyph& glyph : definedGlyphs)
        m_slots.slotOf(glyph);
    m_shapeCharacters.reserve(shapeSet.size());
    for (const Glyph& glyph : shapeSet) {
        m_shapePlaces.emplace(glyph.character(), std::uint16_t(m_shapeCharacters.size()));
        m_shapeCharacters.push_back(std::uint32_t(glyph.character()));
    }
}

std::uint16_t CellStream::placeOf(const Glyph& glyph) const
{
    const auto found = m_shapePlaces.find(glyph.character());
    // A run by shape writes only its set's glyphs; should another come, it is drawn as the first.
    return found == m_shapePlaces.end() ? 0 : found->second;
}

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
        if (shaped) {
            const std::uint16_t place = placeOf(row.glyphs[i]);
            out[3] = char(place & 0xFF);
            rgb(out + 4, row.backgrounds[i]);
            out[7] = char(place >> 8);
        } else {
            out[3] = row.mode == CellMode::Square ? ' ' : char(m_slots.slotOf(row.glyphs[i]));
        }
    }
    m_output.append(m_row);
}

} // namespace mosaiq
