#pragma once

#include "image/picturereader.h"

#include <QWidget>

namespace mosaiq {

// The never-shown holder of the full-size picture that runs sample. It keeps the decoded
// pixels rather than a screen pixmap: a picture of hundreds of megapixels is never shown.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // Takes picture over; the box takes its size, as a picture box sizing itself would.
    void setPicture(Picture picture);
    const Picture& picture() const { return m_picture; }
    const QImage& image() const { return m_picture.image; }
    bool hasPicture() const { return !m_picture.image.isNull(); }

private:
    Picture m_picture;
};

} // namespace mosaiq
