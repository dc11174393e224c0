#include "convert/taglayers.h"

#include "convert/colourform.h"
#include "convert/rowfitter.h"

namespace mosaiq {

namespace {

    void addCells(
        LabColour& sum, const std::vector<LabColour>& labs, std::size_t begin, std::size_t end)
    {
        for (std::size_t i = begin; i < end; ++i) {
            sum.l += labs[i].l;
            sum.a += labs[i].a;
            sum.b += labs[i].b;
        }
    }

} // namespace

bool TagLayers::near(const LabColour& colour, const LabColour& cell, double scale) const
{
    return labSquaredDistance(colour, cell) <= m_reach * scale;
}

double TagLayers::ownDifference(std::size_t r)
{
    if (m_ownDifference < 0) {
        const auto& run = m_fitter->m_runs[r];
        m_ownDifference = difference(m_fitter->knownLab(run.colour), r, 1e300);
    }
    return m_ownDifference;
}

double TagLayers::difference(const LabColour& lab, std::size_t r, double limit) const
{
    const auto& run = m_fitter->m_runs[r];
    return m_fitter->summedDifference(lab, run.begin, run.end, limit);
}

void TagLayers::open(std::size_t r)
{
    if (m_open == MostOpen)
        --m_open;
    Layer& layer = m_layers[m_open++];
    auto& run = m_fitter->m_runs[r];
    layer.runs.assign(1, r);
    layer.lab = m_fitter->knownLab(run.colour);
    layer.first = m_fitter->m_labs[run.begin];
    layer.sum = {};
    addCells(layer.sum, m_fitter->m_labs, run.begin, run.end);
    layer.cells = run.end - run.begin;
    layer.difference = ownDifference(r);
    run.nesting = static_cast<std::uint8_t>(m_open);
}

bool TagLayers::takeBack(
    std::size_t k, std::size_t r, std::size_t saved, Reach reach, std::ptrdiff_t& added)
{
    RowFitter& fitter = *m_fitter;
    Layer& layer = m_layers[k];
    auto& runs = fitter.m_runs;
    auto& run = runs[r];
    const ColourValue colour = runs[layer.runs.front()].colour;
    const double worth = fitter.m_characterWorth;
    const std::size_t cells = run.end - run.begin;

    // The summed difference, a square root a cell, is worked out before the tolerance, whose
    // full difference costs far more: the characters saved are most often worth too little.
    if (reach.tag) {
        const double sum = difference(layer.lab, r, ownDifference(r) + worth * double(saved));
        if (sum >= 0 && fitter.holds(colour, layer.lab, run.begin, run.end, run.begin)) {
            run.colour = colour;
            layer.runs.push_back(r);
            addCells(layer.sum, fitter.m_labs, run.begin, run.end);
            layer.cells += cells;
            layer.difference += sum;
            added = 0;
            return true;
        }
    }

    // The tag's cells and the run's in their mean, where it holds them all: the tag's colour is
    // seldom the best for cells that come back to it after others.
    if (!reach.mean)
        return false;
    LabColour sum = layer.sum;
    addCells(sum, fitter.m_labs, run.begin, run.end);
    const double count = double(layer.cells + cells);
    const LabColour mean { sum.l / count, sum.a / count, sum.b / count };
    // Most runs are too far from the tag for any colour to hold both, or not worth it: the first
    // cells of each and the summed difference, against the mean itself (its colour is within a
    // rounding of it, its text at most 3 characters shorter), tell most before its colour is
    // worked out; the summed difference first, a square root a cell.
    if (!near(mean, fitter.m_labs[run.begin]) || !near(mean, layer.first))
        return false;
    const double limit = ownDifference(r) + layer.difference + worth * double(saved + 3);
    double total = difference(mean, r, limit);
    for (std::size_t q : layer.runs) {
        if (total < 0)
            return false;
        const double part = difference(mean, q, limit - total);
        total = part < 0 ? -1.0 : total + part;
    }
    if (total < 0 || !fitter.within(mean, fitter.m_labs[run.begin])
        || !fitter.within(mean, layer.first))
        return false;
    const ColourValue candidate = colourOfLab(mean);
    if (candidate == colour)
        return false;
    const std::ptrdiff_t grown = std::ptrdiff_t(colourTextLength(candidate, fitter.m_forms))
        - std::ptrdiff_t(colourTextLength(colour, fitter.m_forms));
    if (std::ptrdiff_t(saved) <= grown
        || total
            > ownDifference(r) + layer.difference + worth * double(std::ptrdiff_t(saved) - grown))
        return false;
    const LabColour lab = fitter.knownLab(candidate);
    if (!fitter.holds(candidate, lab, run.begin, run.end, run.begin))
        return false;
    for (std::size_t q : layer.runs) {
        if (!fitter.holds(candidate, lab, runs[q].begin, runs[q].end, runs[q].begin))
            return false;
    }
    for (std::size_t q : layer.runs)
        runs[q].colour = candidate;
    run.colour = candidate;
    layer.runs.push_back(r);
    layer.lab = lab;
    layer.sum = sum;
    layer.cells += cells;
    layer.difference = total;
    added = grown;
    return true;
}

std::ptrdiff_t TagLayers::add(std::size_t r)
{
    auto& run = m_fitter->m_runs[r];
    const std::size_t own = m_fitter->runCharacters(run.colour);
    m_reach = 4.0 * m_fitter->m_nearEnough;
    m_ownDifference = -1.0;
    const LabColour& cell = m_fitter->m_labs[run.begin];
    const std::size_t cells = run.end - run.begin;
    for (std::size_t k = m_open; k-- > 0;) {
        // Most runs are near no tag open and no mean they could share with one: they are told
        // here, at the cost of a distance or two a tag. No colour is near both first cells when
        // they are farther apart than twice near()'s reach (kept a little wider, for rounding).
        const Layer& layer = m_layers[k];
        Reach reach;
        reach.tag = near(layer.lab, cell);
        reach.mean = layer.cells + cells <= MostRecoloured && k + 4 >= m_open
            && near(layer.first, cell, 4.0 * (1.0 + 1e-6));
        std::ptrdiff_t added = 0;
        if ((reach.tag || reach.mean) && takeBack(k, r, own, reach, added)) {
            m_open = k + 1;
            run.nesting = static_cast<std::uint8_t>(m_open) | TakesBack;
            return added;
        }
    }
    open(r);
    return std::ptrdiff_t(own);
}

} // namespace mosaiq
