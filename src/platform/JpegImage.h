#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes a JPEG image held in memory with libjpeg. Returns an image of
// Format_RGB32, or a null image when the data is no JPEG image libjpeg can
// read; then *error, when given, receives libjpeg's reason.
QImage DecodeJpeg(const QByteArray& data, QString* error = nullptr);
