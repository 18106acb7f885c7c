// velmora-cli cell-pattern, and the cell-pattern options of velmora-cli
// render: a pattern painted from the table geometry, written as the page's
// cell GIF or merged into the animation's frames.
#pragma once

#include "cli/arguments.h"
#include "core/animation/animation_renderer.h"
#include "core/page/html_table.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

int RunCellPatternCommand(const QStringList& args);
extern const char* const kCellPatternHelp;

// What render was told about a cell pattern; values are checked when the
// pattern is applied, whatever order the options came in.
struct RenderCellPatternOptions {
    QString pattern; // empty: none
    QStringList sets;
    QString picture;
    std::optional<COLORREF> cellColor;
    std::optional<std::uint32_t> seed;
};

// Takes --cell-pattern, --cell-set, --cell-color, --cell-seed and --picture
// (with their values); false for any other option.
bool ReadRenderCellPatternOption(const QString& arg, ArgumentReader& reader,
                                 RenderCellPatternOptions* options);
// With a pattern given: paints it on the renderer's table and keeps it for
// the save, which then cuts every frame by it; the frames take the table's
// size, as the animation windows do when a pattern is merged. Returns an
// exit code (usage errors are thrown, as ArgumentReader does).
int ApplyRenderCellPattern(const RenderCellPatternOptions& options, AnimationRenderer& renderer,
                           const ArgumentReader& reader);
// The lines render's help gives these options.
QString RenderCellPatternHelp();

// The demo's cell pattern for `table`: craft-scissors frames with a flat
// panel, always the same outline, written through the renderer (whose
// cell GIF path it sets and whose cell-pattern flag it clears).
Status WriteDemoCellPattern(const CHtmlTable& table, const QString& cellGifPath,
                            AnimationRenderer& renderer);
