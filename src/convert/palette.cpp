#include "convert/palette.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <unordered_set>

namespace mosaiq {

namespace {

    double squared(const LabColour& x, const LabColour& y)
    {
        return (x.l - y.l) * (x.l - y.l) + (x.a - y.a) * (x.a - y.a) + (x.b - y.b) * (x.b - y.b);
    }

    std::string_view trimmed(std::string_view text)
    {
        const auto first = text.find_first_not_of(" \t\r");
        if (first == std::string_view::npos)
            return {};
        return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
    }

    int channel(std::uint32_t bits, int shift)
    {
        return int((bits >> shift) & 0xFF);
    }

} // namespace

PaletteFile readGimpPalette(std::string_view text)
{
    PaletteFile file;
    std::size_t number = 0;
    bool header = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (!header) {
            if (line != "GIMP Palette") {
                file.error = PaletteFileError::NotGimp;
                file.line = number;
                return file;
            }
            header = true;
            continue;
        }
        if (line.empty() || line[0] == '#' || line.starts_with("Name:")
            || line.starts_with("Columns:"))
            continue;
        int values[3];
        std::size_t at = 0;
        for (int& value : values) {
            while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
                ++at;
            const std::size_t begin = at;
            long read = 0;
            while (at < line.size() && line[at] >= '0' && line[at] <= '9' && at - begin < 6)
                read = read * 10 + (line[at++] - '0');
            const bool ends = at == line.size() || line[at] == ' ' || line[at] == '\t';
            if (at == begin || !ends) {
                // A minus sign or a figure too long is a colour out of range; anything else,
                // not a palette line.
                const bool numeric
                    = at < line.size() && (line[at] == '-' || (line[at] >= '0' && line[at] <= '9'));
                file.error = numeric ? PaletteFileError::OutOfRange : PaletteFileError::NotGimp;
                file.line = number;
                return file;
            }
            if (read > 255) {
                file.error = PaletteFileError::OutOfRange;
                file.line = number;
                return file;
            }
            value = int(read);
        }
        if (file.colours.size() == 256) {
            file.error = PaletteFileError::TooMany;
            return file;
        }
        file.colours.push_back(makeColour(values[0], values[1], values[2]));
    }
    if (!header)
        file.error = PaletteFileError::Empty;
    else if (file.colours.empty())
        file.error = PaletteFileError::Empty;
    else
        file.error = PaletteFileError::Read;
    return file;
}

std::vector<ColourValue> choosePalette(const PixelBuffer& picture, int count)
{
    // An even sample of at most 256 x 256 pixels for the clusters; every pixel to tell a picture
    // of few colours, so that none of them is missed.
    std::vector<ColourValue> distinct;
    {
        std::unordered_set<ColourValue> seen;
        for (std::int32_t y = picture.firstRow;
             y < picture.height && seen.size() <= std::size_t(count); ++y)
            for (std::int32_t x = 0; x < picture.width; ++x)
                seen.insert(PixelBuffer::fromArgb(picture.row(y)[x]));
        if (seen.size() <= std::size_t(count)) {
            distinct.assign(seen.begin(), seen.end());
            std::sort(distinct.begin(), distinct.end());
            return distinct;
        }
    }
    const std::int32_t stepX = std::max(1, picture.width / 256);
    const std::int32_t stepY = std::max(1, picture.height / 256);
    std::vector<ColourValue> samples;
    std::vector<LabColour> labs;
    for (std::int32_t y = picture.firstRow; y < picture.height; y += stepY)
        for (std::int32_t x = 0; x < picture.width; x += stepX) {
            samples.push_back(PixelBuffer::fromArgb(picture.row(y)[x]));
            labs.push_back(labOf(samples.back()));
        }

    // k-means++ from a fixed seed; the generator's raw words, not a distribution (whose results
    // differ between standard libraries).
    std::mt19937 random(20'021);
    auto uniform = [&] { return double(random()) / 4294967296.0; };
    std::vector<LabColour> centres { labs[random() % labs.size()] };
    std::vector<double> nearest(labs.size(), std::numeric_limits<double>::max());
    while (centres.size() < std::size_t(count)) {
        double total = 0;
        for (std::size_t i = 0; i < labs.size(); ++i) {
            nearest[i] = std::min(nearest[i], squared(labs[i], centres.back()));
            total += nearest[i];
        }
        if (total <= 0)
            break;
        double target = uniform() * total;
        std::size_t pick = 0;
        while (pick + 1 < labs.size() && (target -= nearest[pick]) > 0)
            ++pick;
        centres.push_back(labs[pick]);
    }
    std::vector<std::size_t> owner(labs.size());
    for (int iteration = 0; iteration < 12; ++iteration) {
        std::vector<LabColour> sums(centres.size());
        std::vector<std::size_t> sizes(centres.size());
        for (std::size_t i = 0; i < labs.size(); ++i) {
            double best = std::numeric_limits<double>::max();
            for (std::size_t c = 0; c < centres.size(); ++c) {
                const double d = squared(labs[i], centres[c]);
                if (d < best) {
                    best = d;
                    owner[i] = c;
                }
            }
            sums[owner[i]].l += labs[i].l;
            sums[owner[i]].a += labs[i].a;
            sums[owner[i]].b += labs[i].b;
            ++sizes[owner[i]];
        }
        for (std::size_t c = 0; c < centres.size(); ++c) {
            if (sizes[c] > 0) {
                const double n = double(sizes[c]);
                centres[c] = { sums[c].l / n, sums[c].a / n, sums[c].b / n };
            }
        }
    }
    // Each centre becomes the picture's colour nearest to it.
    std::vector<ColourValue> colours;
    for (const LabColour& centre : centres) {
        std::size_t best = 0;
        for (std::size_t i = 1; i < labs.size(); ++i) {
            if (squared(labs[i], centre) < squared(labs[best], centre))
                best = i;
        }
        colours.push_back(samples[best]);
    }
    std::sort(colours.begin(), colours.end());
    colours.erase(std::unique(colours.begin(), colours.end()), colours.end());
    return colours;
}

PaletteMapper::PaletteMapper(std::vector<ColourValue> colours, Dither dither)
    : m_colours(std::move(colours))
    , m_dither(dither)
{
    for (ColourValue colour : m_colours)
        m_labs.push_back(labOf(colour));
}

ColourValue PaletteMapper::nearestLab(const LabColour& lab)
{
    std::size_t best = 0;
    for (std::size_t i = 1; i < m_labs.size(); ++i) {
        if (squared(lab, m_labs[i]) < squared(lab, m_labs[best]))
            best = i;
    }
    return m_colours[best];
}

ColourValue PaletteMapper::nearest(ColourValue colour)
{
    const auto known = m_known.find(colour);
    if (known != m_known.end())
        return known->second;
    const ColourValue mapped = nearestLab(labOf(colour));
    if (m_known.size() < 1'000'000)
        m_known.emplace(colour, mapped);
    return mapped;
}

void PaletteMapper::mapRow(std::span<ColourValue> colours, std::int64_t row)
{
    static constexpr std::array<int, 16> Bayer { 0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13,
        5 };
    const std::size_t n = colours.size();
    if (m_dither == Dither::Diffusion) {
        m_thisRow.swap(m_nextRow);
        m_thisRow.resize(3 * (n + 2), 0.0f);
        m_nextRow.assign(3 * (n + 2), 0.0f);
    }
    for (std::size_t i = 0; i < n; ++i) {
        const auto bits = static_cast<std::uint32_t>(colours[i]);
        int rgb[3] = { channel(bits, 0), channel(bits, 8), channel(bits, 16) };
        if (m_dither == Dither::None) {
            colours[i] = nearest(colours[i]);
            continue;
        }
        if (m_dither == Dither::Ordered) {
            // A threshold from -24 to +21 on each channel: about a palette step of 16 colours.
            const int offset = (Bayer[std::size_t((row % 4) * 4 + std::int64_t(i % 4))] - 8) * 3;
            for (int& c : rgb)
                c = std::clamp(c + offset, 0, 255);
        } else {
            for (int k = 0; k < 3; ++k)
                rgb[k] = std::clamp(int(std::lround(rgb[k] + m_thisRow[3 * (i + 1) + k])), 0, 255);
        }
        const ColourValue mapped = nearest(makeColour(rgb[0], rgb[1], rgb[2]));
        if (m_dither == Dither::Diffusion) {
            const auto out = static_cast<std::uint32_t>(mapped);
            const int got[3] = { channel(out, 0), channel(out, 8), channel(out, 16) };
            for (int k = 0; k < 3; ++k) {
                const float error = float(rgb[k] - got[k]);
                m_thisRow[3 * (i + 2) + k] += error * 7.0f / 16.0f;
                m_nextRow[3 * i + k] += error * 3.0f / 16.0f;
                m_nextRow[3 * (i + 1) + k] += error * 5.0f / 16.0f;
                m_nextRow[3 * (i + 2) + k] += error * 1.0f / 16.0f;
            }
        }
        colours[i] = mapped;
    }
}

} // namespace mosaiq
