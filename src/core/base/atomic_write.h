// Whole-file writes that never leave a half-written file behind: both go
// through AtomicFile, so the target is replaced only when every byte was
// written, flushed and synced.
#pragma once

#include "core/base/status.h"

#include <QByteArray>
#include <QString>

// On failure the message is "Cannot open <path>" when the file could not be
// created, "Cannot write <path>: <reason>" when writing or renaming failed.
Status WriteFileAtomically(const QString& path, const QByteArray& bytes);

// Copies source over target the same way, a piece at a time; the target keeps
// its old content when the copy fails.
Status CopyFileAtomically(const QString& source, const QString& target);
