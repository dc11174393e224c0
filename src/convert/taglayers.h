#pragma once

#include "convert/colourdifference.h"
#include "convert/colourvalue.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mosaiq {

class RowFitter;

// The colour tags open as a row's runs are placed, for a forum whose colour tags nest. A run
// that comes back to the colour of a tag still open, or to a colour that holds that tag's cells
// and its own, takes that tag back for no tag of its own: [color=A]aa[color=B]b[/color]aa[/color]
// shows three runs for two tags. Every cell stays within the tolerance of the colour of the
// innermost tag around it, and a tag is taken back only where the difference it adds is worth the
// characters it saves, at the fitter's own trade. Otherwise a run opens its tag inside those open,
// the innermost one closed first when MostOpen are.
class TagLayers {
public:
    // At most this many colour tags open around a run; a glyph that stands alone takes one more
    // (phpBB's parser reads 10).
    static constexpr std::size_t MostOpen = 8;
    // In a run's nesting: the run takes back the tag at its depth rather than open one.
    static constexpr std::uint8_t TakesBack = 0x80;
    // A tag is given a colour that also holds a run taking it back only while it shows at most
    // this many cells and is one of the four innermost open, which bounds the work a run costs.
    static constexpr std::size_t MostRecoloured = 32;

    // Before the first run of a plan of fitter's.
    void clear(RowFitter& fitter)
    {
        m_fitter = &fitter;
        m_open = 0;
    }
    // The fitter's run r, just placed in its own colour: its nesting (its depth, from 1, and
    // TakesBack) and its colour (a tag's taken back) set; the tag characters it adds to the row,
    // which a tag taken back and given a new colour may lower.
    std::ptrdiff_t add(std::size_t r);

private:
    struct Layer {
        std::vector<std::size_t> runs; // the fitter's runs shown in its colour, the first its own
        LabColour lab; // its colour's
        LabColour first; // its first cell's
        LabColour sum; // its cells' L*a*b* summed
        std::size_t cells = 0;
        double difference = 0; // its cells' summed difference to its colour
    };

    // Which ways a run may take back a tag, as far as near() tells.
    struct Reach {
        bool tag = false; // its first cell is near the tag's colour
        bool mean = false; // the tag may take a new colour: its first cell and the run's are near
    };
    // Whether run r takes back layer k, in its colour or a new one; the characters it adds then.
    bool takeBack(
        std::size_t k, std::size_t r, std::size_t saved, Reach reach, std::ptrdiff_t& added);
    // Whether a cell is near enough a colour for the tolerance to be worth checking: CIEDE2000
    // is rarely more than twice the L*a*b* distance, and a run taken back or not is a choice,
    // the tolerance itself always checked in full. Most runs are far from most tags open.
    // scale: of the squared reach.
    bool near(const LabColour& colour, const LabColour& cell, double scale = 1.0) const;
    // The summed difference of the cells of run r to the colour of L*a*b* lab; -1 beyond limit.
    double difference(const LabColour& lab, std::size_t r, double limit) const;
    // The summed difference of run r, being added, to its own colour; worked out once, when asked.
    double ownDifference(std::size_t r);
    void open(std::size_t r);

    RowFitter* m_fitter = nullptr;
    std::array<Layer, MostOpen> m_layers;
    std::size_t m_open = 0;
    double m_ownDifference = -1; // ownDifference(), or -1 until asked
    double m_reach = 0; // the squared L*a*b* distance within which near() is true
};

} // namespace mosaiq
