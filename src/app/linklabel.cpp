#include "app/linklabel.h"

#include <QMouseEvent>

namespace mosaiq {

LinkLabel::LinkLabel(const QString& text, const QUrl& address, QWidget* parent)
    : QLabel(text, parent)
    , m_address(address)
{
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    setPalette(palette);
    QFont font = this->font();
    font.setUnderline(true);
    setFont(font);
    setCursor(Qt::WhatsThisCursor);
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    m_click.press(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_click.release(event, *this))
        emit clicked(m_address);
}

} // namespace mosaiq
