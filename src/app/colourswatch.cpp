#include "app/colourswatch.h"

#include <QMouseEvent>

namespace mosaiq {

ColourSwatch::ColourSwatch(QWidget* parent)
    : QFrame(parent)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    setColour(Qt::black);
}

void ColourSwatch::setColour(const QColor& colour)
{
    m_colour = colour;
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, colour);
    // The border must stay visible on a black swatch as on a white one.
    palette.setColor(
        QPalette::WindowText, colour.lightness() < 96 ? QColor(128, 128, 128) : Qt::black);
    setPalette(palette);
}

void ColourSwatch::mousePressEvent(QMouseEvent* event)
{
    m_click.press(event);
}

void ColourSwatch::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_click.release(event, *this))
        emit clicked();
}

} // namespace mosaiq
