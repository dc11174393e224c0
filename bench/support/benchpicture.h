#pragma once

#include <QImage>
#include <QPainter>
#include <QString>

#include <cstdint>

// A photo-like test picture saved as JPEG: gradients and noise, so that the decoder has real work
// to do, and a disc so that the result shows something.
inline void makeBenchPicture(const QString& path, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::uint32_t seed = 12345;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            line[x] = qRgb(x * 255 / width, y * 255 / height, int((seed >> 24) & 0x3F) + 96);
        }
    }
    QPainter painter(&image);
    painter.setBrush(QColor(230, 57, 70));
    painter.drawEllipse(QPoint(width / 3, height / 2), height / 4, height / 4);
    painter.end();
    image.save(path, "JPG", 90);
}
