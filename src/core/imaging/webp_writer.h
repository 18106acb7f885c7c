// The animated WebP that can travel beside the page's GIF: the renderers'
// true-colour frames (not the GIF's 256 colours), the cells cut out as
// transparency, and the animation's record in the file's XMP metadata.
#pragma once

#include "core/base/status.h"
#include "core/imaging/cell_mask.h"
#include "core/imaging/frame_encoder.h"

#include <QByteArray>
#include <QSize>
#include <QString>

// auto: when the first frame holds few colours it is encoded both ways and
// the smaller decides (stripes and clouds lossless, a soft picture lossy);
// lossy for more colours.
enum class WebpCompression { Auto, Lossless, Lossy };

// Chosen on the bench (bench/compare-webp): on the scrolling picture 90
// comes to a fifth of the GIF's size at a blurred PSNR of 44.7 dB; above it
// the size grows fast while the PSNR stays under 47.4 dB even at 100 (the
// halved colour resolution of lossy WebP), below the GIF's 49.6.
inline constexpr int kDefaultWebpQuality = 90;

// The chunk that held the record before it moved into the XMP packet (which
// validators know); files that have it are still read.
inline constexpr char kWebpRecordChunk[] = "VLMR";

enum class WebpLosslessEncoder {
    // Ours when the first frame comes out no larger with it, else libwebp's.
    Smaller,
    // Ours: for a WebP written beside a GIF, whose save should not wait on it.
    Fast,
    // libwebp's.
    Library,
};

struct WebpOptions {
    WebpCompression compression = WebpCompression::Auto;
    int quality = kDefaultWebpQuality; // 0-100: lossy quality, or lossless effort
    // Where the mask marks the cell area the frame is fully transparent.
    const CellMask* mask = nullptr;
    // The animation's record; none when empty.
    QByteArray record;
    // Frames with at most this many colours count as few for auto.
    int fewColors = 256;
    int threads = 0; // frames drawn ahead; 0: one per core
    // Who encodes lossless frames of at most 256 colours. Our Vp8lEncoder
    // takes a quarter to a third of libwebp's time; its frames are up to a
    // fifth smaller on hard-edged stripes and 3-16% larger on the clouds
    // (bench/compare-webp).
    WebpLosslessEncoder losslessEncoder = WebpLosslessEncoder::Smaller;
};

struct WebpStats {
    int frames = 0;
    bool lossless = false;
    double drawSeconds = 0;   // thread time spent drawing
    double encodeSeconds = 0; // time in the encoder, finishing the file included
    double wallSeconds = 0;
};

// Refuses a frame size a WebP cannot hold (kMaxWebpSide a side).
Status CheckWebpFrameSize(QSize size);

// Milliseconds a frame of `hundredths` stays: exact, since a WebP has no
// floor of its own (a GIF's 0 and 1 hundredth frames are stretched to 10 by
// browsers; a WebP's are shown as written).
inline int WebpDuration(int hundredths) {
    return hundredths < 0 ? 0 : hundredths * 10;
}

// The animation as WebP bytes. A cancel (the sink returning false, or the
// source failing a frame) ends it with that status.
Status EncodeAnimatedWebpData(FrameSource& source, const WebpOptions& options,
                              ProgressSink* progress, QByteArray* data, WebpStats* stats = nullptr);

// The same, written to path through a temporary file renamed into place: a
// failure or a cancel leaves any previous file at path untouched.
Status EncodeAnimatedWebp(FrameSource& source, const QString& path, const WebpOptions& options,
                          ProgressSink* progress = nullptr, WebpStats* stats = nullptr);

// Whether the frame holds at most `limit` colours (a merged mask's
// transparency counting as one).
bool HasFewColors(const QImage& frame, int limit);
