#include "platform/qtdesktop.h"

#include <QClipboard>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QRegularExpression>

namespace mosaiq {

QString QtDesktop::openFileName(QWidget* parent, const QString& filter)
{
    QFileDialog dialog(parent);
    prepareOpenDialog(dialog, filter);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

void QtDesktop::prepareOpenDialog(QFileDialog& dialog, const QString& filter)
{
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Qt reads an entry's patterns from its last parentheses: each label gets its patterns
    // repeated after it, which the dialog reads but does not show.
    QStringList entries;
    const QRegularExpression patterns(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    for (const QString& entry : filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = patterns.match(entry);
        QStringList names = match.hasMatch()
            ? match.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts)
            : QStringList { QStringLiteral("*") };
        for (QString& name : names) {
            if (name == QLatin1String("*.*"))
                name = QStringLiteral("*");
        }
        entries << entry + QStringLiteral(" (") + names.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(entries);
}

std::optional<QColor> QtDesktop::chooseColour(QWidget* parent, const QColor& initial)
{
    const QColor colour = QColorDialog::getColor(initial, parent);
    if (!colour.isValid())
        return std::nullopt;
    return colour;
}

void QtDesktop::showInformation(QWidget* parent, const QString& title, const QString& text)
{
    // The messages are written with CR LF; a label would show the CR as a stray mark.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::Information, title, shown, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtDesktop::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

void QtDesktop::setClipboardData(QMimeData* data)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setMimeData(data);
}

} // namespace mosaiq
