#pragma once

#include "platform/desktop.h"

class QFileDialog;

namespace mosaiq {

// The desktop through Qt: Qt's own dialogs, QMessageBox, QDesktopServices and the system
// clipboard.
class QtDesktop : public Desktop {
public:
    QString openFileName(QWidget* parent, const QString& filter) override;
    std::optional<QColor> chooseColour(QWidget* parent, const QColor& initial) override;
    void showInformation(QWidget* parent, const QString& title, const QString& text) override;
    bool openUrl(const QUrl& url) override;
    void setClipboardData(QMimeData* data) override;

    // Sets dialog up to open one existing file with filter's entries, each shown with its own
    // label; "*.*" in a pattern means any file, with or without an extension, as the label
    // promises (Qt's "*.*" wants a dot).
    static void prepareOpenDialog(QFileDialog& dialog, const QString& filter);
};

} // namespace mosaiq
