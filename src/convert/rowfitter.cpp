#include "convert/rowfitter.h"

#include "convert/labbox.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace mosaiq {

namespace {

    // The shares of the planner's weight on closeness a row is planned at: ShareStep to the
    // power of minus 0 to LeastStep (1 down to 1/256). A row that cannot afford one share takes
    // the next, looser one: halves rather than quarters leave it less short of the characters it
    // could spend, for up to 3.5 % more cells at the same mean difference, and neighbouring rows
    // starting where theirs ended keep the extra plans few.
    constexpr double ShareStep = 2.0;
    constexpr int LeastStep = 8;
    // The slots of the colours whose L*a*b* a fitter remembers: 2^KnownBits of them.
    constexpr int KnownBits = 12;

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

RowFitter::RowFitter(ColourForms forms)
    : m_forms(forms)
{
    if (forms.shortHex)
        m_shortestText = 4;
    if (forms.names) {
        for (const auto& named : namedColours())
            m_shortestText = std::min(m_shortestText, named.name.size());
    }
}

bool RowFitter::within(const LabColour& colour, const LabColour& cell) const
{
    // Near cells need no more than the channels' differences; the lightnesses alone tell most
    // cells that are too far; bounds without trigonometry tell nearly all the others. The
    // verdicts are the full difference's all the same.
    if (ciede2000SquaredCeiling(colour, cell) <= m_nearEnough)
        return true;
    const double weight = lightnessWeight((cell.l + colour.l) / 2.0);
    if (std::abs(cell.l - colour.l) > m_tolerance * weight * (1.0 + 1e-9))
        return false;
    const int verdict = ciede2000BoundsVerdict(colour, cell, weight, m_nearEnough);
    return verdict != 0 ? verdict > 0 : ciede2000(colour, cell) <= m_tolerance;
}

bool RowFitter::holds(ColourValue colour, const LabColour& lab, std::size_t begin, std::size_t end,
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

double RowFitter::summedDifference(
    const LabColour& lab, std::size_t begin, std::size_t end, double limit) const
{
    // Each cell's step difference; the tolerance itself is checked with the full difference.
    const auto weights = m_steps;
    double sum = 0;
    for (std::size_t i = begin; i < end && sum <= limit; ++i)
        sum += RunPlanner::stepDifference(weights[i], lab, m_labs[i]);
    return sum <= limit ? sum : -1.0;
}

ColourValue RowFitter::finalColour(ColourValue colour, const LabColour& lab, std::size_t begin,
    std::size_t end, const LabColour* knownMean) const
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
    const double current = summedDifference(lab, begin, end, 1e300);
    ColourValue best = colour;
    double bestGain = 0;
    auto consider = [&](ColourValue candidate) {
        const std::size_t candidateLength = colourTextLength(candidate, m_forms);
        if (candidateLength >= length)
            return;
        const double worth = double(length - candidateLength) * m_characterWorth;
        const LabColour candidateLab = knownLab(candidate);
        const double sum = summedDifference(candidateLab, begin, end, current + worth - bestGain);
        if (sum >= 0 && worth - (sum - current) > bestGain
            && holds(candidate, candidateLab, begin, end, begin)) {
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
            if (labSquaredDistance(nameLabs[i], mean) <= reach)
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

void RowFitter::placeRun(std::size_t begin, std::size_t end)
{
    if (end - begin == 1) {
        m_runs.push_back({ begin, end, m_cells[begin] });
        return;
    }
    const auto candidates = runColourCandidates(m_labs, begin, end);
    for (const LabColour& candidate : candidates) {
        const ColourValue colour = colourOfLab(candidate);
        const LabColour lab = knownLab(colour);
        if (holds(colour, lab, begin, end, begin)) {
            // The mean's colour is passed on as it is known; the box centre's is left as it came.
            const bool mean = &candidate == &candidates[0];
            m_runs.push_back({ begin, end,
                finalColour(colour, lab, begin, end, mean ? &candidates[0] : nullptr) });
            return;
        }
    }
    // The planner's estimate was too kind: the run is cut where the plain runs would cut it,
    // each part in its first cell's colour, which holds it.
    std::size_t start = begin;
    for (std::size_t i = begin + 1; i <= end; ++i) {
        if (i == end || (m_cells[i] != m_cells[start] && !within(m_labs[start], m_labs[i]))) {
            m_runs.push_back({ start, i, finalColour(m_cells[start], m_labs[start], start, i) });
            start = i;
        }
    }
}

void RowFitter::load(std::span<const ColourValue> cells)
{
    m_cells.assign(cells.begin(), cells.end());
}

void RowFitter::plan(int step)
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
        // The row most often fits at the step it starts from and not at the next closer one:
        // both are planned at once.
        m_planner.plan(m_ends, m_share, m_pairedEnds, std::pow(ShareStep, 1 - step));
        m_pairedStep = step - 1;
    } else {
        m_planner.plan(m_ends, m_share);
    }
    m_firstPlan = false;
}

std::size_t RowFitter::leastCharacters() const
{
    return m_ends.size() * (Tags + m_shortestText);
}

bool RowFitter::place(std::size_t limit)
{
    // Each run writes at least its tags and the shortest colour text: the runs are given up as
    // soon as those placed and the least that the others can write are over the limit. A run
    // that takes back a tag open around it writes none; seldom does more than one run in two,
    // so with nested tags a plan is given up against half the others' least (now and then a
    // plan that would have fitted, never one over).
    const bool nested = m_forms.nestedTags;
    const std::size_t share = nested ? 2 : 1;
    std::size_t rest = leastCharacters();
    m_characters = 0;
    if (rest / share > limit)
        return false;
    m_layers.clear(*this);
    std::size_t begin = 0;
    for (std::size_t end : m_ends) {
        const std::size_t placed = m_runs.size();
        placeRun(begin, end);
        for (std::size_t r = placed; r < m_runs.size(); ++r) {
            if (nested)
                m_characters = std::size_t(std::ptrdiff_t(m_characters) + m_layers.add(r));
            else
                m_characters += runCharacters(m_runs[r].colour);
        }
        rest -= Tags + m_shortestText;
        if (m_characters + rest / share > limit)
            return false;
        begin = end;
    }
    return true;
}

bool RowFitter::planWithin(int step, std::size_t limit)
{
    plan(step);
    return place(limit);
}

void RowFitter::search(int fromStep)
{
    const std::size_t limit = greedyCharacters();
    // Neighbouring rows fit at much the same share: the search starts at the step given and
    // moves one step at a time, towards closer runs while they fit, else towards fewer. The
    // closest plan that fits is kept; when even the least share is over, groupRuns' runs.
    int step = std::clamp(fromStep, 0, LeastStep);
    if (planWithin(step, limit)) {
        while (step > 0) {
            m_keptRuns.swap(m_runs);
            if (!planWithin(step - 1, limit)) {
                m_keptRuns.swap(m_runs);
                break;
            }
            --step;
        }
    } else {
        for (;;) {
            if (step == LeastStep) {
                greedyRuns();
                break;
            }
            if (planWithin(++step, limit))
                break;
        }
    }
    m_lastStep = step;
}

const LabColour& RowFitter::knownLab(ColourValue colour) const
{
    if (m_knownColours.empty()) {
        m_knownColours.assign(std::size_t(1) << KnownBits, InvalidColour);
        m_knownLabs.resize(m_knownColours.size());
    }
    const auto bits = static_cast<std::uint32_t>(colour);
    const std::size_t slot = (bits * 2654435761u) >> (32 - KnownBits);
    if (m_knownColours[slot] != colour || colour == InvalidColour) {
        m_knownColours[slot] = colour;
        m_knownLabs[slot] = labOf(colour);
    }
    return m_knownLabs[slot];
}

void RowFitter::measure()
{
    const std::size_t n = m_cells.size();
    m_labs.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        m_labs[i] = i > 0 && m_cells[i] == m_cells[i - 1] ? m_labs[i - 1] : knownLab(m_cells[i]);
}

void RowFitter::findGreedyStarts()
{
    m_greedyStarts.clear();
    const std::size_t n = m_cells.size();
    if (n == 0)
        return;
    m_greedyStarts.push_back(0);
    // Photos repeat colours often enough that remembering the last cell's verdict pays.
    ColourValue lastColour = m_cells[0];
    bool lastJoined = true;
    for (std::size_t start = 0, i = 1; i < n; ++i) {
        if (m_cells[i] == m_cells[start])
            continue;
        if (m_cells[i] != lastColour) {
            lastColour = m_cells[i];
            lastJoined = within(m_labs[start], m_labs[i]);
        }
        if (lastJoined)
            continue;
        m_greedyStarts.push_back(i);
        start = i;
        lastJoined = true;
    }
}

std::size_t RowFitter::greedyCharacters() const
{
    std::size_t characters = 0;
    for (std::size_t start : m_greedyStarts)
        characters += runCharacters(m_cells[start]);
    return characters;
}

void RowFitter::greedyRuns()
{
    m_runs.clear();
    m_layers.clear(*this);
    for (std::size_t r = 0; r < m_greedyStarts.size(); ++r) {
        const std::size_t start = m_greedyStarts[r];
        const std::size_t end
            = r + 1 < m_greedyStarts.size() ? m_greedyStarts[r + 1] : m_cells.size();
        // Their mean, or their box's centre, where it holds them (every cell is within the
        // tolerance of the first, so the run is never cut) and is written no longer.
        placeRun(start, end);
        Run& run = m_runs.back();
        if (colourTextLength(run.colour, m_forms) > colourTextLength(m_cells[start], m_forms))
            run.colour = finalColour(m_cells[start], m_labs[start], start, end);
        // Taking back a tag only ever saves characters.
        if (m_forms.nestedTags)
            m_layers.add(m_runs.size() - 1);
    }
}

void RowFitter::sameColourRuns()
{
    const std::size_t n = m_cells.size();
    for (std::size_t begin = 0, end = 1; begin < n; begin = end++) {
        while (end < n && m_cells[end] == m_cells[begin])
            ++end;
        m_runs.push_back({ begin, end, finalColour(m_cells[begin], m_labs[begin], begin, end) });
    }
}

void RowFitter::fit(double tolerance, int fromStep)
{
    m_tolerance = tolerance;
    m_nearEnough = tolerance * tolerance;
    m_runs.clear();
    m_prepared = false;
    m_firstPlan = true;
    m_pairedStep = -1;
    m_characterWorth = 0;
    m_lastStep = fromStep;
    measure();
    if (tolerance <= 0.0) {
        sameColourRuns();
        return;
    }
    findGreedyStarts();
    search(fromStep);
    m_tagColours.settle(*this);
}

void RowFitter::apply(std::span<ColourValue> colours, std::vector<std::uint32_t>& starts,
    std::vector<std::uint8_t>* nesting) const
{
    starts.clear();
    const bool nested = nesting && !m_runs.empty() && m_runs.front().nesting != 0;
    if (nesting)
        nesting->clear();
    for (const Run& run : m_runs) {
        starts.push_back(static_cast<std::uint32_t>(run.begin));
        if (nested)
            nesting->push_back(run.nesting);
        std::fill(colours.begin() + std::ptrdiff_t(run.begin),
            colours.begin() + std::ptrdiff_t(run.end), run.colour);
    }
}

} // namespace mosaiq
