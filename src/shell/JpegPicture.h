#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes a JPEG held in memory through libjpeg. Grey and three-component
// pictures come back as RGB888; anything undecodable gives a null image and,
// when asked for, the decoder's message.
QImage DecodeJpeg(const QByteArray &data, QString *error = nullptr);

// Reads the file (or Qt resource) and decodes it.
QImage LoadJpeg(const QString &path, QString *error = nullptr);
