#include "run/gridbudget.h"

#include "wording/budgetwords.h"

namespace mosaiq {

namespace {

    const char* unitWords(LimitUnit unit)
    {
        return unit == LimitUnit::Bytes ? UnitBytes : UnitCharacters;
    }

} // namespace

BudgetGrid gridForBudget(const CodeMeasure& measure, std::size_t limit)
{
    const FitResult fit = fitGrid(measure, limit);
    BudgetGrid grid;
    grid.fits = fit.fits;
    const char* unit = unitWords(measure.unit);
    if (!fit.fits) {
        grid.message = limitTooSmall(limit, fit.grid.columns, fit.grid.rows, fit.characters, unit);
        return grid;
    }
    grid.message = chosenGrid(fit.grid.columns, fit.grid.rows, fit.characters, limit, unit);
    grid.columns = std::to_string(fit.grid.columns);
    grid.rows = std::to_string(fit.grid.rows);
    return grid;
}

std::string postRowRefusal(const CodeMeasure& measure, std::int64_t columns, std::int64_t rows,
    std::int64_t longRow, bool rowPerMessage)
{
    const ForumDialect& dialect = *measure.dialect;
    // A message of its own per row is counted in bytes, its line end included.
    const std::size_t room = rowPerMessage ? dialect.postLimit + 2 : dialect.postLimit;
    const std::int64_t fitting = columnsForPosts(measure, columns, rows, room);
    return rowTooLongForPost(longRow, dialect.postLimit,
        unitWords(rowPerMessage ? LimitUnit::Bytes : dialect.unit), dialect.name, fitting);
}

} // namespace mosaiq
