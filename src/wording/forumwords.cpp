#include "wording/forumwords.h"

#include "wording/joined.h"

namespace mosaiq::cli {

namespace {

    std::string number(std::int64_t value)
    {
        return std::to_string(value);
    }

} // namespace

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

std::string chosenGrid(
    std::int64_t columns, std::int64_t rows, std::size_t characters, std::size_t limit)
{
    return joined({ "Grille choisie : ", number(columns), " × ", number(rows), " (",
        number(std::int64_t(characters)), " caractères sur ", number(std::int64_t(limit)), ")." });
}

std::string limitTooSmall(
    std::size_t limit, std::int64_t columns, std::int64_t rows, std::size_t characters)
{
    return joined({ "La limite de ", number(std::int64_t(limit)),
        " caractères est trop petite : même la plus petite grille, ", number(columns), " × ",
        number(rows), ", en demande ", number(std::int64_t(characters)), "." });
}

std::string rowTooLongForPost(std::int64_t row, std::size_t limit, std::string_view unit,
    std::string_view dialect, std::int64_t columns)
{
    std::string text = joined({ "La ligne ", number(row), " dépasse à elle seule la limite de ",
        number(std::int64_t(limit)), " ", unit, " d'un message ", dialect });
    if (columns > 0)
        return joined({ text, " : la plus grande grille qui tient a ", number(columns),
            " colonnes (--columns ", number(columns), ")." });
    return text + " : même une colonne ne tient pas.";
}

std::string codeSplit(std::size_t parts, std::string_view first, std::string_view last)
{
    return joined({ "Code partagé en ", number(std::int64_t(parts)), " messages : ", first, " à ",
        last, "." });
}

} // namespace mosaiq::cli
