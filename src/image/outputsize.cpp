#include "image/outputsize.h"

#include "wording/sizewords.h"

#include <cmath>
#include <optional>

namespace mosaiq {

namespace {

    std::optional<double> readNumber(const QString& text, const QLocale& locale)
    {
        bool ok = false;
        const double value = locale.toDouble(text.trimmed(), &ok);
        // "inf" and "nan" parse, but no picture is that many characters wide.
        if (!ok || !std::isfinite(value))
            return std::nullopt;
        return value;
    }

    NumberFormat formatOf(const QLocale& locale)
    {
        NumberFormat format;
        format.decimal = locale.decimalPoint().toStdString();
        format.minus = locale.negativeSign().toStdString();
        format.plus = locale.positiveSign().toStdString();
        format.exponential = locale.exponential().toStdString();
        // Every set of digits runs from its zero in one block, so the last code unit counts up.
        const QString zero = locale.zeroDigit();
        for (int i = 0; i < 10; ++i) {
            QString digit = zero;
            digit.back() = QChar(digit.back().unicode() + i);
            format.digits[i] = digit.toStdString();
        }
        return format;
    }

} // namespace

ScaledSize scaleOutputSize(
    const QString& columns, const QString& rows, double factor, const QLocale& locale)
{
    const ScaledNumbers scaled = scaleSizes(
        readNumber(columns, locale), readNumber(rows, locale), factor, formatOf(locale));
    if (scaled.error != ScaleError::None)
        return { columns, rows, scaled.error };
    return { QString::fromStdString(scaled.columns), QString::fromStdString(scaled.rows),
        ScaleError::None };
}

QString scaleErrorText(const ScaledSize& result)
{
    const QString& offending
        = result.error == ScaleError::RowsNotANumber ? result.rows : result.columns;
    return QString::fromStdString(scaleErrorWords(
        result.error, offending.trimmed().isEmpty() ? std::string() : offending.toStdString()));
}

} // namespace mosaiq
