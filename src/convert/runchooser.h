#pragma once

#include "convert/colourdifference.h"
#include "convert/colourform.h"
#include "convert/colourvalue.h"
#include "convert/runplanner.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace mosaiq {

// Groups the cells of a row into runs that share one colour tag, as groupRuns does, but for more
// cells per character at the same mean difference. RunPlanner cuts the row, trading each run's
// tag characters against how far its cells are from their mean; each run takes that mean when it
// holds every cell within the tolerance (else its box's centre, else the plain runs' cuts inside
// it), then the shortest text the forms allow where the difference it adds is worth the
// characters it saves. Every cell's CIEDE2000 difference to its run's colour stays at most the
// tolerance, and a row never writes more tag characters than groupRuns' runs: where the planned
// runs would, the row takes runs as long as they go instead, each coloured from the middle of
// its colours (the centre of their L*a*b* box, else the colour groupRuns gives its first cell),
// with each cut between two short runs moved where that lowers the summed difference.
class RunChooser {
public:
    explicit RunChooser(ColourForms forms = {})
        : m_forms(forms)
    {
    }

    // Like groupRuns: the first cell of each run into starts, every cell's colour its run's.
    void choose(
        std::span<ColourValue> colours, double tolerance, std::vector<std::uint32_t>& starts);

private:
    // Whether a cell is within the tolerance of a colour; mostlyNear when most cells asked are,
    // where a quick bound spares the full difference more often than it costs.
    bool within(const LabColour& colour, const LabColour& cell, bool mostlyNear = true) const;
    // Into m_plain, each cell's colour in groupRuns' runs.
    void plainRuns();
    // Whether colour, of L*a*b* lab, is within the tolerance of the cells from begin to end,
    // the cell at first checked before the others (the one most likely to be too far).
    bool holds(ColourValue colour, const LabColour& lab, std::size_t begin, std::size_t end,
        std::size_t first) const;
    // settled: colour is already the mean's, or the box centre's where the mean is too far.
    ColourValue finalColour(
        ColourValue colour, std::size_t begin, std::size_t end, bool settled) const;
    // About the summed difference of the cells from begin to end to colour; -1 when beyond
    // limit.
    double summedDifference(
        ColourValue colour, std::size_t begin, std::size_t end, double limit) const;
    // The summed difference of the cells from begin to end to the mean of their colours, or to
    // the centre of their box where the mean is too far from one; that colour into colour. -1
    // when neither holds them all.
    double runCost(std::size_t begin, std::size_t end, ColourValue& colour) const;
    // The runs taken each as far as it goes, in m_runs with their final colours.
    void greedyRuns();
    // The runs that RunPlanner cuts between from and to, added to m_runs with their final
    // colours.
    void planRuns(std::size_t from, std::size_t to);
    // Whether m_runs write no more tag characters than the plain runs.
    bool fewerCharacters() const;
    // The state of a chooser for a part of a row.
    void prepare(
        std::span<const ColourValue> cells, std::span<const LabColour> labs, double tolerance);
    // planRuns over the whole row, a part on each core, and plainRuns.
    void planAcrossCores();
    // A planned run from begin to end, in the mean of its colours when that holds every cell.
    void placeRun(std::size_t begin, std::size_t end);
    // Moves each cut between two short runs by up to two cells where that lowers the summed
    // difference, both runs still held: the same number of runs, nearer colours.
    void refineCuts();

    struct Run {
        std::size_t begin, end;
        ColourValue colour;
        bool settled;
    };

    ColourForms m_forms;
    double m_tolerance = 0;
    double m_characterWorth = 0; // the summed difference that one character saved is worth
    double m_nearEnough = 0; // the squared tolerance
    std::vector<ColourValue> m_cells; // the cells' own colours
    std::vector<LabColour> m_labs;
    std::vector<ColourValue> m_plain; // groupRuns' colours
    std::vector<std::size_t> m_plainEnd; // where each cell's run in groupRuns ends
    std::vector<Run> m_runs;
    RunPlanner m_planner;
    std::span<const std::array<double, 3>> m_steps; // each cell's step weights, as planned
    std::vector<std::array<double, 3>> m_joinedSteps; // both parts' of a long row
    std::unique_ptr<RunChooser> m_helper; // plans the second part of a long row
    std::vector<std::size_t> m_ends;
};

} // namespace mosaiq
