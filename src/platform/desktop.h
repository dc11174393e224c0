#pragma once

#include <QColor>
#include <QString>
#include <QUrl>

#include <optional>

class QMimeData;
class QWidget;

namespace mosaiq {

// Everything the window asks of the desktop that would wait for the user or leave the program:
// modal dialogs, message boxes, the web browser and the clipboard. The program uses QtDesktop;
// tests hand the window a fake that answers at once.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Shows the open-file dialog with filter (Qt's "Label (*.ext);;..." form) and waits.
    // Returns the chosen file's full path, or an empty text when nothing was chosen.
    virtual QString openFileName(QWidget* parent, const QString& filter) = 0;

    // Shows the colour dialog preset to initial and waits. No value when the user cancelled.
    virtual std::optional<QColor> chooseColour(QWidget* parent, const QColor& initial) = 0;

    // A modal message with the information icon and one OK button; returns once it is closed.
    // Lines in text are separated by CR LF.
    virtual void showInformation(QWidget* parent, const QString& title, const QString& text) = 0;

    // Opens url in the desktop's web browser without waiting for it. False when no browser
    // could be asked to open it.
    virtual bool openUrl(const QUrl& url) = 0;

    // Replaces whatever the clipboard held, in every format, by data, which it takes over.
    virtual void setClipboardData(QMimeData* data) = 0;
};

} // namespace mosaiq
