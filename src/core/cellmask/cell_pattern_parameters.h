// What a cell pattern is made of: its kind and the sizes its parameter
// window asks for, with the windows' starting values and the limits a value
// must keep. The command line and the pattern windows share the list.
#pragma once

#include "core/base/status.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

enum class CellPatternKind { Rectangle, RoundRectangle, CraftScissors, Bitmap };

struct CellPatternParameters {
    CellPatternKind kind = CellPatternKind::Rectangle;
    int lineWidth = 5; // rectangles' "Border:", craft scissors' "Line Width:"
    int margin = 0;    // "Outer Margin:"
    int corner = 50;   // "Corner Radius:", the corner ellipse's width and height
    int bumpsY = 10;   // "Bumps Y-Size:", height of the bumps across the edge
    int bumpsX = 10;   // "Bumps X-Size:", length of the bumps along the edge
    bool flatInner = true;
    int photoWidth = 150; // the photo each craft-scissors cell is to hold
    int photoHeight = 100;
    int border = 0; // bitmap: "Border:" around each picture
    // The craft-scissors outline's random sequence; none: from the clock.
    std::optional<std::uint32_t> seed;

    // A pattern window's starting values.
    static CellPatternParameters Defaults(CellPatternKind kind);
};

// "rect", "round", "craft", "bitmap".
QString CellPatternKindName(CellPatternKind kind);
std::optional<CellPatternKind> CellPatternKindFromName(const QString& name);
QStringList CellPatternKindNames();

struct CellPatternParameterInfo {
    QString name;  // on the command line
    QString label; // in the pattern window
    int minimum;
    int maximum;
    std::function<int(const CellPatternParameters&)> get; // switches 0 or 1
    std::function<void(CellPatternParameters&, int)> set;
    bool isSwitch = false;
};

// The parameters of one kind, in the order of its window.
std::vector<CellPatternParameterInfo> CellPatternParameterList(CellPatternKind kind);

// Every value of the kind within its limits; otherwise a message naming the
// first that is not.
Status CheckCellPatternParameters(const CellPatternParameters& parameters);
