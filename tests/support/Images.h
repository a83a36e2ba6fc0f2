#pragma once

// Images to draw on in tests, and ways to read them back.

#include "platform/Color.h"

#include <QColor>
#include <QImage>

#include <random>

inline QImage WhiteImage(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// An image with a different colour in every pixel, so that a pixel that is
// changed and not restored shows. The same seed gives the same image.
inline QImage NoisyImage(int w, int h, unsigned seed)
{
    QImage image(w, h, QImage::Format_RGB32);
    std::mt19937 random(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, 0xFF000000u | (random() & 0xFFFFFFu));
    return image;
}

inline TColor PixelColor(const QImage& image, int x, int y)
{
    return ToTColor(QColor(image.pixel(x, y)));
}

// The number of pixels in which two images of one size differ.
inline int CountChanged(const QImage& a, const QImage& b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return count;
}
