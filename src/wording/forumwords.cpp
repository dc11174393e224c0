#include "wording/forumwords.h"

#include "wording/joined.h"

#include <cmath>

namespace mosaiq::cli {

namespace {

    std::string number(std::int64_t value)
    {
        return std::to_string(value);
    }

    // French decimals: a comma, two places.
    std::string decimal(double value)
    {
        std::string text = std::to_string(std::llround(value * 100.0));
        if (text.size() < 3)
            text.insert(0, 3 - text.size(), '0');
        text.insert(text.size() - 2, 1, ',');
        return text;
    }

} // namespace

std::string statsReport(std::int64_t columns, std::int64_t rows, std::int64_t cells,
    std::span<const std::pair<std::string, double>> bytesPerCell, std::size_t colours, double mean,
    double percentile95)
{
    std::string text = joined({ "Statistiques : grille ", number(columns), " × ", number(rows),
        " (", number(cells), " cellules).\nOctets par cellule :" });
    for (std::size_t i = 0; i < bytesPerCell.size(); ++i)
        text += joined(
            { i ? " ; " : " ", bytesPerCell[i].first, " ", decimal(bytesPerCell[i].second) });
    return text
        + joined({ ".\nCouleurs employées : ", number(std::int64_t(colours)),
            ".\nÉcart CIEDE2000 des couleurs écrites aux couleurs de l'image : moyen ",
            decimal(mean), ", 95 % des cellules à ", decimal(percentile95), " ou moins." });
}

std::string statsBracketCode(std::string_view dialect)
{
    return joined({ "code pour blog (", dialect, ")" });
}

std::string mergeValueApart(std::string_view value)
{
    return joined({ "La tolérance de --merge s'écrit attachée : --merge=", value, " (« --merge ",
        value, " » lirait « ", value, " » comme une image)." });
}

std::string codeSplit(std::size_t parts, std::string_view first, std::string_view last)
{
    return joined({ "Code partagé en ", number(std::int64_t(parts)), " messages : ", first, " à ",
        last, "." });
}

} // namespace mosaiq::cli
