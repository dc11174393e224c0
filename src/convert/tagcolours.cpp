#include "convert/tagcolours.h"

#include "convert/colourform.h"
#include "convert/rowfitter.h"
#include "convert/runplanner.h"

#include <algorithm>

namespace mosaiq {

namespace {

    // Steps from the mean towards the least summed difference: most of the way is made in the
    // first two, and each costs a pass over the tag's cells.
    constexpr int Steps = 2;
    // A step shorter than this (in L*a*b*, about a third of a byte of a channel) is the last.
    constexpr double Settled = 0.1;
    // The distance below which a cell is taken as reached, so that a step never divides by zero.
    constexpr double Reached = 1e-3;

} // namespace

void TagColours::linkTags(RowFitter& fitter)
{
    const auto& runs = fitter.m_runs;
    const std::size_t count = runs.size();
    m_next.assign(count, count);
    m_opens.assign(count, true);
    // The run that opened the tag at each depth, and the last run shown in it.
    std::array<std::size_t, 256> opener, last;
    opener.fill(count);
    std::size_t open = 0; // the deepest tag open
    for (std::size_t r = 0; r < count; ++r) {
        const std::uint8_t nesting = runs[r].nesting;
        const std::size_t depth = nesting & ~TagLayers::TakesBack;
        // The tags inside the run's are closed before it.
        for (; open > depth; --open)
            opener[open] = count;
        open = depth;
        if ((nesting & TagLayers::TakesBack) && opener[depth] < count
            && runs[opener[depth]].colour == runs[r].colour) {
            m_next[last[depth]] = r;
            last[depth] = r;
            m_opens[r] = false;
        } else if (depth > 0) {
            opener[depth] = last[depth] = r;
        }
    }
}

void TagColours::gather(const RowFitter& fitter, std::size_t first)
{
    const auto& runs = fitter.m_runs;
    m_stretches.clear();
    for (std::size_t r = first; r < runs.size(); r = m_next[r]) {
        for (std::size_t i = runs[r].begin; i < runs[r].end; ++i) {
            if (i > runs[r].begin && fitter.m_cells[i] == fitter.m_cells[i - 1]) {
                m_stretches.back().count += 1.0;
                continue;
            }
            m_stretches.push_back({ fitter.m_labs[i], fitter.m_steps[i], 1.0 });
        }
    }
}

double TagColours::gain(const LabColour& from, const LabColour& to) const
{
    double sum = 0;
    for (const Stretch& s : m_stretches) {
        sum += s.count
            * (RunPlanner::stepDifference(s.weights, from, s.lab)
                - RunPlanner::stepDifference(s.weights, to, s.lab));
    }
    return sum;
}

LabColour TagColours::median() const
{
    // Weiszfeld's steps, each channel weighed as the difference weighs it near each cell.
    LabColour x;
    double cells = 0;
    for (const Stretch& s : m_stretches) {
        x.l += s.count * s.lab.l;
        x.a += s.count * s.lab.a;
        x.b += s.count * s.lab.b;
        cells += s.count;
    }
    x = { x.l / cells, x.a / cells, x.b / cells };
    for (int step = 0; step < Steps; ++step) {
        std::array<double, 3> sum {}, weight {};
        for (const Stretch& s : m_stretches) {
            const auto& w = s.weights;
            const double distance = std::max(Reached, RunPlanner::stepDifference(w, x, s.lab));
            const double share = s.count / distance;
            weight[0] += share * w[0];
            weight[1] += share * w[1];
            weight[2] += share * w[2];
            sum[0] += share * w[0] * s.lab.l;
            sum[1] += share * w[1] * s.lab.a;
            sum[2] += share * w[2] * s.lab.b;
        }
        const LabColour next { sum[0] / weight[0], sum[1] / weight[1], sum[2] / weight[2] };
        const double moved = labSquaredDistance(next, x);
        x = next;
        if (moved < Settled * Settled)
            break;
    }
    return x;
}

void TagColours::settle(RowFitter& fitter)
{
    auto& runs = fitter.m_runs;
    linkTags(fitter);
    for (std::size_t first = 0; first < runs.size(); ++first) {
        if (!m_opens[first])
            continue;
        gather(fitter, first);
        if (m_stretches.size() < 2)
            continue; // one colour: the mean is its own
        const ColourValue current = runs[first].colour;
        const ColourValue candidate = colourOfLab(median());
        if (candidate == current
            || colourTextLength(candidate, fitter.m_forms)
                > colourTextLength(current, fitter.m_forms))
            continue;
        const LabColour lab = fitter.knownLab(candidate);
        if (gain(fitter.knownLab(current), lab) <= 0.0)
            continue;
        bool held = true;
        for (std::size_t r = first; r < runs.size() && held; r = m_next[r])
            held = fitter.holds(candidate, lab, runs[r].begin, runs[r].end, runs[r].begin);
        if (!held)
            continue;
        for (std::size_t r = first; r < runs.size(); r = m_next[r])
            runs[r].colour = candidate;
    }
}

} // namespace mosaiq
