#include "convert/runchooser.h"

#include "convert/labbox.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>

namespace mosaiq {

namespace {

    // A part's least characters before its plan is made.
    constexpr std::size_t Unknown = std::size_t(-1);
    std::size_t known(const std::atomic<std::size_t>& least)
    {
        const std::size_t value = least.load(std::memory_order_relaxed);
        return value == Unknown ? 0 : value;
    }

    // Rows of at least this many cells are planned on two cores.
    constexpr std::size_t LongRow = 1024;
    // A run's tags besides its colour text: "[color=" and "]" and "[/color]".
    constexpr std::size_t Tags = std::size_t(RunPlanner::RunCharacters) - 7;
    // The shares of the planner's weight on closeness a row is planned at: ShareStep to the
    // power of minus 0 to LeastStep (1 down to 1/256).
    constexpr double ShareStep = 4.0;
    constexpr int LeastStep = 4;

    double squaredDistance(const LabColour& x, const LabColour& y)
    {
        return (x.l - y.l) * (x.l - y.l) + (x.a - y.a) * (x.a - y.a) + (x.b - y.b) * (x.b - y.b);
    }

    // The two colours a run may take, best first: its cells' mean, then the centre of their box.
    std::array<LabColour, 2> runColourCandidates(
        const std::vector<LabColour>& labs, std::size_t begin, std::size_t end)
    {
        LabColour mean;
        LabBox box(labs[begin]);
        for (std::size_t i = begin; i < end; ++i) {
            mean.l += labs[i].l;
            mean.a += labs[i].a;
            mean.b += labs[i].b;
            box.add(labs[i]);
        }
        const double count = double(end - begin);
        return { LabColour { mean.l / count, mean.a / count, mean.b / count }, box.centre() };
    }

} // namespace

RunChooser::RunChooser(ColourForms forms)
    : m_forms(forms)
{
    if (forms.shortHex)
        m_shortestText = 4;
    if (forms.names) {
        for (const auto& named : namedColours())
            m_shortestText = std::min(m_shortestText, named.name.size());
    }
}

bool RunChooser::within(const LabColour& colour, const LabColour& cell, bool mostlyNear) const
{
    // Near cells need no more than the channels' differences; and the lightnesses alone tell
    // most cells that are too far.
    if (ciede2000SquaredCeiling(colour, cell) <= m_nearEnough)
        return true;
    if (std::abs(cell.l - colour.l)
        > m_tolerance * lightnessWeight((cell.l + colour.l) / 2.0) * (1.0 + 1e-9))
        return false;
    return (mostlyNear && ciede2000Bound(colour, cell) <= m_tolerance)
        || ciede2000(colour, cell) <= m_tolerance;
}

bool RunChooser::holds(ColourValue colour, const LabColour& lab, std::size_t begin, std::size_t end,
    std::size_t first) const
{
    if (m_cells[first] != colour && !within(lab, m_labs[first]))
        return false;
    ColourValue last = colour; // neighbours repeat colours: each is measured once in a row
    for (std::size_t i = begin; i < end; ++i) {
        if (m_cells[i] == last || i == first)
            continue;
        if (!within(lab, m_labs[i]))
            return false;
        last = m_cells[i];
    }
    return true;
}

double RunChooser::summedDifference(
    ColourValue colour, std::size_t begin, std::size_t end, double limit) const
{
    // Each cell's difference as CIEDE2000 weighs a small step near it: close enough to weigh
    // one colour against another, and a square root where CIEDE2000 takes four trigonometric
    // calls. The tolerance itself is checked with the full difference.
    const LabColour lab = labOf(colour);
    const auto weights = m_steps;
    double sum = 0;
    for (std::size_t i = begin; i < end && sum <= limit; ++i) {
        const double l = lab.l - m_labs[i].l, a = lab.a - m_labs[i].a, b = lab.b - m_labs[i].b;
        const auto& w = weights[i];
        sum += std::sqrt(w[0] * l * l + w[1] * a * a + w[2] * b * b);
    }
    return sum <= limit ? sum : -1.0;
}

ColourValue RunChooser::finalColour(
    ColourValue colour, std::size_t begin, std::size_t end, const LabColour* knownMean) const
{
    if (!(m_forms.names || m_forms.shortHex) || m_characterWorth <= 0.0)
        return colour;
    LabColour mean;
    if (knownMean) {
        mean = *knownMean;
    } else {
        for (std::size_t i = begin; i < end; ++i) {
            mean.l += m_labs[i].l;
            mean.a += m_labs[i].a;
            mean.b += m_labs[i].b;
        }
        const double count = double(end - begin);
        mean = { mean.l / count, mean.a / count, mean.b / count };
    }
    const ColourValue meanColour
        = end - begin == 1 ? m_cells[begin] : (knownMean ? colour : colourOfLab(mean));

    // A shorter text (a name near the run, #RGB near its mean or its colour) is written where
    // the difference it adds is worth the characters it saves: within the tolerance is not
    // enough, a name far from a long run would raise the mean difference for a character or two.
    const std::size_t length = colourTextLength(colour, m_forms);
    const double current = summedDifference(colour, begin, end, 1e300);
    ColourValue best = colour;
    double bestGain = 0;
    auto consider = [&](ColourValue candidate) {
        const std::size_t candidateLength = colourTextLength(candidate, m_forms);
        if (candidateLength >= length)
            return;
        const double worth = double(length - candidateLength) * m_characterWorth;
        const double sum = summedDifference(candidate, begin, end, current + worth - bestGain);
        if (sum >= 0 && worth - (sum - current) > bestGain
            && holds(candidate, labOf(candidate), begin, end, begin)) {
            bestGain = worth - (sum - current);
            best = candidate;
        }
    };
    if (m_forms.names) {
        // CIEDE2000 is rarely more than twice the L*a*b* distance: farther names are not tried.
        const double reach = 4.0 * m_tolerance * m_tolerance;
        static const std::vector<LabColour> nameLabs = [] {
            std::vector<LabColour> labs;
            for (const auto& named : namedColours())
                labs.push_back(labOf(named.colour));
            return labs;
        }();
        const auto names = namedColours();
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (squaredDistance(nameLabs[i], mean) <= reach)
                consider(names[i].colour);
        }
    }
    if (m_forms.shortHex) {
        consider(nearestShortHex(meanColour));
        if (nearestShortHex(colour) != nearestShortHex(meanColour))
            consider(nearestShortHex(colour));
    }
    return best;
}

void RunChooser::placeRun(std::size_t begin, std::size_t end)
{
    if (end - begin == 1) {
        m_runs.push_back({ begin, end, m_cells[begin] });
        return;
    }
    const auto candidates = runColourCandidates(m_labs, begin, end);
    for (const LabColour& candidate : candidates) {
        const ColourValue colour = colourOfLab(candidate);
        if (holds(colour, labOf(colour), begin, end, begin)) {
            // The mean's colour is passed on as it is known; the box centre's is left as it came.
            const bool mean = &candidate == &candidates[0];
            m_runs.push_back(
                { begin, end, finalColour(colour, begin, end, mean ? &candidates[0] : nullptr) });
            return;
        }
    }
    // The planner's estimate was too kind: the run is cut where the plain runs would cut it,
    // each part in its first cell's colour, which holds it.
    std::size_t start = begin;
    for (std::size_t i = begin + 1; i <= end; ++i) {
        if (i == end || (m_cells[i] != m_cells[start] && !within(m_labs[start], m_labs[i]))) {
            m_runs.push_back({ start, i, finalColour(m_cells[start], start, i) });
            start = i;
        }
    }
}

void RunChooser::prepare(
    std::span<const ColourValue> cells, std::span<const LabColour> labs, double tolerance)
{
    m_tolerance = tolerance;
    m_nearEnough = tolerance * tolerance;
    m_cells.assign(cells.begin(), cells.end());
    if (labs.data() != m_labs.data())
        m_labs.assign(labs.begin(), labs.end());
    m_runs.clear();
    m_prepared = false;
    m_firstPlan = true;
    m_pairedStep = -1;
}

void RunChooser::planPart(int step)
{
    if (!m_prepared) {
        m_planner.prepare(m_labs, m_tolerance);
        m_steps = m_planner.stepWeights();
        m_prepared = true;
    }
    m_share = std::pow(ShareStep, -step);
    // A character saved is worth what the planner weighs it against: the same trade throughout.
    m_characterWorth = 1.0 / (RunPlanner::differenceWeight(m_tolerance) * m_share);
    m_runs.clear();
    if (step == m_pairedStep) {
        m_ends.swap(m_pairedEnds);
    } else if (m_firstPlan && step > 0) {
        // The row most often fits at the last row's share and not at the next closer one:
        // both are planned at once.
        m_planner.plan(m_ends, m_share, m_pairedEnds, std::pow(ShareStep, 1 - step));
        m_pairedStep = step - 1;
    } else {
        m_planner.plan(m_ends, m_share);
    }
    m_firstPlan = false;
}

std::size_t RunChooser::leastCharacters() const
{
    return m_ends.size() * (Tags + m_shortestText);
}

bool RunChooser::placePart(std::size_t limit)
{
    // Each run writes at least its tags and the shortest colour text: the runs are given up as
    // soon as those placed and the least that the others can write are over the limit.
    std::size_t rest = leastCharacters();
    m_characters = 0;
    if (rest > limit)
        return false;
    std::size_t begin = 0;
    for (std::size_t end : m_ends) {
        const std::size_t placed = m_runs.size();
        placeRun(begin, end);
        for (std::size_t r = placed; r < m_runs.size(); ++r)
            m_characters += Tags + colourTextLength(m_runs[r].colour, m_forms);
        rest -= Tags + m_shortestText;
        if (m_characters + rest > limit)
            return false;
        begin = end;
    }
    return true;
}

bool RunChooser::planWithin(int step, std::size_t limit)
{
    if (!m_split) {
        planPart(step);
        return placePart(limit);
    }
    // The part after the split is planned, then placed, on a thread kept for it while this one
    // does the part before: both at the same share, the row's characters counted together. Each
    // part goes on to place its runs without waiting for the other's plan: it gives up early
    // only against the other's least once that is known, and the row fits all the same exactly
    // when both parts together write at most limit.
    RunChooser& helper = *m_helper;
    m_least = Unknown;
    helper.m_least = Unknown;
    bool helperPlaced = false;
    m_thread->start([&] {
        helper.planPart(step);
        helper.m_least = helper.leastCharacters();
        helperPlaced = helper.placePart(limit - std::min(limit, known(m_least)));
    });
    planPart(step);
    m_least = leastCharacters();
    const bool placed = placePart(limit - std::min(limit, known(helper.m_least)));
    m_thread->wait();
    return placed && helperPlaced && m_least + helper.m_least <= limit
        && m_characters + helper.m_characters <= limit;
}

void RunChooser::keepRuns()
{
    m_keptRuns.swap(m_runs);
    if (m_split)
        m_helper->m_keptRuns.swap(m_helper->m_runs);
}

void RunChooser::fit()
{
    std::size_t limit = greedyCharacters();
    if (m_split)
        limit += m_helper->greedyCharacters();
    // Neighbouring rows fit at much the same share: the search starts at the last row's and
    // moves one step at a time, towards closer runs while they fit, else towards fewer. The
    // closest plan that fits is kept; when even the least share is over, groupRuns' runs.
    int step = m_lastStep;
    if (planWithin(step, limit)) {
        while (step > 0) {
            keepRuns();
            if (!planWithin(step - 1, limit)) {
                keepRuns();
                break;
            }
            --step;
        }
    } else {
        for (;;) {
            if (step == LeastStep) {
                greedyRuns();
                if (m_split)
                    m_helper->greedyRuns();
                break;
            }
            if (planWithin(++step, limit))
                break;
        }
    }
    m_lastStep = step;
}

void RunChooser::fitAcrossCores(std::size_t split)
{
    // Both parts hold whole runs of groupRuns, whose runs are then theirs together.
    RunChooser& helper = *m_helper;
    helper.prepare(std::span<const ColourValue>(m_cells).subspan(split),
        std::span<const LabColour>(m_labs).subspan(split), m_tolerance);
    const auto second = std::lower_bound(m_greedyStarts.begin(), m_greedyStarts.end(), split);
    helper.m_greedyStarts.clear();
    for (auto start = second; start != m_greedyStarts.end(); ++start)
        helper.m_greedyStarts.push_back(*start - split);
    m_greedyStarts.erase(second, m_greedyStarts.end());
    m_cells.resize(split);
    m_labs.resize(split);
    m_split = split;
    fit();
    m_split = 0;
    for (const Run& run : helper.m_runs)
        m_runs.push_back({ run.begin + split, run.end + split, run.colour });
}

void RunChooser::measure(std::span<const ColourValue> cells, std::span<LabColour> labs) const
{
    for (std::size_t i = 0; i < cells.size(); ++i)
        labs[i] = i > 0 && cells[i] == cells[i - 1] ? labs[i - 1] : labOf(cells[i]);
}

void RunChooser::findGreedyStarts(std::span<const ColourValue> cells,
    std::span<const LabColour> labs, std::size_t begin, std::size_t end,
    std::span<const std::size_t> joinAt, std::vector<std::size_t>& starts) const
{
    const std::size_t n = std::min(end, cells.size());
    if (begin >= n)
        return;
    starts.push_back(begin);
    // After a start, groupRuns' runs depend on nothing before it: where one is among joinAt's,
    // the rest are joinAt's too.
    auto join = joinAt.begin();
    // Photos repeat colours often enough that remembering the last cell's verdict pays.
    ColourValue lastColour = cells[begin];
    bool lastJoined = true;
    for (std::size_t start = begin, i = begin + 1; i < n; ++i) {
        if (cells[i] == cells[start])
            continue;
        if (cells[i] != lastColour) {
            lastColour = cells[i];
            lastJoined = within(labs[start], labs[i], false);
        }
        if (lastJoined)
            continue;
        starts.push_back(i);
        start = i;
        lastJoined = true;
        while (join != joinAt.end() && *join < i)
            ++join;
        if (join != joinAt.end() && *join == i) {
            starts.insert(starts.end(), join + 1, joinAt.end());
            return;
        }
    }
}

std::size_t RunChooser::greedyCharacters() const
{
    std::size_t characters = 0;
    for (std::size_t start : m_greedyStarts)
        characters += Tags + colourTextLength(m_cells[start], m_forms);
    return characters;
}

void RunChooser::greedyRuns()
{
    m_runs.clear();
    for (std::size_t r = 0; r < m_greedyStarts.size(); ++r) {
        const std::size_t start = m_greedyStarts[r];
        const std::size_t end
            = r + 1 < m_greedyStarts.size() ? m_greedyStarts[r + 1] : m_cells.size();
        // Their mean, or their box's centre, where it holds them (every cell is within the
        // tolerance of the first, so the run is never cut) and is written no longer.
        placeRun(start, end);
        Run& run = m_runs.back();
        if (colourTextLength(run.colour, m_forms) > colourTextLength(m_cells[start], m_forms))
            run.colour = finalColour(m_cells[start], start, end);
    }
}

void RunChooser::sameColourRuns()
{
    const std::size_t n = m_cells.size();
    for (std::size_t begin = 0, end = 1; begin < n; begin = end++) {
        while (end < n && m_cells[end] == m_cells[begin])
            ++end;
        m_runs.push_back({ begin, end, finalColour(m_cells[begin], begin, end) });
    }
}

void RunChooser::choose(
    std::span<ColourValue> colours, double tolerance, std::vector<std::uint32_t>& starts)
{
    const std::size_t n = colours.size();
    m_tolerance = tolerance;
    m_nearEnough = tolerance * tolerance;
    m_labs.resize(n);
    m_greedyStarts.clear();
    if (tolerance > 0.0 && n >= LongRow) {
        // A long row is cut in two at the start of one of groupRuns' runs near its middle, a
        // part on each core: a row of a large grid takes milliseconds, far more than a wake-up.
        // The helper measures the second half and finds groupRuns' runs as if one started at its
        // first cell, which those of the whole row soon meet.
        if (!m_helper) {
            m_helper = std::make_unique<RunChooser>(m_forms);
            m_thread = std::make_unique<HelperThread>();
        }
        RunChooser& helper = *m_helper;
        helper.m_tolerance = tolerance;
        helper.m_nearEnough = m_nearEnough;
        helper.m_greedyStarts.clear();
        const std::size_t half = n / 2;
        const std::span<const ColourValue> cells(colours.data(), n);
        m_thread->start([&] {
            helper.measure(cells.subspan(half), std::span<LabColour>(m_labs).subspan(half));
            helper.findGreedyStarts(cells, m_labs, half, n, {}, helper.m_greedyStarts);
        });
        measure(cells.first(half), std::span<LabColour>(m_labs).first(half));
        findGreedyStarts(cells, m_labs, 0, half, {}, m_greedyStarts);
        m_thread->wait();
        // The last run found goes on past the half: it is looked at again from its start.
        const std::size_t last = m_greedyStarts.back();
        m_greedyStarts.pop_back();
        findGreedyStarts(cells, m_labs, last, n, helper.m_greedyStarts, m_greedyStarts);
        const auto second = std::lower_bound(m_greedyStarts.begin(), m_greedyStarts.end(), half);
        prepare(colours, m_labs, tolerance);
        if (second != m_greedyStarts.end())
            fitAcrossCores(*second);
        else
            fit();
    } else {
        measure(colours, m_labs);
        prepare(colours, m_labs, tolerance);
        if (tolerance <= 0.0) {
            sameColourRuns();
        } else {
            findGreedyStarts(colours, m_labs, 0, n, {}, m_greedyStarts);
            fit();
        }
    }

    starts.clear();
    for (const Run& run : m_runs) {
        starts.push_back(static_cast<std::uint32_t>(run.begin));
        std::fill(colours.begin() + std::ptrdiff_t(run.begin),
            colours.begin() + std::ptrdiff_t(run.end), run.colour);
    }
}

} // namespace mosaiq
