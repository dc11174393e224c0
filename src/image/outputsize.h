#pragma once

#include <QLocale>
#include <QString>

namespace mosaiq {

// Why the size fields were left as they were.
enum class ScaleError {
    None,
    ColumnsNotANumber, // the columns field does not hold a number in the user's format
    RowsNotANumber,
    OutOfRange, // the result would leave the range of double-precision numbers
};

struct ScaledSize {
    QString columns;
    QString rows;
    ScaleError error = ScaleError::None;
};

// Both size fields multiplied by factor (0.5 halves, 2 doubles), read and written in locale's
// format: its decimal separator, at most 15 significant digits, no digit grouping, no trailing
// zeros. Both fields are checked before either result is given, so on any error the caller
// changes neither field; columns and rows are then returned as they came.
ScaledSize scaleOutputSize(
    const QString& columns, const QString& rows, double factor, const QLocale& locale);

// The French message for error, naming the offending text where there is one.
QString scaleErrorText(const ScaledSize& result);

} // namespace mosaiq
