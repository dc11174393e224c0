#pragma once

#include "convert/colourdifference.h"
#include "convert/colourform.h"
#include "convert/colourvalue.h"
#include "convert/runplanner.h"
#include "convert/tagcolours.h"
#include "convert/taglayers.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace mosaiq {

// The runs of one row for RunChooser. RunPlanner cuts the row, trading each run's tag characters
// against how far its cells are from their mean; each run takes that mean when it holds every
// cell within the tolerance (else its box's centre, else it is cut where its colours step beyond
// the tolerance, each part in its first cell's colour), then the shortest text the forms allow
// where the difference it adds is worth the characters it saves. A row never writes more tag
// characters than groupRuns' runs at the same tolerance: it takes the closest runs that fit among
// the weights on closeness tried, a step at a time from the one it is given, else groupRuns'
// runs. Where the forms read nested colour tags, a run may take back a tag open around it (see
// TagLayers), and the runs are counted as they are then written. Last, each tag's colour is
// settled where its cells' summed difference is least (see TagColours). What a fitter makes of a
// row depends on nothing but the row, the tolerance and that step.
class RowFitter {
public:
    explicit RowFitter(ColourForms forms = {});

    // Takes a copy of the row's cells.
    void load(std::span<const ColourValue> cells);
    // The runs of the cells loaded, the weight on closeness searched from the share
    // ShareStep^-fromStep.
    void fit(double tolerance, int fromStep);
    // The step of the share the row took (its runs, when they were groupRuns', the least).
    int step() const { return m_lastStep; }
    double tolerance() const { return m_tolerance; }
    std::span<const ColourValue> cells() const { return m_cells; }
    // Like groupRuns: the first cell of each run into starts, every cell's colour its run's
    // (the colour of the tag that shows it). With nesting, where the runs nest, each run's depth
    // and TagLayers::TakesBack; else it is left empty.
    void apply(std::span<ColourValue> colours, std::vector<std::uint32_t>& starts,
        std::vector<std::uint8_t>* nesting = nullptr) const;

private:
    friend class TagLayers;
    friend class TagColours;

    // A run's tags besides its colour text: "[color=" and "]" and "[/color]".
    static constexpr std::size_t Tags = std::size_t(RunPlanner::RunCharacters) - 7;
    // The tag characters of a run in colour, its text included.
    std::size_t runCharacters(ColourValue colour) const
    {
        return Tags + colourTextLength(colour, m_forms);
    }

    // Whether a cell is within the tolerance of a colour.
    bool within(const LabColour& colour, const LabColour& cell) const;
    // Whether colour, of L*a*b* lab, is within the tolerance of the cells from begin to end,
    // the cell at first checked before the others (the one most likely to be too far).
    bool holds(ColourValue colour, const LabColour& lab, std::size_t begin, std::size_t end,
        std::size_t first) const;
    // colour (of L*a*b* lab), or a text the forms write shorter where the difference it adds is
    // worth the characters it saves; knownMean: the cells' mean, when colour is its colour.
    ColourValue finalColour(ColourValue colour, const LabColour& lab, std::size_t begin,
        std::size_t end, const LabColour* knownMean = nullptr) const;
    // About the summed difference of the cells from begin to end to the colour of L*a*b* lab;
    // -1 when beyond limit.
    double summedDifference(
        const LabColour& lab, std::size_t begin, std::size_t end, double limit) const;
    // The ends of the row's runs planned at the share ShareStep^-step.
    void plan(int step);
    // The least tag characters of those runs.
    std::size_t leastCharacters() const;
    // Those runs placed and coloured into m_runs, their tag characters into m_characters;
    // whether they write at most limit (false as soon as they plainly cannot).
    bool place(std::size_t limit);
    // The row's runs planned at that share; whether they write at most limit tag characters.
    bool planWithin(int step, std::size_t limit);
    // The closest runs of the row that write no more tag characters than groupRuns' runs
    // (m_greedyStarts), else groupRuns' runs.
    void search(int fromStep);
    // The cells' L*a*b* into m_labs.
    void measure();
    // labOf(colour), remembered for the colours seen last: a photo's neighbouring rows share
    // most of their colours, and the same run colours come back.
    // Remembering changes nothing a fitter gives: it is const.
    const LabColour& knownLab(ColourValue colour) const;
    // groupRuns' run starts, with the same verdicts, into m_greedyStarts.
    void findGreedyStarts();
    // The tag characters of groupRuns' runs.
    std::size_t greedyCharacters() const;
    // groupRuns' runs, each in its cells' mean where that holds them and is written no longer.
    void greedyRuns();
    // Runs of equal colours only, for a tolerance of 0.
    void sameColourRuns();
    // A planned run from begin to end, in the mean of its colours when that holds every cell.
    void placeRun(std::size_t begin, std::size_t end);

    struct Run {
        std::size_t begin, end;
        ColourValue colour;
        std::uint8_t nesting = 0; // as apply() gives it; 0 where the tags do not nest
    };

    ColourForms m_forms;
    double m_tolerance = 0;
    double m_share = 1.0; // of the planner's weight on closeness
    int m_lastStep = 0; // the step of the share that the row took
    std::size_t m_shortestText = 7; // the shortest colour text the forms write
    std::vector<std::size_t> m_greedyStarts;
    std::size_t m_characters = 0; // the tag characters of m_runs, as placed
    bool m_prepared = false; // whether the planner holds this row's sums and weights
    bool m_firstPlan = true; // whether no plan of this row was made yet
    int m_pairedStep = -1; // the step of m_pairedEnds, planned beside another, or -1
    std::vector<std::size_t> m_pairedEnds;
    double m_characterWorth = 0; // the summed difference that one character saved is worth
    double m_nearEnough = 0; // the squared tolerance
    std::vector<ColourValue> m_cells; // the cells' own colours
    std::vector<LabColour> m_labs;
    // The colours whose L*a*b* knownLab remembers, each in the slot its bits pick (InvalidColour
    // where none is yet), and those L*a*b*.
    mutable std::vector<ColourValue> m_knownColours;
    mutable std::vector<LabColour> m_knownLabs;
    std::vector<Run> m_runs;
    std::vector<Run> m_keptRuns; // the last runs that fit, while a closer plan is tried
    RunPlanner m_planner;
    std::span<const std::array<double, 3>> m_steps; // each cell's step weights, as planned
    std::vector<std::size_t> m_ends;
    TagLayers m_layers; // with nested tags, those open as the runs are placed
    TagColours m_tagColours;
};

} // namespace mosaiq
