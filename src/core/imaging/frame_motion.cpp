#include "core/imaging/frame_motion.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// A picture's flat stretches (sky, a wall) match at many shifts; past this
// many shifts that matched the probe but not the frame the search gives up.
constexpr int kMostCandidates = 16;
// Pixels of the probe: a run of the frame that every candidate shift is
// tested against before the whole frame is.
constexpr int kProbe = 32;
// Pixels of the part already in view that the diffusion runs over before
// (or after) the new pixels, so that the new pattern joins the old.
constexpr int kMargin = 8;

const QRgb* Row(const QImage& image, int y) {
    return reinterpret_cast<const QRgb*>(image.constScanLine(y));
}

bool SameAfterShift(const QImage& before, const QImage& now, int dx, int dy) {
    const int w = now.width(), h = now.height();
    const int x0 = std::max(0, -dx), x1 = std::min(w, w - dx);
    const int y0 = std::max(0, -dy), y1 = std::min(h, h - dy);
    const std::size_t bytes = std::size_t(x1 - x0) * sizeof(QRgb);
    for (int y = y0; y < y1; ++y)
        if (std::memcmp(Row(now, y) + x0, Row(before, y + dy) + x0 + dx, bytes) != 0)
            return false;
    return true;
}

// The row of now whose probe has the most changes from pixel to pixel among
// a few rows round the middle, so that flat rows do not match everywhere.
int ProbeRow(const QImage& now, int x0, int len, int top, int bottom) {
    int best = (top + bottom) / 2, bestChanges = -1;
    const int span = bottom - top;
    for (int k = 0; k < 8; ++k) {
        const int y = top + (span * (2 * k + 1)) / 16;
        const QRgb* p = Row(now, y) + x0;
        int changes = 0;
        for (int x = 1; x < len; ++x)
            changes += p[x] != p[x - 1];
        if (changes > bestChanges)
            best = y, bestChanges = changes;
        if (changes == len - 1)
            break;
    }
    return best;
}

} // namespace

std::optional<QPoint> FindPan(const QImage& before, const QImage& now) {
    if (before.size() != now.size() || now.depth() != 32 || before.depth() != 32)
        return std::nullopt;
    const int w = now.width(), h = now.height();
    const int reach = std::min({64, w / 4, h / 4});
    // The probe sits where every shift within reach still finds it inside
    // the frame before.
    const int len = std::min(kProbe, w - 2 * reach);
    if (reach < 1 || len < 8 || h - 2 * reach < 1)
        return std::nullopt;
    const int px = (w - len) / 2;
    const int py = ProbeRow(now, px, len, reach, h - reach);
    const QRgb* probe = Row(now, py) + px;
    int candidates = 0;
    // Ring by ring outwards: the nearest shift that holds is taken, so a
    // frame that did not move at all is found first and at once.
    for (int d = 0; d <= reach; ++d)
        for (int dy = -d; dy <= d; ++dy) {
            const bool edge = dy == -d || dy == d;
            const int step = edge ? 1 : std::max(1, 2 * d);
            for (int dx = -d; dx <= d; dx += step) {
                const QRgb* at = Row(before, py + dy) + px + dx;
                if (at[0] != probe[0] || std::memcmp(at, probe, std::size_t(len) * 4) != 0)
                    continue;
                if (SameAfterShift(before, now, dx, dy))
                    return QPoint(dx, dy);
                if (++candidates >= kMostCandidates)
                    return std::nullopt;
            }
        }
    return std::nullopt;
}

bool RemapPanned(const Remapper& remapper, bool dither, const QImage& now,
                 const std::uint8_t* previous, QPoint shift, std::uint8_t* out) {
    const int w = now.width(), h = now.height();
    const int dx = shift.x(), dy = shift.y();
    const QRect view = now.rect() & now.rect().translated(-dx, -dy);
    if (view.isEmpty()) // nothing of the frame before is in view
        return remapper.Remap(now, dither, out);
    for (int y = view.top(); y <= view.bottom(); ++y)
        std::memcpy(out + std::size_t(y) * w + view.left(),
                    previous + std::size_t(y + dy) * w + view.left() + dx,
                    std::size_t(view.width()));
    // The columns that came into view beside the rows in view, then the
    // rows that came into view, whole: the second diffuses from the first.
    if (dx != 0) {
        const QRect band = dx > 0 ? QRect(view.right() + 1, view.top(), w - view.right() - 1,
                                          view.height())
                                  : QRect(0, view.top(), view.left(), view.height());
        const QRect region = band.adjusted(dx > 0 ? -kMargin : 0, 0, dx < 0 ? kMargin : 0, 0);
        if (!remapper.RemapPart(now, dither, region, band, out))
            return false;
    }
    if (dy != 0) {
        const QRect band = dy > 0 ? QRect(0, view.bottom() + 1, w, h - view.bottom() - 1)
                                  : QRect(0, 0, w, view.top());
        const QRect region = band.adjusted(0, dy > 0 ? -kMargin : 0, 0, dy < 0 ? kMargin : 0);
        if (!remapper.RemapPart(now, dither, region, band, out))
            return false;
    }
    return true;
}
