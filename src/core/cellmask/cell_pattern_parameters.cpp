#include "core/cellmask/cell_pattern_parameters.h"

namespace {

using Info = CellPatternParameterInfo;
using P = CellPatternParameters;

// Line widths and margins past these would only paint the whole table; the
// bumps need a half of at least 1.
constexpr int kMaxLine = 1000;
constexpr int kMaxMargin = 10000;

Info Number(const char* name, const char* label, int min, int max, int P::*member) {
    return Info{QLatin1String(name),
                QLatin1String(label),
                min,
                max,
                [member](const P& p) { return p.*member; },
                [member](P& p, int v) { p.*member = v; },
                false};
}

} // namespace

CellPatternParameters CellPatternParameters::Defaults(CellPatternKind kind) {
    CellPatternParameters p;
    p.kind = kind;
    switch (kind) {
    case CellPatternKind::Rectangle:
        p.lineWidth = 5;
        p.margin = 0;
        break;
    case CellPatternKind::RoundRectangle:
        p.lineWidth = 5;
        p.corner = 50;
        p.margin = 2;
        break;
    case CellPatternKind::CraftScissors:
        p.bumpsY = 10;
        p.bumpsX = 10;
        p.lineWidth = 2;
        p.margin = 8;
        p.flatInner = true;
        p.photoWidth = 150;
        p.photoHeight = 100;
        break;
    case CellPatternKind::Bitmap:
        p.border = 0;
        break;
    }
    return p;
}

QString CellPatternKindName(CellPatternKind kind) {
    switch (kind) {
    case CellPatternKind::Rectangle:
        return QStringLiteral("rect");
    case CellPatternKind::RoundRectangle:
        return QStringLiteral("round");
    case CellPatternKind::CraftScissors:
        return QStringLiteral("craft");
    case CellPatternKind::Bitmap:
        return QStringLiteral("bitmap");
    }
    return QString();
}

QStringList CellPatternKindNames() {
    return {QStringLiteral("rect"), QStringLiteral("round"), QStringLiteral("craft"),
            QStringLiteral("bitmap")};
}

std::optional<CellPatternKind> CellPatternKindFromName(const QString& name) {
    for (CellPatternKind kind : {CellPatternKind::Rectangle, CellPatternKind::RoundRectangle,
                                 CellPatternKind::CraftScissors, CellPatternKind::Bitmap})
        if (CellPatternKindName(kind) == name)
            return kind;
    return std::nullopt;
}

std::vector<CellPatternParameterInfo> CellPatternParameterList(CellPatternKind kind) {
    switch (kind) {
    case CellPatternKind::Rectangle:
        return {Number("border", "Border:", 0, kMaxLine, &P::lineWidth),
                Number("margin", "Outer Margin:", 0, kMaxMargin, &P::margin)};
    case CellPatternKind::RoundRectangle:
        return {Number("border", "Border:", 0, kMaxLine, &P::lineWidth),
                Number("corner", "Corner Radius:", 0, 65535, &P::corner),
                Number("margin", "Outer Margin:", 0, kMaxMargin, &P::margin)};
    case CellPatternKind::CraftScissors: {
        Info flat{QStringLiteral("flat-inner"),
                  QStringLiteral("Flat Inner"),
                  0,
                  1,
                  [](const P& p) { return p.flatInner ? 1 : 0; },
                  [](P& p, int v) { p.flatInner = v != 0; },
                  true};
        return {Number("bumps-y", "Bumps Y-Size:", 2, 1000, &P::bumpsY),
                Number("bumps-x", "Bumps X-Size:", 2, 1000, &P::bumpsX),
                Number("line-width", "Line Width:", 0, kMaxLine, &P::lineWidth),
                Number("margin", "Outer Margin:", 0, kMaxMargin, &P::margin),
                flat,
                Number("photo-width", "Photo Width:", 1, 65535, &P::photoWidth),
                Number("photo-height", "Photo Height:", 1, 65535, &P::photoHeight)};
    }
    case CellPatternKind::Bitmap:
        return {Number("border", "Border:", 0, kMaxMargin, &P::border)};
    }
    return {};
}

Status CheckCellPatternParameters(const CellPatternParameters& parameters) {
    for (const Info& info : CellPatternParameterList(parameters.kind)) {
        const int v = info.get(parameters);
        if (v < info.minimum || v > info.maximum) {
            QString label = info.label;
            if (label.endsWith(QLatin1Char(':')))
                label.chop(1);
            return Status::Error(QStringLiteral("%1 must be a whole number from %2 to %3.")
                                     .arg(label)
                                     .arg(info.minimum)
                                     .arg(info.maximum));
        }
    }
    return Status::Ok();
}
