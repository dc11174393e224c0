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

std::string controlCharacterInChat(std::string_view dialect)
{
    return joined({ "--chars contient un caractère de contrôle, que ", dialect,
        " lirait comme un code et non comme un caractère : retirez-le." });
}

std::string fitPostPerRow(std::string_view dialect)
{
    return joined({ "--fit post mesure un message entier, et ", dialect,
        " envoie un message par ligne : choisissez la largeur avec --columns (une ligne trop "
        "longue est signalée)." });
}

std::string invalidPaletteCount(std::string_view text)
{
    return joined({ "Nombre de couleurs invalide : « ", text,
        " » (attendu : de 2 à 256, ou le fichier d'une palette GIMP)." });
}

std::string cannotReadPalette(std::string_view path)
{
    return joined(
        { "Impossible de lire la palette « ", path, " » : fichier introuvable ou illisible." });
}

std::string emptyPalette(std::string_view path)
{
    return joined({ "La palette « ", path, " » ne contient aucune couleur." });
}

std::string notGimpPalette(std::string_view path, std::size_t line)
{
    return joined({ "« ", path, " » n'est pas une palette GIMP (.gpl) : ligne ",
        number(std::int64_t(line)),
        " illisible (attendu : « GIMP Palette » en tête, puis une couleur « R V B » par ligne)." });
}

std::string paletteOutOfRange(std::string_view path, std::size_t line)
{
    return joined({ "Couleur hors limites dans la palette « ", path, " », ligne ",
        number(std::int64_t(line)), " : chaque composante va de 0 à 255." });
}

std::string paletteTooLarge(std::string_view path)
{
    return joined({ "La palette « ", path, " » a plus de 256 couleurs." });
}

std::string unknownDither(std::string_view text)
{
    return joined({ "Tramage inconnu : « ", text, " » (ordered ou diffusion)." });
}

std::string statsBracketCode(std::string_view dialect)
{
    return joined({ "code pour blog (", dialect, ")" });
}

std::string unknownDialect(std::string_view name, std::string_view names)
{
    return joined({ "Dialecte inconnu : « ", name, " » (", names, ")." });
}

std::string invalidTolerance(std::string_view text)
{
    return joined({ "Tolérance invalide : « ", text, " » (attendu : un nombre de 0 à 100)." });
}

std::string invalidLimit(std::string_view text)
{
    return joined({ "Limite invalide : « ", text,
        " » (attendu : un nombre entier de caractères, 1 ou plus)." });
}

std::string splitNeedsLimit(std::string_view dialect)
{
    return joined({ "--split partage le code selon la limite d'un forum, et « ", dialect,
        " » n'en a pas : choisissez un forum avec --dialect." });
}

std::string mergeValueApart(std::string_view value)
{
    return joined({ "La tolérance de --merge s'écrit attachée : --merge=", value, " (« --merge ",
        value, " » lirait « ", value, " » comme une image)." });
}

std::string fitPostNeedsLimit(std::string_view dialect)
{
    return joined({ "--fit post prend la limite d'un message du forum, et « ", dialect,
        " » (le code pour blog) n'en a pas : donnez une limite en nombre (--fit 60000) ou "
        "choisissez un forum avec --dialect." });
}

std::string codeSplit(std::size_t parts, std::string_view first, std::string_view last)
{
    return joined({ "Code partagé en ", number(std::int64_t(parts)), " messages : ", first, " à ",
        last, "." });
}

} // namespace mosaiq::cli
