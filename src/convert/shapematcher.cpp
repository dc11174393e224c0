#include "convert/shapematcher.h"

#include <algorithm>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

// The matcher's loops over the samples run eight floats at a time where the processor can, in
// the same order of operations as four at a time (and no fused multiply-add, which would round
// differently): the same bits either way.
#if defined(__x86_64__) && defined(__GNUC__) && defined(__linux__) && !defined(__EMSCRIPTEN__)
#define MOSAIQ_WIDE_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define MOSAIQ_WIDE_VECTORS
#endif

namespace mosaiq {

namespace {

    constexpr double Samples = ShapeSamples;
    // Fits closer than this are equal: the sums behind them are of floats, whose last places
    // would otherwise choose between a glyph and its complement, which draw a two-coloured cell
    // alike. The glyph nearer by its split (then earlier in the table) is kept.
    constexpr double SameError = 1e-6 * Samples;

    // The bits set in two words, counted by halves, then pairs, then bytes, without the
    // processor's own count, which Debian's x86-64 baseline lacks: a library call a glyph.
    inline std::uint32_t bitsSet(std::uint64_t a, std::uint64_t b)
    {
        constexpr std::uint64_t Halves = 0x5555555555555555u, Pairs = 0x3333333333333333u,
                                Nibbles = 0x0F0F0F0F0F0F0F0Fu;
        a -= (a >> 1) & Halves;
        b -= (b >> 1) & Halves;
        a = (a & Pairs) + ((a >> 2) & Pairs);
        b = (b & Pairs) + ((b >> 2) & Pairs);
        std::uint64_t bytes = ((a + (a >> 4)) & Nibbles) + ((b + (b >> 4)) & Nibbles);
        bytes += bytes >> 8;
        bytes += bytes >> 16;
        bytes += bytes >> 32;
        return std::uint32_t(bytes & 0xFF);
    }

    // Each glyph's distance to the split: the samples where its ink and the split differ.
    void inkDistances(const std::uint64_t* first, const std::uint64_t* second, std::size_t glyphs,
        const std::array<std::uint64_t, ShapeSamples / 64>& split, std::uint32_t* distances)
    {
        for (std::size_t g = 0; g < glyphs; ++g)
            distances[g] = bitsSet(first[g] ^ split[0], second[g] ^ split[1]);
    }

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__EMSCRIPTEN__)
    // The same counts by the processor's own instruction, where it has one.
    __attribute__((target("popcnt"))) void inkDistancesByInstruction(const std::uint64_t* first,
        const std::uint64_t* second, std::size_t glyphs,
        const std::array<std::uint64_t, ShapeSamples / 64>& split, std::uint32_t* distances)
    {
        for (std::size_t g = 0; g < glyphs; ++g)
            distances[g] = std::uint32_t(__builtin_popcountll(first[g] ^ split[0])
                + __builtin_popcountll(second[g] ^ split[1]));
    }

    const bool HasPopcount = __builtin_cpu_supports("popcnt");
#endif

    // A sum of ShapeSamples floats in eight running sums added in a fixed order: vector units
    // and plain code give the same bits.
#if defined(__GNUC__)
    template <typename Term> [[gnu::always_inline]] inline float laneSum(Term term)
#else
    template <typename Term> float laneSum(Term term)
#endif
    {
        std::array<float, 8> lanes {};
        for (std::size_t i = 0; i < ShapeSamples; i += 8)
            for (std::size_t lane = 0; lane < 8; ++lane)
                lanes[lane] += term(i + lane);
        return ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3]))
            + ((lanes[4] + lanes[5]) + (lanes[6] + lanes[7]));
    }

    // Which samples each pixel along a side of size pixels gives to which of count samples, and
    // how much: pixel p spans [count p, count (p + 1)) and sample s spans [size s, size (s + 1)) in
    // units of 1/count of a pixel, and each pair gives their overlap, so that a sample's weights
    // add up to size, whatever the side.
    template <typename Weight>
    void sideWeights(std::vector<Weight>& weights, std::int32_t size, std::int32_t count)
    {
        weights.clear();
        for (std::int32_t pixel = 0; pixel < size; ++pixel) {
            const std::int64_t start = std::int64_t(count) * pixel, end = start + count;
            for (std::int64_t sample = start / size; sample < count; ++sample) {
                const std::int64_t from = std::max(start, sample * size);
                const std::int64_t to = std::min(end, (sample + 1) * size);
                if (to <= from)
                    break;
                weights.push_back({ pixel, std::int32_t(sample), float(to - from) });
            }
        }
    }

} // namespace

ShapeMatcher::ShapeMatcher(ShapeSet set, std::optional<std::uint32_t> background, int shortlist)
{
    for (const GlyphShape& shape : glyphShapes()) {
        if (!inSet(shape.sets, set))
            continue;
        Glyph glyph { shape.character, 0, 0, 0, true };
        std::array<std::uint64_t, 2> ink {};
        for (std::size_t i = 0; i < ShapeSamples; ++i) {
            const float coverage = float(shape.coverage[i]) / 255.0f;
            m_coverage.push_back(coverage);
            glyph.coverage += coverage;
            glyph.coverageSquares += double(coverage) * coverage;
            if (shape.coverage[i] >= 128)
                ink[i / 64] |= std::uint64_t(1) << (i % 64);
            glyph.full = glyph.full && shape.coverage[i] == 255;
        }
        // Zero for a glyph of even coverage (the space, the full block), which fits one colour.
        const double spread = Samples * glyph.coverageSquares - glyph.coverage * glyph.coverage;
        glyph.inverseSpread = spread > 1e-6 ? 1.0 / spread : 0.0;
        if (m_glyphs.empty() || glyph.coverage > m_glyphs[m_fullest].coverage)
            m_fullest = m_glyphs.size();
        m_glyphs.push_back(glyph);
        m_ink.push_back(ink[0]);
        m_ink.push_back(ink[1]);
    }
    // The first words, then the second.
    std::vector<std::uint64_t> words(m_ink.size());
    for (std::size_t g = 0; g < m_glyphs.size(); ++g) {
        words[g] = m_ink[2 * g];
        words[m_glyphs.size() + g] = m_ink[2 * g + 1];
    }
    m_ink = std::move(words);
    m_distance.resize(m_glyphs.size());
    if (background) {
        m_backgroundRgb = *background & 0xFFFFFF;
        m_background = okLabFromRgb(m_backgroundRgb);
    }
    m_shortlistSize = std::clamp<std::size_t>(
        std::size_t(std::max(shortlist, 1)), 1, std::max<std::size_t>(m_glyphs.size(), 1));
    m_shortlist.resize(m_shortlistSize);
    m_shortlistDistance.resize(m_shortlistSize);
}

void ShapeMatcher::prepareWeights(std::int32_t width, std::int32_t height)
{
    if (width == m_width && height == m_height)
        return;
    sideWeights(m_columnWeights, width, ShapeColumns);
    sideWeights(m_rowWeights, height, ShapeRows);
    m_rows.resize(std::size_t(height) * 3 * ShapeColumns);
    m_width = width;
    m_height = height;
}

// Averages the block's linear light onto the samples, across then down: each pixel is read once
// per sample column it reaches.
MOSAIQ_WIDE_VECTORS void ShapeMatcher::averageSamples(
    const std::uint32_t* pixels, std::ptrdiff_t stride)
{
    const std::array<float, 256>& linear = srgbToLinear();
    std::fill(m_rows.begin(), m_rows.end(), 0.0f);
    for (std::int32_t y = 0; y < m_height; ++y) {
        const std::uint32_t* row = pixels + y * stride;
        float* across = &m_rows[std::size_t(y) * 3 * ShapeColumns];
        for (const Weight& weight : m_columnWeights) {
            const std::uint32_t pixel = row[weight.pixel];
            across[weight.sample] += weight.overlap * linear[(pixel >> 16) & 0xFF];
            across[ShapeColumns + weight.sample] += weight.overlap * linear[(pixel >> 8) & 0xFF];
            across[2 * ShapeColumns + weight.sample] += weight.overlap * linear[pixel & 0xFF];
        }
    }
    for (auto& channel : m_linear)
        channel.fill(0.0f);
    for (const Weight& weight : m_rowWeights) {
        const float* across = &m_rows[std::size_t(weight.pixel) * 3 * ShapeColumns];
        for (std::size_t channel = 0; channel < 3; ++channel)
            for (std::size_t column = 0; column < ShapeColumns; ++column)
                m_linear[channel][std::size_t(weight.sample) * ShapeColumns + column]
                    += weight.overlap * across[channel * ShapeColumns + column];
    }
    const float area = float(m_width) * float(m_height);
    for (auto& channel : m_linear)
        for (float& value : channel)
            value /= area;
}

// The samples in OKLab, with their range and sums. A block smaller than the grid repeats its
// pixels over several samples, which are converted once.
MOSAIQ_WIDE_VECTORS void ShapeMatcher::convertSamples()
{
    const auto same = [this](std::size_t i, std::size_t j) {
        return m_linear[0][i] == m_linear[0][j] && m_linear[1][i] == m_linear[1][j]
            && m_linear[2][i] == m_linear[2][j];
    };
    for (std::size_t i = 0; i < ShapeSamples; ++i) {
        std::size_t copy = i;
        if (i % ShapeColumns != 0 && same(i, i - 1))
            copy = i - 1;
        else if (i >= ShapeColumns && same(i, i - ShapeColumns))
            copy = i - ShapeColumns;
        if (copy != i) {
            for (auto& channel : m_samples)
                channel[i] = channel[copy];
            continue;
        }
        const OkLab c = okLabFromLinear(m_linear[0][i], m_linear[1][i], m_linear[2][i]);
        m_samples[0][i] = c.l;
        m_samples[1][i] = c.a;
        m_samples[2][i] = c.b;
    }
    m_sumSquares = 0;
    for (std::size_t channel = 0; channel < 3; ++channel) {
        const auto& values = m_samples[channel];
        // By lanes, which vector units run side by side: two floats equal are the same bits but
        // for zeros of either sign, whose pick is left to the plain search.
        std::array<float, 8> lows, highs;
#if defined(__SSE2__)
        // minps and maxps keep their first operand only when it is strictly less (greater).
        __m128 low0 = _mm_loadu_ps(values.data()), low1 = _mm_loadu_ps(values.data() + 4);
        __m128 high0 = low0, high1 = low1;
        for (std::size_t i = 8; i < ShapeSamples; i += 8) {
            const __m128 v0 = _mm_loadu_ps(values.data() + i);
            const __m128 v1 = _mm_loadu_ps(values.data() + i + 4);
            low0 = _mm_min_ps(v0, low0);
            low1 = _mm_min_ps(v1, low1);
            high0 = _mm_max_ps(v0, high0);
            high1 = _mm_max_ps(v1, high1);
        }
        _mm_storeu_ps(lows.data(), low0);
        _mm_storeu_ps(lows.data() + 4, low1);
        _mm_storeu_ps(highs.data(), high0);
        _mm_storeu_ps(highs.data() + 4, high1);
#else
        for (std::size_t lane = 0; lane < 8; ++lane)
            lows[lane] = highs[lane] = values[lane];
        for (std::size_t i = 8; i < ShapeSamples; i += 8)
            for (std::size_t lane = 0; lane < 8; ++lane) {
                lows[lane] = values[i + lane] < lows[lane] ? values[i + lane] : lows[lane];
                highs[lane] = values[i + lane] > highs[lane] ? values[i + lane] : highs[lane];
            }
#endif
        float low = *std::min_element(lows.begin(), lows.end());
        float high = *std::max_element(highs.begin(), highs.end());
        if (low == 0.0f || high == 0.0f) {
            const auto [lowest, highest] = std::minmax_element(values.begin(), values.end());
            low = *lowest;
            high = *highest;
        }
        m_low[channel] = low;
        m_high[channel] = high;
        m_sum[channel] = laneSum([&](std::size_t i) { return values[i]; });
        m_sumSquares += laneSum([&](std::size_t i) { return values[i] * values[i]; });
    }
}

// The samples split in two by a few rounds of 2-means, begun from the two farthest apart along
// the channel of widest range; the set bits are the side higher along it, or with a given
// background the side farther from it, which must be ink.
MOSAIQ_WIDE_VECTORS std::array<std::uint64_t, ShapeSamples / 64> ShapeMatcher::splitSamples() const
{
    std::size_t channel = 0;
    for (std::size_t c = 1; c < 3; ++c)
        if (m_high[c] - m_low[c] > m_high[channel] - m_low[channel])
            channel = c;
    const auto& along = m_samples[channel];
    std::array<float, 3> low, high;
    // The first samples of the channel's least and greatest values, as min_element and
    // max_element find them: a zero of either sign equals the other.
    const std::size_t lowest
        = std::size_t(std::find(along.begin(), along.end(), m_low[channel]) - along.begin());
    const std::size_t highest
        = std::size_t(std::find(along.begin(), along.end(), m_high[channel]) - along.begin());
    for (std::size_t c = 0; c < 3; ++c) {
        low[c] = m_samples[c][lowest];
        high[c] = m_samples[c][highest];
    }

    // A sample is nearer the high centre when its projection on the line between the centres
    // passes their midpoint: one product a sample.
    std::array<std::uint64_t, ShapeSamples / 64> split {};
    std::array<float, ShapeSamples> side;
    for (int round = 0; round < 3; ++round) {
        std::array<float, 3> towards;
        float midpoint = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            towards[c] = high[c] - low[c];
            midpoint += towards[c] * (high[c] + low[c]) * 0.5f;
        }
        for (std::size_t i = 0; i < ShapeSamples; ++i)
            side[i] = towards[0] * m_samples[0][i] + towards[1] * m_samples[1][i]
                        + towards[2] * m_samples[2][i]
                    > midpoint
                ? 1.0f
                : 0.0f;
        const float highCount = laneSum([&](std::size_t i) { return side[i]; });
        if (highCount == 0 || highCount == ShapeSamples)
            break;
        for (std::size_t c = 0; c < 3; ++c) {
            const float* samples = m_samples[c].data();
            const double highSum = laneSum([&](std::size_t i) { return side[i] * samples[i]; });
            high[c] = float(highSum / highCount);
            low[c] = float((m_sum[c] - highSum) / (ShapeSamples - highCount));
        }
    }
    for (std::size_t i = 0; i < ShapeSamples; ++i)
        if (side[i] != 0)
            split[i / 64] |= std::uint64_t(1) << (i % 64);
    if (m_background) {
        const std::array<float, 3> page { m_background->l, m_background->a, m_background->b };
        float toLow = 0, toHigh = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            toLow += (low[c] - page[c]) * (low[c] - page[c]);
            toHigh += (high[c] - page[c]) * (high[c] - page[c]);
        }
        if (toLow > toHigh)
            for (std::uint64_t& word : split)
                word = ~word;
    }
    return split;
}

// The shortlist's glyphs, nearest first, those of the set's order first among equals. Without a
// given background either side of the split may be the ink.
void ShapeMatcher::shortlistBy(const std::array<std::uint64_t, ShapeSamples / 64>& split)
{
    const std::size_t glyphs = m_glyphs.size();
    const std::uint64_t* first = m_ink.data();
    const std::uint64_t* second = first + glyphs;
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__EMSCRIPTEN__)
    if (HasPopcount)
        inkDistancesByInstruction(first, second, glyphs, split, m_distance.data());
    else
#endif
        inkDistances(first, second, glyphs, split, m_distance.data());
    if (!m_background)
        for (std::uint32_t& distance : m_distance)
            distance = std::min(distance, ShapeSamples - distance);

    // The shortlist is the nearest glyphs, the earlier first among equals: the distance that
    // fills it is found by counting, without a guess per glyph that the processor mispredicts.
    // In four tables, that a count need not wait for the one before it of the same distance.
    std::array<std::array<std::uint32_t, ShapeSamples + 1>, 4> tables {};
    std::size_t g = 0;
    for (; g + 4 <= glyphs; g += 4)
        for (std::size_t t = 0; t < 4; ++t)
            ++tables[t][m_distance[g + t]];
    for (; g < glyphs; ++g)
        ++tables[0][m_distance[g]];
    std::array<std::uint32_t, ShapeSamples + 1> counts;
    for (std::size_t d = 0; d <= ShapeSamples; ++d)
        counts[d] = (tables[0][d] + tables[1][d]) + (tables[2][d] + tables[3][d]);
    std::uint32_t last = 0; // the farthest distance in the shortlist
    std::size_t nearer = 0; // the glyphs nearer than last
    while (nearer + counts[last] < m_shortlistSize) {
        nearer += counts[last];
        ++last;
    }
    std::size_t count = 0, atLast = m_shortlistSize - nearer;
    for (g = 0; g < glyphs && count < m_shortlistSize; ++g) {
        const std::uint32_t distance = m_distance[g];
        if (distance > last || (distance == last && atLast == 0))
            continue;
        atLast -= distance == last ? 1 : 0;
        std::size_t at = count++;
        for (; at > 0 && m_shortlistDistance[at - 1] > distance; --at) {
            m_shortlistDistance[at] = m_shortlistDistance[at - 1];
            m_shortlist[at] = m_shortlist[at - 1];
        }
        m_shortlistDistance[at] = distance;
        m_shortlist[at] = g;
    }
}

// The least-squares colours of glyph g over the samples, sample i being background + coverage_i
// (foreground - background) by channel, kept within the cell's range, and their squared error,
// all from sums: only the products of coverage and samples are the glyph's own.
MOSAIQ_WIDE_VECTORS ShapeMatcher::Fit ShapeMatcher::fit(std::size_t g) const
{
    const Glyph& glyph = m_glyphs[g];
    const float* coverage = &m_coverage[g * ShapeSamples];
    std::array<double, 3> inked;
    for (std::size_t c = 0; c < 3; ++c) {
        const float* samples = m_samples[c].data();
        inked[c] = laneSum([&](std::size_t i) { return coverage[i] * samples[i]; });
    }

    std::array<double, 3> background, difference;
    if (m_background) {
        background = { m_background->l, m_background->a, m_background->b };
        for (std::size_t c = 0; c < 3; ++c)
            difference[c] = glyph.coverageSquares > 0
                ? (inked[c] - background[c] * glyph.coverage) / glyph.coverageSquares
                : 0.0;
    } else {
        for (std::size_t c = 0; c < 3; ++c) {
            difference[c] = (Samples * inked[c] - glyph.coverage * m_sum[c]) * glyph.inverseSpread;
            background[c] = (m_sum[c] - glyph.coverage * difference[c]) / Samples;
        }
    }
    // Least squares may overshoot where the glyph's coverage never reaches 0 or 1; colours the
    // cell does not hold would show as a halo.
    for (std::size_t c = 0; c < 3; ++c) {
        const double foreground
            = std::clamp(background[c] + difference[c], double(m_low[c]), double(m_high[c]));
        if (!m_background)
            background[c] = std::clamp(background[c], double(m_low[c]), double(m_high[c]));
        difference[c] = foreground - background[c];
    }

    double error = m_sumSquares;
    for (std::size_t c = 0; c < 3; ++c)
        error += -2 * (background[c] * m_sum[c] + difference[c] * inked[c])
            + Samples * background[c] * background[c]
            + 2 * glyph.coverage * background[c] * difference[c]
            + glyph.coverageSquares * difference[c] * difference[c];
    const auto lab = [](const std::array<double, 3>& v) {
        return OkLab { float(v[0]), float(v[1]), float(v[2]) };
    };
    std::array<double, 3> foreground;
    for (std::size_t c = 0; c < 3; ++c)
        foreground[c] = background[c] + difference[c];
    return { std::max(error, 0.0), lab(foreground), lab(background) };
}

ShapeChoice ShapeMatcher::uniformChoice(std::uint32_t rgb)
{
    return { m_glyphs[m_fullest].character, std::uint16_t(m_fullest), rgb,
        m_background ? m_backgroundRgb : rgb, 0.0f };
}

ShapeChoice ShapeMatcher::match(
    const std::uint32_t* pixels, std::int32_t width, std::int32_t height, std::ptrdiff_t stride)
{
    if (!pixels || width < 1 || height < 1 || m_glyphs.empty())
        return {};
    // A block of one colour, every cell when there are as many cells as pixels, costs a look.
    const std::uint32_t first = pixels[0] & 0xFFFFFF;
    bool uniform = true;
    for (std::int32_t y = 0; y < height && uniform; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            if (((pixels[y * stride + x] ^ first) & 0xFFFFFF) != 0) {
                uniform = false;
                break;
            }
    if (uniform && (!m_background || m_glyphs[m_fullest].full))
        return uniformChoice(first);

    prepareWeights(width, height);
    averageSamples(pixels, stride);
    convertSamples();
    shortlistBy(splitSamples());

    std::size_t best = m_shortlist[0];
    Fit bestFit = fit(best);
    for (std::size_t i = 1; i < m_shortlistSize; ++i) {
        const Fit candidate = fit(m_shortlist[i]);
        if (candidate.error < bestFit.error - SameError) {
            best = m_shortlist[i];
            bestFit = candidate;
        }
    }
    // Over a page's background the fullest glyph is the only one that hides it; the split of a
    // busy cell seldom looks like it.
    if (m_background
        && std::find(m_shortlist.begin(), m_shortlist.end(), m_fullest) == m_shortlist.end()) {
        const Fit candidate = fit(m_fullest);
        if (candidate.error < bestFit.error - SameError) {
            best = m_fullest;
            bestFit = candidate;
        }
    }
    return { m_glyphs[best].character, std::uint16_t(best), rgbFromOkLab(bestFit.foreground),
        m_background ? m_backgroundRgb : rgbFromOkLab(bestFit.background),
        float(bestFit.error / Samples) };
}

} // namespace mosaiq
