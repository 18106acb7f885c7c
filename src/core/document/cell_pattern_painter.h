// A cell pattern painted for an animation renderer: the renderer's table
// geometry (and, for a bitmap pattern, its cell picture) goes to the painter,
// the new mask replaces the renderer's, and the mask meets its fate — unless
// the renderer's mask mode merges it into the frames it is written at once
// as the cell GIF (the page lays it over the animation); merged, it is kept,
// and the next animation save makes the frames' cell areas transparent.
#pragma once

#include "core/animation/animation_renderer.h"
#include "core/base/status.h"
#include "core/cellmask/cell_pattern_parameters.h"
#include "core/cellmask/table_geometry.h"
#include "core/imaging/cell_mask.h"

#include <QImage>
#include <QSize>
#include <cstdint>
#include <memory>

struct CellPatternResult {
    std::shared_ptr<const CellMask> mask;
    // The seed the craft-scissors outline was drawn with; given back as
    // CellPatternParameters::seed it draws the same outline again.
    std::uint32_t seed = 0;
    bool written = false; // written to the renderer's cell GIF path
};

// The seed of a pattern drawn now: the clock's seconds.
std::uint32_t SeedFromClock();

// Paints the mask `parameters` describe for `table`; `picture` is read by
// the bitmap pattern only. The values are not range-checked here.
Status PaintCellMask(const TableGeometry& table, const QImage& picture,
                     const CellPatternParameters& parameters, CellMask* mask,
                     std::uint32_t* seedUsed = nullptr);

// Checks the values, paints with the renderer's geometry and picture, hands
// the renderer the new mask and writes or keeps it as its mask mode says. On a
// bad value or a table too large nothing changes; when the cell GIF cannot
// be written the message names the file and the previous file is left as
// it was (the renderer has the new mask all the same).
Status ApplyCellPattern(AnimationRenderer& renderer, const CellPatternParameters& parameters,
                        CellPatternResult* result = nullptr);

// The craft-scissors sizing on the renderer's table (see FitTableToPhoto and
// PhotoSizeForTable): resizes the renderer's table around photos of the
// given size, or tells the photo size its cells hold now.
void FitRendererTableToPhoto(AnimationRenderer& renderer, int photoWidth, int photoHeight,
                             int bumpsY, int lineWidth, int margin);
QSize RendererPhotoSize(const AnimationRenderer& renderer, int bumpsY, int lineWidth, int margin);
