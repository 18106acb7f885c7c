// The animation a GIF was saved from, carried in the GIF itself: a private
// application extension ("VELMORA 1.0") whose data is UTF-8 "key=value"
// lines: the type's command-line name, the Velmora version that saved it,
// every parameter the type has by name, and the seed of a type that draws
// random numbers. Applied to a fresh
// renderer of the type, it repeats the save byte for byte.
#pragma once

#include "core/animation/animation_renderer.h"
#include "core/base/status.h"
#include "core/imaging/gif_reader.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// The extension's identifier: 8 letters and the 3-byte version.
QByteArray AnimationRecordId();

struct AnimationRecord {
    QString type;    // "moving-stripes"
    QString version; // Velmora's that saved it; empty in records from before 1.1
    std::vector<std::pair<QString, QString>> values; // in the type's parameter order
    std::optional<std::uint32_t> seed;

    QString Value(const QString& name) const;
};

// The command-line name of the renderer's type; empty for a type the table
// does not know.
QString RendererTypeName(const AnimationRenderer& renderer);

// What the renderer holds now, as the extension's data (empty for an unknown
// type). The seed is the last one used, so call it after a save's
// PrepareSave().
QByteArray ComposeAnimationRecord(const AnimationRenderer& renderer);
// Reads the extension's data; nullopt when it is not one (no type line, a
// line without "=").
std::optional<AnimationRecord> ParseAnimationRecord(const QByteArray& data);
// The record of a GIF read with ReadGif, when it carries one.
std::optional<AnimationRecord> FindAnimationRecord(const GifAnimation& animation);

// Sets every value the record holds through the renderer's own setters (so
// their clamps apply) and fixes the recorded seed. Values the type does not
// have, or that cannot be read, are reported and skipped; the rest still
// apply.
Status ApplyAnimationRecord(const AnimationRecord& record, AnimationRenderer& renderer);
// A fresh renderer of the record's type with its values; null with the
// reason for a type that cannot be made.
std::unique_ptr<AnimationRenderer> CreateRendererFromRecord(const AnimationRecord& record,
                                                            Status* status = nullptr);
