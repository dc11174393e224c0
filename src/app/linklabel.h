#pragma once

#include "app/clicktracker.h"

#include <QLabel>
#include <QUrl>

namespace mosaiq {

// A label that shows a link text in blue, underlined, and reports a left click. The address it
// stands for may differ from the text it shows.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& text, const QUrl& address, QWidget* parent = nullptr);

    QUrl address() const { return m_address; }

signals:
    void clicked(const QUrl& address);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QUrl m_address;
    ClickTracker m_click;
};

} // namespace mosaiq
