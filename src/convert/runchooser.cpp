#include "convert/runchooser.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <thread>

namespace mosaiq {

namespace {

    struct LabBox {
        LabColour low, high;
        explicit LabBox(const LabColour& lab)
            : low(lab)
            , high(lab)
        {
        }
        void add(const LabColour& lab)
        {
            low = { std::min(low.l, lab.l), std::min(low.a, lab.a), std::min(low.b, lab.b) };
            high = { std::max(high.l, lab.l), std::max(high.a, lab.a), std::max(high.b, lab.b) };
        }
        LabColour centre() const
        {
            return { (low.l + high.l) / 2, (low.a + high.a) / 2, (low.b + high.b) / 2 };
        }
    };

    // The summed difference that a character saved is worth, per unit of tolerance: measured on
    // the frontier photos (frontier_bench), where a shorter text is a gain between 0.03 and 0.3.
    constexpr double CharacterWorth = 0.1;
    // Rows of at least this many cells are planned on two cores: a row of a large grid takes
    // milliseconds, far more than starting a thread.
    constexpr std::size_t LongRow = 1024;

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

void RunChooser::plainRuns()
{
    // groupRuns' runs, measured as the chooser measures: the same verdicts, from the L*a*b*
    // worked out once.
    const std::size_t n = m_cells.size();
    m_plain.resize(n);
    m_plainEnd.resize(n);
    std::size_t start = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (m_cells[i] != m_cells[start] && !within(m_labs[start], m_labs[i], false)) {
            std::fill(m_plainEnd.begin() + std::ptrdiff_t(start),
                m_plainEnd.begin() + std::ptrdiff_t(i), i);
            start = i;
        }
        m_plain[i] = m_cells[start];
    }
    std::fill(m_plainEnd.begin() + std::ptrdiff_t(start), m_plainEnd.end(), n);
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
    ColourValue colour, std::size_t begin, std::size_t end, bool settled) const
{
    const bool shorter = m_forms.names || m_forms.shortHex;
    if (end - begin == 1 && !shorter)
        return m_cells[begin];
    // A pair's mean is its box's centre, which it has already when the centre held it.
    if (end - begin == 2 && !shorter)
        return colour;
    LabColour mean;
    for (std::size_t i = begin; i < end; ++i) {
        mean.l += m_labs[i].l;
        mean.a += m_labs[i].a;
        mean.b += m_labs[i].b;
    }
    const double count = double(end - begin);
    mean = { mean.l / count, mean.a / count, mean.b / count };
    const ColourValue meanColour = colourOfLab(mean);
    if (!settled && colourTextLength(colour, m_forms) == colourTextLength(meanColour, m_forms)
        && meanColour != colour && holds(meanColour, labOf(meanColour), begin, end, begin))
        colour = meanColour;
    if (!shorter || m_characterWorth <= 0.0)
        return colour;

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

double RunChooser::runCost(std::size_t begin, std::size_t end, ColourValue& colour) const
{
    for (const LabColour& candidate : runColourCandidates(m_labs, begin, end)) {
        const ColourValue c = end - begin == 1 ? m_cells[begin] : colourOfLab(candidate);
        const LabColour lab = labOf(c);
        double sum = 0;
        bool held = true;
        for (std::size_t i = begin; i < end && held; ++i) {
            const double difference = m_cells[i] == c ? 0.0 : ciede2000(lab, m_labs[i]);
            held = difference <= m_tolerance;
            sum += difference;
        }
        if (held) {
            colour = c;
            return sum;
        }
    }
    return -1.0;
}

void RunChooser::refineCuts()
{
    // Short runs only: there a cell more or less on either side of a cut changes the mean
    // difference most, and the moves cost little.
    constexpr std::size_t Shortest = 8, Reach = 1;
    // The right run's cost, worked out for one cut, is the left run's for the next.
    double carried = -2.0;
    ColourValue carriedColour = 0;
    for (std::size_t r = 0; r + 1 < m_runs.size(); ++r) {
        Run& left = m_runs[r];
        Run& right = m_runs[r + 1];
        const std::size_t lowest = std::max(left.begin + 1, left.end - std::min(left.end, Reach));
        const std::size_t highest = std::min(right.end - 1, left.end + Reach);
        // Long runs, and two single cells, whose cut cannot move, are left as they are.
        if (left.end - left.begin > Shortest || right.end - right.begin > Shortest
            || (lowest == left.end && highest == left.end)) {
            carried = -2.0;
            continue;
        }
        ColourValue leftColour = left.colour, rightColour = right.colour;
        double best = carried;
        if (best > -2.0)
            leftColour = carriedColour;
        else
            best = runCost(left.begin, left.end, leftColour);
        const double rightCost = runCost(right.begin, right.end, rightColour);
        carried = rightCost < 0 ? -2.0 : rightCost;
        carriedColour = rightColour;
        if (best < 0 || rightCost < 0)
            continue;
        best += rightCost;
        std::size_t bestCut = left.end;
        for (std::size_t cut = lowest; cut <= highest; ++cut) {
            if (cut == left.end)
                continue;
            ColourValue a = 0, b = 0;
            const double first = runCost(left.begin, cut, a);
            if (first < 0 || first >= best)
                continue;
            const double second = runCost(cut, right.end, b);
            if (second >= 0 && first + second < best) {
                best = first + second;
                bestCut = cut;
                leftColour = a;
                rightColour = b;
            }
        }
        if (bestCut != left.end)
            carried = -2.0; // the right run changed: its cost is worked out again
        left.end = right.begin = bestCut;
        left.colour = leftColour;
        right.colour = rightColour;
        left.settled = right.settled = true;
    }
}

void RunChooser::greedyRuns()
{
    const std::size_t n = m_cells.size();
    m_runs.clear();
    std::size_t begin = 0;
    while (begin < n) {
        ColourValue colour = m_cells[begin];
        LabColour lab = m_labs[begin];
        LabBox box(lab);
        const ColourValue plain = m_plain[begin];
        std::size_t end = begin + 1;
        for (; end < n; ++end) {
            const LabColour& cell = m_labs[end];
            if (holds(colour, lab, end, end + 1, end)) {
                box.add(cell);
                continue;
            }
            LabBox grown = box;
            grown.add(cell);
            // A box too tall for any colour between its lightnesses to be within reach of both
            // ends (CIEDE2000 is at least the lightness difference over SL) has no centre to try.
            const double halfHeight = (grown.high.l - grown.low.l) / 2.0;
            const bool tooTall = halfHeight > m_tolerance
                    * std::max(lightnessWeight(grown.low.l + halfHeight / 2.0),
                        lightnessWeight(grown.high.l - halfHeight / 2.0))
                    * (1.0 + 1e-9);
            const ColourValue centre = tooTall ? colour : colourOfLab(grown.centre());
            const LabColour centreLab = tooTall ? lab : labOf(centre);
            if (!tooTall && holds(centre, centreLab, begin, end + 1, end)) {
                colour = centre;
                lab = centreLab;
                box = grown;
                continue;
            }
            // The plain run's colour holds every cell to the end of that run: no need to measure.
            if (end < m_plainEnd[begin]) {
                colour = plain;
                lab = labOf(plain);
                box = grown;
                continue;
            }
            break;
        }
        m_runs.push_back({ begin, end, colour, false });
        begin = end;
    }
    if (m_tolerance > 0.0)
        refineCuts();
    for (Run& run : m_runs)
        run.colour = finalColour(run.colour, run.begin, run.end, run.settled);
}

void RunChooser::placeRun(std::size_t begin, std::size_t end)
{
    if (end - begin == 1) {
        m_runs.push_back({ begin, end, m_cells[begin], true });
        return;
    }
    for (const LabColour& candidate : runColourCandidates(m_labs, begin, end)) {
        const ColourValue colour = colourOfLab(candidate);
        if (holds(colour, labOf(colour), begin, end, begin)) {
            m_runs.push_back({ begin, end, finalColour(colour, begin, end, true), true });
            return;
        }
    }
    // The planner's estimate was too kind: the run is cut where the plain runs would cut it,
    // each part in its first cell's colour, which holds it.
    std::size_t start = begin;
    for (std::size_t i = begin + 1; i <= end; ++i) {
        if (i == end || (m_cells[i] != m_cells[start] && !within(m_labs[start], m_labs[i]))) {
            m_runs.push_back({ start, i, finalColour(m_cells[start], start, i, true), true });
            start = i;
        }
    }
}

void RunChooser::planRuns(std::size_t from, std::size_t to)
{
    m_planner.plan(
        std::span<const LabColour>(m_labs).subspan(from, to - from), m_tolerance, m_ends);
    m_steps = m_planner.stepWeights();
    std::size_t begin = from;
    for (std::size_t end : m_ends) {
        placeRun(begin, from + end);
        begin = from + end;
    }
}

bool RunChooser::fewerCharacters() const
{
    // A run's tags besides its colour text, then each colour's text.
    constexpr std::size_t Tags = std::size_t(RunPlanner::RunCharacters) - 7;
    std::size_t planned = 0, plain = 0;
    for (const Run& run : m_runs)
        planned += Tags + colourTextLength(run.colour, m_forms);
    for (std::size_t i = 0; i < m_cells.size(); i = m_plainEnd[i])
        plain += Tags + colourTextLength(m_plain[i], m_forms);
    return planned <= plain;
}

void RunChooser::prepare(
    std::span<const ColourValue> cells, std::span<const LabColour> labs, double tolerance)
{
    m_tolerance = tolerance;
    m_nearEnough = tolerance * tolerance;
    m_characterWorth = CharacterWorth * tolerance;
    m_cells.assign(cells.begin(), cells.end());
    m_labs.assign(labs.begin(), labs.end());
    m_runs.clear();
}

void RunChooser::planAcrossCores()
{
    // The second part of a long row is planned on a thread of its own while this one plans the
    // first and works out the plain runs of the whole row, which is why it takes the larger part.
    const std::size_t n = m_cells.size();
    const std::size_t split = n * 9 / 20;
    if (!m_helper)
        m_helper = std::make_unique<RunChooser>(m_forms);
    RunChooser& helper = *m_helper;
    std::thread second([&] {
        helper.prepare(std::span<const ColourValue>(m_cells).subspan(split),
            std::span<const LabColour>(m_labs).subspan(split), m_tolerance);
        helper.planRuns(0, n - split);
    });
    planRuns(0, split);
    plainRuns();
    second.join();
    for (const Run& run : helper.m_runs)
        m_runs.push_back({ run.begin + split, run.end + split, run.colour, run.settled });
    // The greedy runs, should the row need them, weigh their colours with every cell's steps.
    m_joinedSteps.assign(m_steps.begin(), m_steps.end());
    m_joinedSteps.insert(m_joinedSteps.end(), helper.m_steps.begin(), helper.m_steps.end());
    m_steps = m_joinedSteps;
}

void RunChooser::choose(
    std::span<ColourValue> colours, double tolerance, std::vector<std::uint32_t>& starts)
{
    const std::size_t n = colours.size();
    m_labs.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        m_labs[i] = i > 0 && colours[i] == colours[i - 1] ? m_labs[i - 1] : labOf(colours[i]);
    m_tolerance = tolerance;
    m_nearEnough = tolerance * tolerance;
    m_characterWorth = CharacterWorth * tolerance;
    m_cells.assign(colours.begin(), colours.end());
    m_runs.clear();
    if (tolerance <= 0.0) {
        plainRuns();
        greedyRuns();
    } else {
        if (n >= LongRow) {
            planAcrossCores();
        } else {
            planRuns(0, n);
            plainRuns();
        }
        // Never more characters than the plain runs of the same row.
        if (!fewerCharacters()) {
            m_runs.clear();
            greedyRuns();
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
