#include "convert/colourform.h"

#include <array>
#include <cstring>

namespace mosaiq {

namespace {

    // Fuchsia, seven letters, saves nothing and is left out.
    constexpr std::array<NamedColour, 15> Names { {
        { "red", makeColour(255, 0, 0) },
        { "aqua", makeColour(0, 255, 255) },
        { "blue", makeColour(0, 0, 255) },
        { "gray", makeColour(128, 128, 128) },
        { "lime", makeColour(0, 255, 0) },
        { "navy", makeColour(0, 0, 128) },
        { "teal", makeColour(0, 128, 128) },
        { "black", makeColour(0, 0, 0) },
        { "green", makeColour(0, 128, 0) },
        { "olive", makeColour(128, 128, 0) },
        { "white", makeColour(255, 255, 255) },
        { "maroon", makeColour(128, 0, 0) },
        { "purple", makeColour(128, 0, 128) },
        { "silver", makeColour(192, 192, 192) },
        { "yellow", makeColour(255, 255, 0) },
    } };

    constexpr char Hex[] = "0123456789ABCDEF";

    // The bytes colourName() lets through to the list.
    constexpr bool namedBytes(ColourValue colour)
    {
        for (int shift = 0; shift < 24; shift += 8) {
            const int byte = (colour >> shift) & 0xFF;
            if (byte != 0 && byte != 128 && byte != 192 && byte != 255)
                return false;
        }
        return true;
    }
    static_assert([] {
        for (const auto& named : Names) {
            if (!namedBytes(named.colour))
                return false;
        }
        return true;
    }());

} // namespace

std::span<const NamedColour> namedColours()
{
    return Names;
}

std::string_view colourName(ColourValue colour)
{
    // Every name's bytes are 0, 128, 192 or 255: most colours are told apart without the list.
    if (!namedBytes(colour))
        return {};
    for (const auto& named : Names) {
        if (named.colour == colour)
            return named.name;
    }
    return {};
}

bool hasShortHex(ColourValue colour)
{
    const auto bits = static_cast<std::uint32_t>(colour);
    return colour >= 0 && (bits & 0xFF) % 17 == 0 && ((bits >> 8) & 0xFF) % 17 == 0
        && ((bits >> 16) & 0xFF) % 17 == 0;
}

ColourValue nearestShortHex(ColourValue colour)
{
    const auto bits = static_cast<std::uint32_t>(colour);
    auto near = [](std::uint32_t byte) { return int((byte + 8) / 17 * 17); };
    return makeColour(near(bits & 0xFF), near((bits >> 8) & 0xFF), near((bits >> 16) & 0xFF));
}

namespace {

    // The name a colour is written as, or empty where it is written in digits: a name of four
    // letters or more is no shorter than #RGB.
    std::string_view writtenName(ColourValue colour, ColourForms forms)
    {
        if (!forms.names)
            return {};
        const std::string_view name = colourName(colour);
        return !forms.shortHex || name.size() < 4 || !hasShortHex(colour) ? name
                                                                          : std::string_view();
    }

} // namespace

std::size_t writeColourText(char* out, ColourValue colour, ColourForms forms)
{
    const std::string_view name = writtenName(colour, forms);
    if (!name.empty()) {
        std::memcpy(out, name.data(), name.size());
        return name.size();
    }
    out[0] = '#';
    if (forms.shortHex && hasShortHex(colour)) {
        const auto bits = static_cast<std::uint32_t>(colour);
        out[1] = Hex[(bits & 0xFF) / 17];
        out[2] = Hex[((bits >> 8) & 0xFF) / 17];
        out[3] = Hex[((bits >> 16) & 0xFF) / 17];
        return 4;
    }
    writeWebDigits(out + 1, colour);
    return 7;
}

std::size_t colourTextLength(ColourValue colour, ColourForms forms)
{
    // writeColourText's choice, without writing the digits.
    if (const std::size_t named = writtenName(colour, forms).size())
        return named;
    return forms.shortHex && hasShortHex(colour) ? 4 : 7;
}

} // namespace mosaiq
