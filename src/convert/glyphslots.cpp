#include "convert/glyphslots.h"

namespace mosaiq {

namespace {

    // The bytes a character without one of its own may take, best first: the C0 controls but
    // the spaces HTML collapses (tab, line feed, form feed, carriage return), the bytes
    // Windows-1252 leaves undefined, DEL, and last the rest, space aside.
    constexpr std::array<std::uint8_t, 255> freeBytesInOrder()
    {
        std::array<std::uint8_t, 255> order {};
        std::size_t at = 0;
        auto collapsible = [](int b) { return b == 9 || b == 10 || b == 12 || b == 13; };
        for (int b = 1; b < 0x20; ++b) {
            if (!collapsible(b))
                order[at++] = std::uint8_t(b);
        }
        for (int b : { 0x81, 0x8D, 0x8F, 0x90, 0x9D, 0x7F })
            order[at++] = std::uint8_t(b);
        for (int b = 0x21; b < 0x100; ++b) {
            const bool placed
                = b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
            if (!placed)
                order[at++] = std::uint8_t(b);
        }
        order[at++] = 0;
        return order;
    }
    constexpr auto FreeBytes = freeBytesInOrder();

} // namespace

GlyphSlots::GlyphSlots()
    : m_characters(windows1252Characters())
{
    m_ownByte.fill(true);
}

std::uint8_t GlyphSlots::slotOfOther(const Glyph& glyph)
{
    const char32_t c = glyph.character();
    for (const auto& [character, slot] : m_moved) {
        if (character == c)
            return slot;
    }
    for (std::uint8_t b : FreeBytes) {
        if (!m_taken[b]) {
            m_taken[b] = true;
            m_ownByte[b] = false;
            m_characters[b] = c;
            m_moved.emplace_back(c, b);
            return b;
        }
    }
    return '?';
}

} // namespace mosaiq
