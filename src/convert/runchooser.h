#pragma once

#include "convert/colourdifference.h"
#include "convert/colourform.h"
#include "convert/colourvalue.h"
#include "convert/helperthread.h"
#include "convert/runplanner.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace mosaiq {

// Groups the cells of a row into runs that share one colour tag, as groupRuns does, but for more
// cells per character at the same mean difference. RunPlanner cuts the row, trading each run's
// tag characters against how far its cells are from their mean; each run takes that mean when it
// holds every cell within the tolerance (else its box's centre, else it is cut where its colours
// step beyond the tolerance, each part in its first cell's colour), then the shortest text the
// forms allow where the difference it adds is worth the characters it saves. Every cell's
// CIEDE2000 difference to its run's colour stays at most the tolerance, and a row never writes
// more tag characters than groupRuns' runs at the same tolerance: the row takes the closest runs
// that fit among the weights on closeness tried (from the last row's, a step at a time), else
// groupRuns' runs. A chooser keeps the last row's weight: rows are given in order.
class RunChooser {
public:
    explicit RunChooser(ColourForms forms = {});

    // Like groupRuns: the first cell of each run into starts, every cell's colour its run's.
    void choose(
        std::span<ColourValue> colours, double tolerance, std::vector<std::uint32_t>& starts);

private:
    // Whether a cell is within the tolerance of a colour; mostlyNear when most cells asked are,
    // where a quick bound spares the full difference more often than it costs.
    bool within(const LabColour& colour, const LabColour& cell, bool mostlyNear = true) const;
    // Whether colour, of L*a*b* lab, is within the tolerance of the cells from begin to end,
    // the cell at first checked before the others (the one most likely to be too far).
    bool holds(ColourValue colour, const LabColour& lab, std::size_t begin, std::size_t end,
        std::size_t first) const;
    // colour, or a text the forms write shorter where the difference it adds is worth the
    // characters it saves; knownMean: the cells' mean, when colour is its colour.
    ColourValue finalColour(ColourValue colour, std::size_t begin, std::size_t end,
        const LabColour* knownMean = nullptr) const;
    // About the summed difference of the cells from begin to end to colour; -1 when beyond
    // limit.
    double summedDifference(
        ColourValue colour, std::size_t begin, std::size_t end, double limit) const;
    // The state of a chooser for a part of a row.
    void prepare(
        std::span<const ColourValue> cells, std::span<const LabColour> labs, double tolerance);
    // The ends of this chooser's cells' runs planned at the share ShareStep^-step.
    void planPart(int step);
    // The least tag characters of those runs.
    std::size_t leastCharacters() const;
    // Those runs placed and coloured into m_runs, their tag characters into m_characters;
    // whether they write at most limit (false as soon as they plainly cannot).
    bool placePart(std::size_t limit);
    // The row's runs planned at that share, its parts each on a core when it is split; whether
    // they write at most limit tag characters.
    bool planWithin(int step, std::size_t limit);
    // Swaps m_runs and m_keptRuns, those of the helper's part too when the row is split.
    void keepRuns();
    // The closest runs of the row that write no more tag characters than groupRuns' runs
    // (m_greedyStarts, and the helper's), else groupRuns' runs.
    void fit();
    // fit over a long row, the cells before split and those after on a core each.
    void fitAcrossCores(std::size_t split);
    // The cells' L*a*b* into labs.
    void measure(std::span<const ColourValue> cells, std::span<LabColour> labs) const;
    // groupRuns' run starts from begin (a run starting there) to end, with the same verdicts,
    // added to starts; from the first that is one of joinAt's (found from a later cell),
    // joinAt's.
    void findGreedyStarts(std::span<const ColourValue> cells, std::span<const LabColour> labs,
        std::size_t begin, std::size_t end, std::span<const std::size_t> joinAt,
        std::vector<std::size_t>& starts) const;
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
    };

    ColourForms m_forms;
    double m_tolerance = 0;
    double m_share = 1.0; // of the planner's weight on closeness
    int m_lastStep = 0; // the step of the share that the last row (or this part of it) took
    std::size_t m_shortestText = 7; // the shortest colour text the forms write
    std::vector<std::size_t> m_greedyStarts;
    std::size_t m_characters = 0; // the tag characters of m_runs, as placed
    std::size_t m_split = 0; // where the helper's part starts while a long row is fitted
    // This part's least tag characters once planned, read by the other part's thread.
    std::atomic<std::size_t> m_least = 0;
    bool m_prepared = false; // whether the planner holds this part's sums and weights
    bool m_firstPlan = true; // whether no plan of this part was made yet
    int m_pairedStep = -1; // the step of m_pairedEnds, planned beside another, or -1
    std::vector<std::size_t> m_pairedEnds;
    double m_characterWorth = 0; // the summed difference that one character saved is worth
    double m_nearEnough = 0; // the squared tolerance
    std::vector<ColourValue> m_cells; // the cells' own colours
    std::vector<LabColour> m_labs;
    std::vector<Run> m_runs;
    std::vector<Run> m_keptRuns; // the last runs that fit, while a closer plan is tried
    RunPlanner m_planner;
    std::span<const std::array<double, 3>> m_steps; // each cell's step weights, as planned
    std::unique_ptr<RunChooser> m_helper; // plans the second part of a long row
    std::unique_ptr<HelperThread> m_thread; // where m_helper plans
    std::vector<std::size_t> m_ends;
};

} // namespace mosaiq
