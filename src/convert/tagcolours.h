#pragma once

#include "convert/colourdifference.h"

#include <array>
#include <cstddef>
#include <vector>

namespace mosaiq {

class RowFitter;

// The colour of each tag of a fitter's placed runs (a run, with the runs that take it back),
// moved from its cells' mean towards the colour whose summed difference to them is least: the
// mean weighs a cell by its squared difference, so a few cells far off pull it away from the
// many that agree, and the mean difference a reader sees is a sum of differences, not of
// squares. The new colour is taken only where it holds every cell of the tag within the
// tolerance, lowers their summed difference and is written no longer, so the tags written and
// the characters they take are the same.
class TagColours {
public:
    void settle(RowFitter& fitter);

private:
    // A stretch of equal cells of a tag: their L*a*b*, CIEDE2000's squared steps near them and
    // how many they are.
    struct Stretch {
        LabColour lab;
        std::array<double, 3> weights;
        double count;
    };

    // The runs of each tag linked in order, into m_next.
    void linkTags(RowFitter& fitter);
    // The cells of the tag opened by run first, into m_stretches.
    void gather(const RowFitter& fitter, std::size_t first);
    // About the least summed difference's colour for m_stretches.
    LabColour median() const;
    // How much lower the summed difference of m_stretches is to one colour than to another,
    // as RowFitter weighs it.
    double gain(const LabColour& from, const LabColour& to) const;

    std::vector<std::size_t> m_next; // the next run of the same tag, or the count of runs
    std::vector<bool> m_opens; // whether the run opens a tag (else it takes one back)
    std::vector<Stretch> m_stretches;
};

} // namespace mosaiq
