// Loading the pictures a user picks (BMP, PNG, JPEG, GIF), with a message
// that says what went wrong. A picture's header is checked before its pixels
// are decoded, so a small file cannot claim gigabytes.
#pragma once

#include "core/base/status.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// The most pixels a picture may have (about 8000 x 6000: a large photo).
inline constexpr qint64 kMaxPicturePixels = 50'000'000;

// Cell patterns take the four formats every browser shows; a picture to
// animate may be anything Qt's image plugins read.
enum class PictureFormats { Common, AnyReadable };

Status LoadPicture(const QString& path, QImage* image,
                   PictureFormats formats = PictureFormats::Common);
// The same from bytes in memory; `name` is what messages call it.
Status LoadPictureData(const QByteArray& data, QImage* image, const QString& name,
                       PictureFormats formats = PictureFormats::Common);
