#include "image/outputsize.h"

#include "wording/windowwords.h"

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

    QString writeNumber(double value, QLocale locale)
    {
        locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
        // Halving -0.5 far enough gives -0, which reads oddly in a size field.
        if (value == 0.0)
            value = 0.0;
        return locale.toString(value, 'g', 15);
    }

} // namespace

ScaledSize scaleOutputSize(
    const QString& columns, const QString& rows, double factor, const QLocale& locale)
{
    ScaledSize result { columns, rows, ScaleError::None };
    const auto x = readNumber(columns, locale);
    if (!x) {
        result.error = ScaleError::ColumnsNotANumber;
        return result;
    }
    const auto y = readNumber(rows, locale);
    if (!y) {
        result.error = ScaleError::RowsNotANumber;
        return result;
    }
    const double newX = *x * factor;
    const double newY = *y * factor;
    if (!std::isfinite(newX) || !std::isfinite(newY)) {
        result.error = ScaleError::OutOfRange;
        return result;
    }
    result.columns = writeNumber(newX, locale);
    result.rows = writeNumber(newY, locale);
    return result;
}

QString scaleErrorText(const ScaledSize& result)
{
    const QString unchanged = QString::fromUtf8(window::SizesUnchanged);
    auto notANumber = [&unchanged](const char* field, const QString& text) {
        if (text.trimmed().isEmpty())
            return QString::fromUtf8(window::SizeEmpty).arg(QString::fromUtf8(field)) + unchanged;
        return QString::fromUtf8(window::SizeNotANumber).arg(QString::fromUtf8(field), text)
            + unchanged;
    };
    switch (result.error) {
    case ScaleError::None:
        return {};
    case ScaleError::ColumnsNotANumber:
        return notANumber(window::Width, result.columns);
    case ScaleError::RowsNotANumber:
        return notANumber(window::Height, result.rows);
    case ScaleError::OutOfRange:
        return QString::fromUtf8(window::SizeTooLarge) + unchanged;
    }
    return {};
}

} // namespace mosaiq
