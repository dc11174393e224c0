#pragma once

#include "app/clicktracker.h"

#include <QColor>
#include <QFrame>

namespace mosaiq {

// A small flat box filled with one colour, which the user clicks to change it.
class ColourSwatch : public QFrame {
    Q_OBJECT
public:
    explicit ColourSwatch(QWidget* parent = nullptr);

    QColor colour() const { return m_colour; }
    void setColour(const QColor& colour);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QColor m_colour;
    ClickTracker m_click;
};

} // namespace mosaiq
