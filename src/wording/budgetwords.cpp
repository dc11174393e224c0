#include "wording/budgetwords.h"

#include "wording/joined.h"

namespace mosaiq {

namespace {

    std::string number(std::int64_t value)
    {
        return std::to_string(value);
    }

} // namespace

std::string chosenGrid(std::int64_t columns, std::int64_t rows, std::size_t characters,
    std::size_t limit, std::string_view unit)
{
    return joined({ "Grille choisie : ", number(columns), " × ", number(rows), " (",
        number(std::int64_t(characters)), " ", unit, " sur ", number(std::int64_t(limit)), ")." });
}

std::string limitTooSmall(std::size_t limit, std::int64_t columns, std::int64_t rows,
    std::size_t characters, std::string_view unit)
{
    return joined({ "La limite de ", number(std::int64_t(limit)), " ", unit,
        " est trop petite : même la plus petite grille, ", number(columns), " × ", number(rows),
        ", en demande ", number(std::int64_t(characters)), "." });
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

} // namespace mosaiq
