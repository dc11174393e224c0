#include "output/codes/codestats.h"

#include "convert/colourdifference.h"
#include "wording/forumwords.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace mosaiq {

void CodeStats::rowBuilt(const BuiltRow& row)
{
    m_columns = std::max<std::int64_t>(m_columns, std::int64_t(row.colours.size()));
    ++m_rows;
    m_cells += std::int64_t(row.colours.size());
    m_pageBytes += row.page.size();
    m_htmlBytes += row.html.size();
    for (std::size_t i = 0; i < row.colours.size(); ++i) {
        const ColourValue written = row.colours[i];
        m_colours.insert(written);
        double difference = 0;
        if (i < row.sampledColours.size() && row.sampledColours[i] != written)
            difference = ciede2000(labOf(row.sampledColours[i]), labOf(written));
        m_sum += difference;
        ++m_histogram[std::min(Bins - 1, std::size_t(std::ceil(difference * 100.0)))];
    }
}

double CodeStats::meanDifference() const
{
    return m_cells > 0 ? m_sum / double(m_cells) : 0.0;
}

double CodeStats::percentile95() const
{
    // The smallest hundredth at or below which 95 % of the cells lie.
    const double wanted = 0.95 * double(m_cells);
    std::int64_t seen = 0;
    for (std::size_t bin = 0; bin < Bins; ++bin) {
        seen += m_histogram[bin];
        if (double(seen) >= wanted)
            return double(bin) / 100.0;
    }
    return 100.0;
}

std::string statsText(const CodeStats& stats, std::size_t blogBytes, std::string_view dialect)
{
    const double cells = double(std::max<std::int64_t>(1, stats.cells()));
    std::vector<std::pair<std::string, double>> bytes {
        { cli::StatsPage, double(stats.pageBytes()) / cells },
        { cli::StatsHtmlCode, double(stats.htmlBytes()) / cells },
    };
    if (blogBytes > 0)
        bytes.emplace_back(cli::statsBracketCode(dialect), double(blogBytes) / cells);
    return cli::statsReport(stats.columns(), stats.rows(), stats.cells(), bytes,
        stats.coloursUsed(), stats.meanDifference(), stats.percentile95());
}

} // namespace mosaiq
