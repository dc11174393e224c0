#include "output/codes/chatcolours.h"

#include "convert/colourdifference.h"

#include <array>

namespace mosaiq {

namespace {

    constexpr ColourValue rgb(std::uint32_t hex)
    {
        return makeColour(int(hex >> 16), int((hex >> 8) & 0xFF), int(hex & 0xFF));
    }

    constexpr std::array<ColourValue, 8> Discord { rgb(0x4F545C), rgb(0xDC322F), rgb(0x859900),
        rgb(0xB58900), rgb(0x268BD2), rgb(0xD33682), rgb(0x2AA198), rgb(0xFFFFFF) };

    constexpr std::array<ColourValue, 99> Irc { rgb(0xFFFFFF), rgb(0x000000), rgb(0x00007F),
        rgb(0x009300), rgb(0xFF0000), rgb(0x7F0000), rgb(0x9C009C), rgb(0xFC7F00), rgb(0xFFFF00),
        rgb(0x00FC00), rgb(0x009393), rgb(0x00FFFF), rgb(0x0000FC), rgb(0xFF00FF), rgb(0x7F7F7F),
        rgb(0xD2D2D2), // 16 to 27
        rgb(0x470000), rgb(0x472100), rgb(0x474700), rgb(0x324700), rgb(0x004700), rgb(0x00472C),
        rgb(0x004747), rgb(0x002747), rgb(0x000047), rgb(0x2E0047), rgb(0x470047), rgb(0x47002A),
        // 28 to 39
        rgb(0x740000), rgb(0x743A00), rgb(0x747400), rgb(0x517400), rgb(0x007400), rgb(0x007449),
        rgb(0x007474), rgb(0x004074), rgb(0x000074), rgb(0x4B0074), rgb(0x740074), rgb(0x740045),
        // 40 to 51
        rgb(0xB50000), rgb(0xB56300), rgb(0xB5B500), rgb(0x7DB500), rgb(0x00B500), rgb(0x00B571),
        rgb(0x00B5B5), rgb(0x0063B5), rgb(0x0000B5), rgb(0x7500B5), rgb(0xB500B5), rgb(0xB5006B),
        // 52 to 63
        rgb(0xFF0000), rgb(0xFF8C00), rgb(0xFFFF00), rgb(0xB2FF00), rgb(0x00FF00), rgb(0x00FFA0),
        rgb(0x00FFFF), rgb(0x008CFF), rgb(0x0000FF), rgb(0xA500FF), rgb(0xFF00FF), rgb(0xFF0098),
        // 64 to 75
        rgb(0xFF5959), rgb(0xFFB459), rgb(0xFFFF71), rgb(0xCFFF60), rgb(0x6FFF6F), rgb(0x65FFC9),
        rgb(0x6DFFFF), rgb(0x59B4FF), rgb(0x5959FF), rgb(0xC459FF), rgb(0xFF66FF), rgb(0xFF59BC),
        // 76 to 87
        rgb(0xFF9C9C), rgb(0xFFD39C), rgb(0xFFFF9C), rgb(0xE2FF9C), rgb(0x9CFF9C), rgb(0x9CFFDB),
        rgb(0x9CFFFF), rgb(0x9CD3FF), rgb(0x9C9CFF), rgb(0xDC9CFF), rgb(0xFF9CFF), rgb(0xFF94D3),
        // 88 to 98: greys
        rgb(0x000000), rgb(0x131313), rgb(0x282828), rgb(0x363636), rgb(0x4D4D4D), rgb(0x656565),
        rgb(0x818181), rgb(0x9F9F9F), rgb(0xBCBCBC), rgb(0xE2E2E2), rgb(0xFFFFFF) };

} // namespace

std::span<const ColourValue> discordColours()
{
    return Discord;
}

std::span<const ColourValue> ircColours()
{
    return Irc;
}

int nearestIndex(std::span<const ColourValue> colours, ColourValue colour)
{
    const LabColour lab = labOf(colour);
    int best = 0;
    double bestDifference = 1e9;
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const double difference = ciede2000(lab, labOf(colours[i]));
        if (difference < bestDifference) {
            bestDifference = difference;
            best = int(i);
        }
    }
    return best;
}

} // namespace mosaiq
