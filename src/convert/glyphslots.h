#pragma once

#include "convert/glyph.h"

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace mosaiq {

// The previews keep a page's glyphs at one byte a cell, and a font's measures and masks for 256
// of them. A character that Windows-1252 holds is kept as its own byte, as the page holds it, so
// that a page of such characters is drawn exactly as before. A character that code page lacks
// (the page writes it as a character reference) takes a byte that no character of this page has
// taken: a control byte first, which no one types, never a space that HTML collapses. So up to
// 256 different characters of one page are each drawn as themselves; beyond, the others are
// drawn as "?" (a page whose defined characters hold more than 256 different ones).
class GlyphSlots {
public:
    GlyphSlots();

    // The byte that stands for glyph's character on this page.
    std::uint8_t slotOf(const Glyph& glyph)
    {
        const auto byte = static_cast<std::uint8_t>(glyph.page[0]);
        if (glyph.pageLength == 1 && m_ownByte[byte]) {
            m_taken[byte] = true;
            return byte;
        }
        return slotOfOther(glyph);
    }

    // What each byte stands for: the Windows-1252 character of that byte unless another took it.
    const std::array<char32_t, 256>& characters() const { return m_characters; }
    // Whether some glyph of the page took byte b.
    bool taken(std::uint8_t b) const { return m_taken[b]; }
    // Whether every byte still stands for its own Windows-1252 character.
    bool ownBytesOnly() const { return m_moved.empty(); }

private:
    std::uint8_t slotOfOther(const Glyph& glyph);

    std::array<char32_t, 256> m_characters;
    std::array<bool, 256> m_ownByte; // byte b still stands for its own character
    std::array<bool, 256> m_taken {};
    std::vector<std::pair<char32_t, std::uint8_t>> m_moved; // characters kept away from their byte
};

} // namespace mosaiq
