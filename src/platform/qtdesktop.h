#pragma once

#include "platform/desktop.h"

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
};

} // namespace mosaiq
