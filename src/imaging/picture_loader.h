// Loading the pictures a user picks (BMP, PNG, JPEG, GIF), with a message
// that says what went wrong.
#pragma once

#include "page/status.h"

#include <QImage>
#include <QString>

// Cell patterns take the four formats every browser shows; a picture to
// animate may be anything Qt's image plugins read.
enum class PictureFormats { Common, AnyReadable };

Status LoadPicture(const QString& path, QImage* image,
                   PictureFormats formats = PictureFormats::Common);
