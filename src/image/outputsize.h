#pragma once

#include "convert/sizescaling.h"

#include <QLocale>
#include <QString>

namespace mosaiq {

struct ScaledSize {
    QString columns;
    QString rows;
    ScaleError error = ScaleError::None;
};

// Both size fields multiplied by factor (0.5 halves, 2 doubles), read in locale's format (its
// grouping and digits as the locale reads them) and written as scaleSizes writes in that format.
// On any error the caller changes neither field; columns and rows are then returned as they
// came.
ScaledSize scaleOutputSize(
    const QString& columns, const QString& rows, double factor, const QLocale& locale);

// The French message for error, naming the offending text where there is one.
QString scaleErrorText(const ScaledSize& result);

} // namespace mosaiq
