// Reads back a page that CHtmlTable wrote: the table's size, cell spacing,
// grid, colours, whether cells are shown, whether a cell layer lies over the
// animation, and the names of its images. A page is only taken as ours when
// writing the values read gives back the very same bytes, so a page edited
// by hand or made elsewhere is never half-read.
#pragma once

#include "core/base/status.h"
#include "core/page/html_table.h"

#include <QByteArray>
#include <QString>
#include <optional>

struct PageContents {
    CHtmlTable table; // with every value the page holds set
    COLORREF pageColor = 0xFFFFFF;
    bool showCells = true;
    // A page with its cells hidden does not carry the grid and the spacing:
    // the table keeps its defaults for them then.
    QString imageBase;       // the images' base name, as ComposePage takes it
    QString animationName;   // base + ".gif", beside the page
    QString cellPatternName; // base + "-cell.gif" (named by the page only with a cell layer)
};

// The page's contents when Velmora wrote it; nullopt for any other text.
std::optional<PageContents> ParsePage(const QByteArray& bytes);
// Reads the file; an error when it cannot be read, nullopt in *contents when
// it is not a page Velmora wrote.
Status ReadPage(const QString& path, std::optional<PageContents>* contents);
