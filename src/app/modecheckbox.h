#pragma once

#include <QCheckBox>

namespace mosaiq {

// A mode check box that also answers the right and middle mouse buttons. A check box toggles
// only on the left button and the space bar (clicked()); the window treats a click with any
// other button as the same choice of mode, so it is reported as otherButtonClicked().
class ModeCheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

signals:
    void otherButtonClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Qt::MouseButton m_otherButtonDown = Qt::NoButton;
};

} // namespace mosaiq
