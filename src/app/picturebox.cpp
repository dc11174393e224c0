#include "app/picturebox.h"

namespace mosaiq {

PictureBox::PictureBox(QWidget* parent)
    : QWidget(parent)
{
}

void PictureBox::setPicture(Picture picture)
{
    m_picture = std::move(picture);
    resize(m_picture.image.size());
}

} // namespace mosaiq
