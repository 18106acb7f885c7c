#include "core/document/cell_pattern_painter.h"

#include "core/cellmask/mask_painters.h"
#include "core/imaging/gif_writer.h"

#include <ctime>

std::uint32_t SeedFromClock() {
    return std::uint32_t(std::time(nullptr));
}

Status PaintCellMask(const TableGeometry& table, const QImage& picture,
                     const CellPatternParameters& p, CellMask* mask, std::uint32_t* seedUsed) {
    const std::uint32_t seed = p.seed ? *p.seed : SeedFromClock();
    if (seedUsed)
        *seedUsed = seed;
    switch (p.kind) {
    case CellPatternKind::Rectangle:
        return DrawRectCellPattern(table, p.lineWidth, p.margin, mask);
    case CellPatternKind::RoundRectangle:
        return DrawRoundRectCellPattern(table, p.lineWidth, p.corner, p.margin, mask);
    case CellPatternKind::CraftScissors:
        return DrawCraftCellPattern(table, p.bumpsY, p.bumpsX, p.lineWidth, p.flatInner, p.margin,
                                    seed, mask);
    case CellPatternKind::Bitmap:
        return DrawBitmapCellPattern(table, picture, p.border, mask);
    }
    return Status::Error(QStringLiteral("Unknown cell pattern."));
}

Status ApplyCellPattern(AnimationRenderer& renderer, const CellPatternParameters& parameters,
                        CellPatternResult* result) {
    if (Status s = CheckCellPatternParameters(parameters); !s)
        return s;
    auto mask = std::make_shared<CellMask>();
    std::uint32_t seed = 0;
    const TableGeometry table = renderer.Table();
    if (Status s = PaintCellMask(table, renderer.GetCellPicture(), parameters, mask.get(), &seed);
        !s)
        return s;
    const bool merged = renderer.GetMaskMode() == MaskMode::MergedIntoFrames;
    renderer.SetMask(merged ? MaskMode::MergedIntoFrames : MaskMode::SeparateLayer, mask);
    if (result) {
        result->mask = mask;
        result->seed = seed;
        result->written = false;
    }
    if (merged)
        return Status::Ok(); // merged into the frames at the next save
    if (renderer.GetCellGifPath().isEmpty())
        return Status::Error(QStringLiteral("There is no file to save the cell pattern to."));
    if (Status s = SaveCellMaskGif(renderer.GetCellGifPath(), *mask, table.cellColor); !s)
        return s;
    if (result)
        result->written = true;
    return Status::Ok();
}

void FitRendererTableToPhoto(AnimationRenderer& renderer, int photoWidth, int photoHeight,
                             int bumpsY, int lineWidth, int margin) {
    renderer.SetTable(
        FitTableToPhoto(renderer.Table(), photoWidth, photoHeight, bumpsY, lineWidth, margin));
}

QSize RendererPhotoSize(const AnimationRenderer& renderer, int bumpsY, int lineWidth, int margin) {
    return PhotoSizeForTable(renderer.Table(), bumpsY, lineWidth, margin);
}
