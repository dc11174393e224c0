#include "image/outputsize.h"

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
    const QString unchanged = QStringLiteral("\r\nLes dimensions restent inchangées.");
    auto notANumber = [&unchanged](const QString& field, const QString& text) {
        if (text.trimmed().isEmpty())
            return QStringLiteral("La %1 est vide.").arg(field) + unchanged;
        return QStringLiteral("La %1 « %2 » n'est pas un nombre.").arg(field, text) + unchanged;
    };
    switch (result.error) {
    case ScaleError::None:
        return {};
    case ScaleError::ColumnsNotANumber:
        return notANumber(QStringLiteral("largeur"), result.columns);
    case ScaleError::RowsNotANumber:
        return notANumber(QStringLiteral("hauteur"), result.rows);
    case ScaleError::OutOfRange:
        return QStringLiteral("Le résultat serait trop grand pour être écrit.") + unchanged;
    }
    return {};
}

} // namespace mosaiq
