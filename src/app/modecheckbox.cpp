#include "app/modecheckbox.h"

#include <QMouseEvent>

namespace mosaiq {

namespace {

    bool isOtherButton(Qt::MouseButton button)
    {
        return button == Qt::RightButton || button == Qt::MiddleButton;
    }

} // namespace

void ModeCheckBox::mousePressEvent(QMouseEvent* event)
{
    if (isOtherButton(event->button()) && hitButton(event->position().toPoint())) {
        m_otherButtonDown = event->button();
        event->accept();
        return;
    }
    QCheckBox::mousePressEvent(event);
}

void ModeCheckBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (isOtherButton(event->button())) {
        // As with the left button, letting go outside the box takes the click back.
        const bool click
            = event->button() == m_otherButtonDown && hitButton(event->position().toPoint());
        m_otherButtonDown = Qt::NoButton;
        event->accept();
        if (click && isEnabled())
            emit otherButtonClicked();
        return;
    }
    QCheckBox::mouseReleaseEvent(event);
}

} // namespace mosaiq
