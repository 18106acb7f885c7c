#include "core/animation/rubber_clouds_renderer.h"

#include "core/animation/wide_ring_painter.h"
#include "core/base/random15.h"
#include "core/imaging/frame_image.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

// The constants the rings are defined with.
constexpr double kReciprocal32767 = 3.051850947599719e-05;
constexpr double kHalfSqrt2 = 0.70710677;
constexpr double kRadiansPerDegree = 0.01745329238474369;

QRgb ToRgb(COLORREF c) {
    return qRgb(RedOf(c), GreenOf(c), BlueOf(c));
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) {
    return -FloorDiv(-a, b);
}

std::int64_t Trunc(double v) {
    return std::int64_t(v);
}

} // namespace

RubberCloudsRenderer::RubberCloudsRenderer() : AnimationRenderer(200, 200) {}

std::unique_ptr<AnimationRenderer> RubberCloudsRenderer::Clone() const {
    return std::make_unique<RubberCloudsRenderer>(*this);
}

void RubberCloudsRenderer::SetCloudColor(int index, COLORREF c) {
    if (index >= 0 && index < 5)
        m_crClouds[std::size_t(index)] = c;
}
void RubberCloudsRenderer::SetNumberOfColors(int n) {
    m_nColors = std::clamp(n, 1, 5);
}
void RubberCloudsRenderer::SetBumps(int bumps) {
    m_nBumps = std::clamp(bumps, 0, kMaxBumps);
}
void RubberCloudsRenderer::SetSqueeze(int squeeze) {
    m_nSqueeze = std::max(squeeze, 0);
}
void RubberCloudsRenderer::SetSpeed(int speed) {
    m_nSpeed = std::max(speed, 1);
}
void RubberCloudsRenderer::SetBorderWidth(int width) {
    m_nBorderWidth = std::max(width, 1);
}
void RubberCloudsRenderer::SetBorderDistance(int distance) {
    m_nBorderDistance = std::max(distance, 0);
}
void RubberCloudsRenderer::SetLayersDensity(int density) {
    m_nLayerValue = 11 - std::clamp(density, 1, 10);
}

std::vector<RubberCloudsRenderer::Band> RubberCloudsRenderer::LayerGroup() const {
    const std::int64_t w = m_nBorderWidth, s = m_nBorderDistance;
    const COLORREF bg = m_crBackground;
    std::vector<Band> bands;
    auto solid = [&](COLORREF c) { bands.push_back({w, c, c, false}); };
    auto fade = [&](COLORREF from, COLORREF to) {
        if (s > 0)
            bands.push_back({s, from, to, true});
    };
    const int n = m_nColors;
    auto color = [&](int k) { return m_crClouds[std::size_t(k % n)]; };
    if (n == 1) {
        solid(color(0));
        fade(color(0), bg);
        solid(bg);
        fade(bg, color(0));
    } else if (m_bBackgroundBorders) {
        for (int k = 0; k < n; ++k) {
            solid(color(k));
            fade(color(k), bg);
            solid(bg);
            fade(bg, color(k + 1));
        }
    } else {
        for (int k = 0; k < n; ++k) {
            solid(color(k));
            if (k < n - 1)
                fade(color(k), color(k + 1));
        }
        fade(color(n - 1), bg);
        solid(bg);
        fade(bg, color(0));
    }
    return bands;
}

COLORREF RubberCloudsRenderer::FadeColor(COLORREF from, COLORREF to, std::int64_t steps,
                                         std::int64_t i) {
    auto channel = [&](int k, int l) { return int((k + (i + 1) * ((l - k) / steps)) & 0xFF); };
    return MakeColorRef(channel(RedOf(from), RedOf(to)), channel(GreenOf(from), GreenOf(to)),
                        channel(BlueOf(from), BlueOf(to)));
}

void RubberCloudsRenderer::PrepareSave() {
    const std::int64_t c = std::int64_t(m_nBorderWidth) + m_nBorderDistance;
    const std::int64_t n = m_nColors;
    std::int64_t d = n == 1 ? 2 * c + 10 : m_bBackgroundBorders ? 2 * n * c + 10 : (n + 1) * c + 10;
    while (d - 10 < 20)
        d = 2 * d - 10;
    m_nPeriod = d;

    Random15 random(ChooseSeed());
    auto table = std::make_shared<std::vector<int>>(std::size_t(kTableRows * kRowLength));
    for (int& entry : *table)
        entry = int(double(random.Next() * 10000) * kReciprocal32767);
    m_pTable = std::move(table);

    std::int64_t g = std::max(m_nSpeed / 10, 1);
    if (g > d / 3)
        g = d / 3;
    m_nStep = int(g);
    m_nDelay = 100 / (m_nSpeed / m_nStep);
    const std::int64_t frames = (d - 10) / g;
    m_bCut = frames > kMaxFrames;
    m_nFrames = int(std::clamp<std::int64_t>(frames, 1, kMaxFrames));

    const int m = std::max(GetFrameWidth(), GetFrameHeight());
    const int t = m < 300 ? m / (m_nLayerValue * 12) + 1 : m / (m_nLayerValue * 20) + 1;
    m_nZones = std::min(t, 100);
}

QStringList RubberCloudsRenderer::SaveNotes() const {
    QStringList notes;
    if (m_bCut)
        notes << QStringLiteral("The animation was cut to %1 frames, the most a save writes.")
                     .arg(kMaxFrames);
    if (m_nDelay < 2)
        notes << QStringLiteral("The frames are %1 hundredths of a second long; most browsers "
                                "show frames that short at about a tenth of a second.")
                     .arg(m_nDelay);
    return notes;
}

int RubberCloudsRenderer::TableValue(std::int64_t row, int column) const {
    const std::int64_t r = ((row % kTableRows) + kTableRows) % kTableRows;
    return (*m_pTable)[std::size_t(r * kRowLength + column)];
}

RubberCloudsRenderer::Profile RubberCloudsRenderer::BumpProfile(std::int64_t zoneLength,
                                                                std::int64_t v, int j) const {
    const std::int64_t A = zoneLength;
    const std::int64_t k = v / A, f = v % A;
    const std::int64_t F = m_nFrames, q = F / 4, h = F / 2;
    // The six rows the profile reads, wrapped into the table.
    auto row = [&](std::int64_t r) {
        return m_pTable->data() + ((r % kTableRows) + kTableRows) % kTableRows * kRowLength;
    };
    const int* const rows[6] = {row(k),       row(k + 1),  row(k + 100),
                                row(k + 101), row(k + 60), row(k + 61)};
    Profile profile{};
    for (int e = 0; e < kRowLength; ++e) {
        auto zone = [&](int pair) {
            const std::int64_t a = rows[2 * pair][e], b = rows[2 * pair + 1][e];
            return a + (b - a) * f / A;
        };
        const std::int64_t X = zone(0);
        if (m_bConstantBumps) {
            profile[std::size_t(e)] = X;
            continue;
        }
        const std::int64_t Y = zone(1), Z = zone(2);
        std::int64_t value;
        if (j <= q) {
            value = X + (Y - X) * j / F;
        } else if (j <= h) {
            const std::int64_t P = X + (Y - X) * j / F;
            value = P + (Z - P) * (j - q) * 2 / F;
        } else if (j <= h + q) {
            const std::int64_t P = X + (Y - X) * (F - j) / F;
            value = P + (Z - P) * (F - q - j) * 2 / F;
        } else {
            value = X + (Y - X) * (F - j) / F;
        }
        profile[std::size_t(e)] = value;
    }
    return profile;
}

std::array<RubberCloudsRenderer::Point64, 25>
RubberCloudsRenderer::RingPoints(std::int64_t R, const Profile& P) const {
    const std::int64_t cx = GetFrameWidth() / 2, cy = GetFrameHeight() / 2;
    const std::int64_t bumps = m_nBumps;
    // Clockwise on the screen from the top; the diagonal anchors are
    // truncated, the others lie on the axes exactly.
    static constexpr int kSx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
    static constexpr int kSy[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
    std::array<Point64, 8> anchors{};
    for (int k = 0; k < 8; ++k) {
        const std::int64_t r = R + bumps * P[std::size_t(k)] / 10000;
        if (k % 2 == 0) {
            anchors[std::size_t(k)] = {cx + kSx[k] * r, cy + kSy[k] * r};
        } else {
            const double m = double(r) * kHalfSqrt2;
            anchors[std::size_t(k)] = {Trunc(double(cx) + kSx[k] * m),
                                       Trunc(double(cy) + kSy[k] * m)};
        }
    }
    std::array<Point64, 8> controls;
    for (int l = 0; l < 8; ++l) {
        const std::int64_t q = R + bumps * P[std::size_t(8 + l)] / 10000;
        const bool steep = l == 0 || l == 3 || l == 4 || l == 7;
        const std::int64_t degrees = P[std::size_t(16 + l)] * 35 / 10000 + (steep ? 50 : 5);
        const double a = double(degrees) * kRadiansPerDegree;
        const double qc = double(q) * std::cos(a), qs = double(q) * std::sin(a);
        const double x = l < 4 ? double(cx) + qc : double(cx) - qc;
        const double y = (l < 2 || l > 5) ? double(cy) - qs : double(cy) + qs;
        controls[std::size_t(l)] = {Trunc(x), Trunc(y)};
    }
    std::array<Point64, 25> points;
    for (int k = 0; k < 8; ++k) {
        const Point64& next = anchors[std::size_t((k + 1) % 8)];
        const Point64& nextControl = controls[std::size_t((k + 1) % 8)];
        points[std::size_t(3 * k)] = anchors[std::size_t(k)];
        points[std::size_t(3 * k + 1)] = controls[std::size_t(k)];
        points[std::size_t(3 * k + 2)] = {2 * next.x - nextControl.x, 2 * next.y - nextControl.y};
    }
    points[24] = anchors[0];
    // Squeeze: stretch every point away from the vertical through the centre.
    if (m_nSqueeze > 0) {
        std::int64_t minX = points[0].x, maxX = points[0].x;
        for (const Point64& p : points) {
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
        }
        const std::int64_t width = std::max<std::int64_t>(maxX - minX, 10);
        for (Point64& p : points)
            p.x += (p.x - cx) * m_nSqueeze / width;
    }
    return points;
}

void RubberCloudsRenderer::DrawFrame(int j, QImage* frame) const {
    if (frame->format() != QImage::Format_Indexed8) {
        Paint(j, frame, nullptr);
        return;
    }
    std::vector<QRgb> colors;
    if (Paint(j, frame, &colors)) {
        frame->setColorTable(QList<QRgb>(colors.begin(), colors.end()));
        return;
    }
    // Long fades can pass 256 colours in one frame.
    *frame = NewFrameImage(frame->size());
    if (!frame->isNull())
        Paint(j, frame, nullptr);
}

bool RubberCloudsRenderer::Paint(int j, QImage* frame, std::vector<QRgb>* colors) const {
    // Into an 8-bit frame the painter puts each colour's index in *colors.
    QRgb lastColor = 0, lastIndex = 0;
    const auto pixel = [&](QRgb color) -> std::optional<QRgb> {
        if (!colors)
            return color;
        if (!colors->empty() && color == lastColor)
            return lastIndex;
        const auto index =
            std::size_t(std::find(colors->begin(), colors->end(), color) - colors->begin());
        if (index == colors->size()) {
            if (index == 256)
                return std::nullopt;
            colors->push_back(color);
        }
        lastColor = color;
        lastIndex = QRgb(index);
        return lastIndex;
    };
    const QRgb black = *pixel(qRgb(0, 0, 0));
    if (!m_pTable || m_nFrames <= 0) {
        frame->fill(black);
        return true;
    }
    const int W = frame->width(), H = frame->height();
    const std::int64_t M = std::max(W, H);
    const std::int64_t D = m_nPeriod, b = m_nBumps;
    const std::int64_t u = std::int64_t(j) * m_nStep;
    const std::int64_t v0 = m_bOutward ? u - D - b : -(u + D + b);
    const std::int64_t A = std::max<std::int64_t>((M - v0 + D) / m_nZones, 1);
    const std::vector<Band> bands = LayerGroup();
    std::vector<std::int64_t> offsets;
    std::int64_t G = 0;
    for (const Band& band : bands) {
        offsets.push_back(G);
        G += band.count;
    }
    const std::int64_t end = M + D;
    if (v0 >= end || G <= 0) {
        frame->fill(black);
        return true;
    }
    const std::int64_t groups = CeilDiv(end - v0, G);

    // Which rings can reach the frame at all. The outline of a ring of
    // radius R is made of segments whose control points all lie on one side
    // of a line at 0.6 |R| from the centre, give or take the bumps: up to
    // 6 x bumps in general, where the profile may run beyond its table
    // values (negative counters), and for counters from 0 on, with every
    // radius between R and R + bumps, at least min(0.6 R, 0.85 R - bumps).
    // The pen reaches 25 pixels further, the truncations a few more.
    const int cx = W / 2, cy = H / 2;
    const double far = std::hypot(double(std::max(cx, W - cx)), double(std::max(cy, H - cy))) + 1;
    const auto reach = std::int64_t(std::ceil((far + 6.0 * double(b) + 32) / 0.6));
    const auto reachAhead =
        std::int64_t(std::ceil(std::max((far + 32) / 0.6, (far + 32 + double(b)) / 0.84)));
    // Group g's rings have radii from its start to less than its start + 2G.
    const std::int64_t gHi = std::min(groups - 1, FloorDiv(reach - v0, G));
    const std::int64_t gLo = std::max<std::int64_t>(0, FloorDiv(-reach - v0 - 2 * G, G));

    // The rings are painted from the centre outward, each over the ones
    // before; painting them in reverse, each into what is still free, gives
    // the same frame and may stop once the frame is covered. The black
    // beneath them goes in last, into what no ring took, instead of first
    // under every pixel.
    WideRingPainter painter(frame, kPenWidth);
    bool fits = true;
    const auto paintRings = [&] {
        unsigned rings = 0;
        for (std::int64_t g = gHi; g >= gLo; --g) {
            const std::int64_t groupStart = v0 + g * G;
            for (std::size_t k = bands.size(); k-- > 0;) {
                const Band& band = bands[k];
                const std::int64_t start = groupStart + offsets[k];
                // Ring i has counter start + i and radius start + 2i.
                const std::int64_t iLo = std::max<std::int64_t>(0, CeilDiv(-reach - start, 2));
                // Counters from -start on are not negative.
                const std::int64_t iHi =
                    std::min<std::int64_t>({band.count - 1, FloorDiv(reach - start, 2),
                                            std::max(-start - 1, FloorDiv(reachAhead - start, 2))});
                for (std::int64_t i = iHi; i >= iLo; --i) {
                    const Profile profile = BumpProfile(A, start + i, j);
                    const std::array<Point64, 25> ring = RingPoints(start + 2 * i, profile);
                    std::array<WideRingPainter::Point, 25> points;
                    for (std::size_t p = 0; p < ring.size(); ++p)
                        points[p] = {double(ring[p].x), double(ring[p].y)};
                    const COLORREF color =
                        band.fade ? FadeColor(band.from, band.to, band.count, i) : band.from;
                    const std::optional<QRgb> value = pixel(ToRgb(color));
                    if (!value) {
                        fits = false;
                        return;
                    }
                    painter.StrokeBeziers(points.data(), int(points.size()), *value);
                    if (painter.Full())
                        return;
                    if ((++rings & 255u) == 0 && CancelRequested())
                        return;
                }
            }
        }
    };
    paintRings();
    painter.FillFree(black);
    return fits;
}

std::vector<RendererParameter> RubberCloudsParameters() {
    using R = RubberCloudsRenderer;
    constexpr int kMax = std::numeric_limits<int>::max();
    std::vector<RendererParameter> p = CommonParameters();
    p.push_back(IntegerParameter<R>(QStringLiteral("colors"),
                                    QStringLiteral("cloud colours in use (1 to 5)"), 1, 5,
                                    &R::SetNumberOfColors, &R::GetNumberOfColors));
    p.push_back(ColorParameter<R>(QStringLiteral("background-color"),
                                  QStringLiteral("colour of the background bands"),
                                  &R::SetBackgroundColor, &R::GetBackgroundColor));
    AppendIndexedColors<R>(&p, 5, QStringLiteral("cloud colour %1"), &R::SetCloudColor,
                           &R::GetCloudColor);
    p.push_back(IntegerParameter<R>(
        QStringLiteral("bumps"),
        QStringLiteral("largest extra radius of a ring's bumps in pixels (0 to 100000)"), 0,
        R::kMaxBumps, &R::SetBumps, &R::GetBumps));
    p.push_back(IntegerParameter<R>(
        QStringLiteral("squeeze"),
        QStringLiteral("horizontal stretch of every ring in pixels (at least 0)"), 0, kMax,
        &R::SetSqueeze, &R::GetSqueeze));
    p.push_back(
        IntegerParameter<R>(QStringLiteral("speed"),
                            QStringLiteral("animation speed, about pixels per second (at least 1)"),
                            1, kMax, &R::SetSpeed, &R::GetSpeed));
    p.push_back(IntegerParameter<R>(QStringLiteral("border-width"),
                                    QStringLiteral("rings in each solid band (at least 1)"), 1,
                                    kMax, &R::SetBorderWidth, &R::GetBorderWidth));
    p.push_back(IntegerParameter<R>(QStringLiteral("border-distance"),
                                    QStringLiteral("rings in each fade between bands (at least 0)"),
                                    0, kMax, &R::SetBorderDistance, &R::GetBorderDistance));
    p.push_back(
        BooleanParameter<R>(QStringLiteral("background-borders"),
                            QStringLiteral("a background band between every two colour bands"),
                            &R::SetBackgroundBorders, &R::GetBackgroundBorders));
    p.push_back(
        BooleanParameter<R>(QStringLiteral("constant-bumps"),
                            QStringLiteral("keep the rings' outlines the same in every frame"),
                            &R::SetConstantBumps, &R::GetConstantBumps));
    p.push_back(BooleanParameter<R>(QStringLiteral("outward"),
                                    QStringLiteral("move the rings outward (1) or inward (0)"),
                                    &R::SetOutward, &R::GetOutward));
    p.push_back(IntegerParameter<R>(QStringLiteral("layers-density"),
                                    QStringLiteral("bump zones: 1 (few, long) to 10 (many, short)"),
                                    1, 10, &R::SetLayersDensity, &R::GetLayersDensity));
    // Dithering goes last, after the type's own values.
    MoveParameterToEnd(&p, QStringLiteral("dither"));
    return p;
}
