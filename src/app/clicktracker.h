#pragma once

#include <QMouseEvent>
#include <QWidget>

namespace mosaiq {

// Tells a click from a mere press or release on a plain widget: a left press, then a left
// release still inside it, as buttons count clicks.
class ClickTracker {
public:
    void press(QMouseEvent* event)
    {
        m_pressed = event->button() == Qt::LeftButton;
        event->accept();
    }

    // True when this release completes a click on widget.
    bool release(QMouseEvent* event, const QWidget& widget)
    {
        const bool click = m_pressed && event->button() == Qt::LeftButton
            && widget.rect().contains(event->position().toPoint());
        m_pressed = false;
        event->accept();
        return click;
    }

private:
    bool m_pressed = false;
};

} // namespace mosaiq
