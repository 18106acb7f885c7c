// Names of the files of a page set: base.htm, base.gif and base-cell.gif in
// one folder. Paths may use "/" or "\" as folder separators.
#pragma once

#include <QString>

struct PageImageNames {
    QString animation;   // base + ".gif"
    QString cellPattern; // base + "-cell.gif"
    // The animated WebPs a modern page prefers to them.
    QString animationWebp;   // base + ".webp"
    QString cellPatternWebp; // base + "-cell.webp"
};

// The names the page uses for its images. A non-empty image name is the base
// itself; otherwise the base is the page path's file name up to its last dot
// (empty when the file name has no dot).
PageImageNames ImageNamesFor(const QString& pagePath, const QString& imageName);

// Position of the last folder separator ("/" or "\") in path, -1 when none.
qsizetype LastSeparator(const QString& path);

// The path as the file system takes it, with every "\" a "/": the names
// inside a page split at both, so the files must be put where those names
// lead, never into a file whose name holds a "\".
QString SeparatorsAsSlashes(const QString& path);

// Folder part of path including its last separator, and the file name
// without its extension: how a chosen save path becomes a page set.
QString FolderOf(const QString& path);
QString BaseNameOf(const QString& path);
