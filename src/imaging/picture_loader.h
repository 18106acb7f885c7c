// Loading the pictures a user picks (BMP, PNG, JPEG, GIF), with a message
// that says what went wrong.
#pragma once

#include "page/status.h"

#include <QImage>
#include <QString>

Status LoadPicture(const QString& path, QImage* image);
