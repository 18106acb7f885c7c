// Whole-file writes that never leave a half-written file behind: the bytes go
// to a temporary file in the target folder, which is renamed over the target
// only when everything was written.
#pragma once

#include "page/status.h"

#include <QByteArray>
#include <QString>

// On failure the message is "Cannot open <path>" when the file could not be
// created, "Cannot write <path>: <reason>" when writing or renaming failed.
Status WriteFileAtomically(const QString& path, const QByteArray& bytes);

// Copies source over target the same way; the target keeps its old content
// when the copy fails.
Status CopyFileAtomically(const QString& source, const QString& target);
