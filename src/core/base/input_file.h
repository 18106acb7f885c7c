// Opening the files a user or a page names for reading. Only regular files
// are taken: a FIFO, a device or a socket would block a read forever or
// never end, so each is refused before the first byte is read, and reads are
// bounded by what their use needs.
#pragma once

#include "core/base/status.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Opens path read-only in *file, only when it is a regular file (a symbolic
// link to one included). The check and the open are one step, so nothing
// can be swapped in between. "Cannot open <path>: <why>" otherwise, naming
// what it is ("it is a FIFO (named pipe)", "it is a folder").
Status OpenInputFile(const QString& path, QFile* file);

// Reads a whole input file of at most maxBytes; a larger one is refused with
// a message naming `what` and the limit ("a page may have at most 1024 MB").
// The file is read no further than the limit, even when it grows meanwhile.
Status ReadInputFile(const QString& path, qint64 maxBytes, const QString& what, QByteArray* bytes);

// The limit as a user reads it: "512 KB", "1024 MB".
QString ByteLimitText(qint64 bytes);
