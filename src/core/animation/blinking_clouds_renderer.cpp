#include "core/animation/blinking_clouds_renderer.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// The state of the 15-bit generator n draws after `state`: the draws of
// the radius tables, colour pairs and positions come one block after the
// other, and starting each block where it begins lets a save make one
// cloud at a time instead of holding every cloud's draws.
std::uint32_t Advance(std::uint32_t state, std::uint64_t n) {
    std::uint32_t multiplier = 214013u, increment = 2531011u;
    std::uint32_t accMultiplier = 1u, accIncrement = 0u;
    while (n > 0) {
        if (n & 1u) {
            accMultiplier *= multiplier;
            accIncrement = accIncrement * multiplier + increment;
        }
        increment = (multiplier + 1u) * increment;
        multiplier *= multiplier;
        n >>= 1;
    }
    return accMultiplier * state + accIncrement;
}

int ClampToInt(long long v) {
    return int(std::clamp<long long>(v, 0, std::numeric_limits<int>::max() / 4));
}

// The start picture holds only the background and the cloud colours, kept
// a byte a pixel: at the largest frames it is hundreds of megabytes less
// beside the canvas and the frames in flight. A picture of more colours
// (none is expected) is kept whole.
QImage Indexed(const QImage& picture) {
    QImage indexed(picture.size(), QImage::Format_Indexed8);
    if (indexed.isNull())
        return picture.copy();
    QList<QRgb> table;
    for (int y = 0; y < picture.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        uchar* out = indexed.scanLine(y);
        QRgb last = ~row[0];
        int index = 0;
        for (int x = 0; x < picture.width(); ++x) {
            if (row[x] != last) {
                last = row[x];
                index = int(table.indexOf(last));
                if (index < 0) {
                    if (table.size() == 256)
                        return picture.copy();
                    index = int(table.size());
                    table.append(last);
                }
            }
            out[x] = uchar(index);
        }
    }
    indexed.setColorTable(table);
    return indexed;
}

QString Tr(const char* text) {
    return QCoreApplication::translate("BlinkingCloudsRenderer", text);
}

} // namespace

// Red, blue, green, yellow and cyan.
BlinkingCloudsRenderer::BlinkingCloudsRenderer()
    : AnimationRenderer(200, 200), m_colors{0x0000FF, 0xFF0000, 0x00FF00, 0x00FFFF, 0xFFFF00} {}

std::unique_ptr<AnimationRenderer> BlinkingCloudsRenderer::Clone() const {
    return std::make_unique<BlinkingCloudsRenderer>(*this);
}

void BlinkingCloudsRenderer::SetCloudColor(int index, COLORREF color) {
    if (index >= 0 && index < 5)
        m_colors[std::size_t(index)] = color;
}
void BlinkingCloudsRenderer::SetNumberOfColors(int n) {
    m_nColors = std::clamp(n, 1, 5);
}
void BlinkingCloudsRenderer::SetCloudSize(int size) {
    m_nSize = std::max(size, 0);
}
void BlinkingCloudsRenderer::SetCloudBumps(int bumps) {
    m_nBumps = std::max(bumps, 0);
}
void BlinkingCloudsRenderer::SetCloudSqueeze(int squeeze) {
    m_nSqueeze = std::max(squeeze, 0);
}
void BlinkingCloudsRenderer::SetCloudsPerSecond(int clouds) {
    m_nCloudsPerSecond = std::max(clouds, 1);
}
void BlinkingCloudsRenderer::SetColorShift(int shift) {
    m_nShift = std::max(shift, 0);
}
void BlinkingCloudsRenderer::SetAnimationLength(int seconds) {
    m_nLength = std::max(seconds, 1);
}

COLORREF BlinkingCloudsRenderer::LevelColor(COLORREF start, COLORREF target, int level, int shift) {
    if (level <= 0)
        return start;
    if (level >= shift)
        return target;
    return CloudPainter::StepColor(start, target, shift, level + 1);
}

void BlinkingCloudsRenderer::PrepareSave() {
    m_crBackground = m_colors[0];
    const int W = GetFrameWidth(), H = GetFrameHeight();

    // The spans that place clouds and decide their wrap-around copies come
    // from the values as typed, before the corrections below.
    const long long spanX = (long long)m_nSqueeze + m_nBumps + m_nSize;
    const long long spanY = (long long)m_nBumps + m_nSize;
    m_nSpanX = ClampToInt(spanX);
    m_nSpanY = ClampToInt(spanY);
    if (m_nBumps + (long long)m_nSize == 0)
        m_nSize = 1;

    // Ten clouds for every cell of a cloud's width.
    const long long cell = (long long)m_nSqueeze + m_nBumps + m_nSize;
    const long long columns = std::max<long long>(W / cell + 1, 1);
    const long long rows = std::max<long long>(H / cell + 1, 1);
    long long count = columns * rows * 10;

    m_bMeasuresCapped =
        m_nSize > kMaxCloudMeasure || m_nBumps > kMaxCloudMeasure || m_nSqueeze > kMaxCloudMeasure;
    m_nSize = std::min(m_nSize, kMaxCloudMeasure);
    m_nBumps = std::min(m_nBumps, kMaxCloudMeasure);
    m_nSqueeze = std::min(m_nSqueeze, kMaxCloudMeasure);

    // The wave runs through the last `half` clouds; there are always a few
    // more than that.
    long long half = (long long)m_nCloudsPerSecond * m_nLength / 2;
    m_nWantedChanging = half;
    half = std::min<long long>(half, kMaxChangingClouds);
    if (count < half + 20)
        count = half + 20;
    m_nCount = count;
    m_nFirst = count - half - 1;

    m_nSeed = ChooseSeed();
    m_dSpokeStep = CloudPainter::SpokeStep(m_nSize, m_nBumps);

    // Once every cloud has had its turn the animation ends, whatever its
    // length said; the shorter length is kept.
    long long frames = 10LL * m_nLength;
    m_nShortenedLength = 0;
    if (frames > 2 * count) {
        frames = 2 * count;
        m_nLength = int(std::min<long long>((2 * count) / 10, std::numeric_limits<int>::max()));
        m_nShortenedLength = m_nLength;
    }
    m_bFramesCut = frames > kMaxFrames;
    m_nFrames = int(std::min<long long>(frames, kMaxFrames));
    m_dRate = m_nCloudsPerSecond * 0.1;

    // The work: every cloud painted once at the start, then each changing
    // cloud up to one repaint per level it climbs and falls, but no more
    // than once a frame. A cloud paints at most the frame, and its spokes
    // and outline besides. Clouds sure to cover the whole frame (all of
    // them) make a frame a plain fill instead, but clouds are placed off
    // centre, so the estimate cannot count on that.
    {
        const double area = double(W) * double(H);
        const double reach = double(m_nSize) + m_nBumps + m_nSqueeze + 2.0;
        const double spokes = 360.0 / std::max(m_dSpokeStep, 0.01) + 1.0;
        const double perCloud = std::min(3.15 * reach * reach, area) + 4.0 * spokes;
        const double levels = 2.0 * std::min<double>(std::max(m_nShift, 1), double(frames));
        const double repaints = double(m_nCount - m_nFirst) * levels;
        m_dWork = (double(m_nCount) + repaints) * perCloud;
    }

    m_nNextFrame = -1;
    m_changing.clear();
    m_canvas = QImage();
    m_start = QImage();
}

Status BlinkingCloudsRenderer::CheckPreparedSave() const {
    if (m_dWork > kMaxWork)
        return Status::WrongValue(
            Tr("These settings would draw about %1 billion cloud pixels, more than a save can "
               "do; lower Clouds Per Second, Cloud Color shift or Animation Length, or the "
               "cloud measures or the frame size.")
                .arg(std::max(1.0, std::round(m_dWork / 1e9)), 0, 'f', 0));
    return AnimationRenderer::CheckPreparedSave();
}

bool BlinkingCloudsRenderer::CoversFrame(const Cloud& cloud) const {
    CloudRadii radii;
    for (int k = 0; k < 16; ++k)
        radii[std::size_t(k)] = cloud.radii[std::size_t(k)];
    radii[16] = radii[0];
    return CloudPainter::Covers(m_dSpokeStep, 0, cloud.x + m_nSpanY, cloud.y + m_nSpanY, radii,
                                m_canvas.width(), m_canvas.height());
}

void BlinkingCloudsRenderer::Restart() {
    m_nNextFrame = -1;
}

void BlinkingCloudsRenderer::PaintCloud(const Cloud& cloud, COLORREF color) const {
    CloudRadii radii;
    for (int k = 0; k < 16; ++k)
        radii[std::size_t(k)] = cloud.radii[std::size_t(k)];
    radii[16] = radii[0];
    CloudPainter painter(&m_canvas, m_dSpokeStep, 0, m_crBackground);
    painter.PaintWrapped(cloud.x + m_nSpanY, cloud.y + m_nSpanY, m_nSpanX, m_nSpanY, radii, color);
}

bool BlinkingCloudsRenderer::DrawStart() const {
    if (!m_start.isNull()) {
        // A second run through the frames starts from the same picture.
        m_canvas = m_start.convertToFormat(QImage::Format_RGB32);
        for (Cloud& c : m_changing)
            c.level = 0;
        return !m_canvas.isNull();
    }
    const int W = GetFrameWidth(), H = GetFrameHeight();
    m_canvas = QImage(W, H, QImage::Format_RGB32);
    if (m_canvas.isNull())
        return false;
    m_canvas.fill(qRgb(RedOf(m_crBackground), GreenOf(m_crBackground), BlueOf(m_crBackground)));

    // The draws: every radius table, then every colour pair, then every
    // position, each block read by its own generator.
    const int N = m_nColors;
    const std::uint64_t count = std::uint64_t(m_nCount);
    const std::uint64_t colorDraws = N > 2 ? 2 : 1;
    Random15 shapes(m_nSeed);
    Random15 colors(Advance(m_nSeed, count * CloudPainter::kDrawsPerCloud));
    Random15 places(Advance(m_nSeed, count * (CloudPainter::kDrawsPerCloud + colorDraws)));

    m_changing.clear();
    m_changing.reserve(std::size_t(m_nCount - m_nFirst));
    CloudPainter painter(&m_canvas, m_dSpokeStep, 0, m_crBackground);

    // A cloud that covers the whole frame hides every cloud before it: a
    // first run through the shapes and places finds the last such cloud,
    // and painting starts there.
    long long firstPainted = 0;
    {
        Random15 shapesAhead = shapes;
        Random15 placesAhead = places;
        for (long long i = 0; i < m_nCount - 1; ++i) {
            if ((i & 16383) == 16383 && CancelRequested())
                return false;
            const CloudRadii radii =
                CloudPainter::MakeRadii(shapesAhead, m_nSize, m_nBumps, m_nSqueeze);
            const int x = placesAhead.Scaled(W);
            const int y = placesAhead.Scaled(H);
            if (painter.Covers(x + m_nSpanY, y + m_nSpanY, radii, W, H))
                firstPainted = i;
        }
    }

    for (long long i = 0; i < m_nCount; ++i) {
        if ((i & 1023) == 1023 && CancelRequested())
            return false;
        const CloudRadii radii = CloudPainter::MakeRadii(shapes, m_nSize, m_nBumps, m_nSqueeze);
        const int s = std::min(colors.Scaled(N), N - 1);
        int t = 0;
        if (N == 2) {
            t = 1 - s;
        } else if (N > 2) {
            t = std::min(colors.Scaled(N - 1), N - 2);
            if (t >= s)
                ++t;
        }
        const int x = places.Scaled(W);
        const int y = places.Scaled(H);
        // The last cloud appears only when the wave reaches it.
        if (i < m_nCount - 1 && i >= firstPainted)
            painter.PaintWrapped(x + m_nSpanY, y + m_nSpanY, m_nSpanX, m_nSpanY, radii,
                                 m_colors[std::size_t(s)]);
        if (i >= m_nFirst) {
            Cloud c;
            for (int k = 0; k < 16; ++k)
                c.radii[std::size_t(k)] = std::int16_t(radii[std::size_t(k)]);
            c.x = x;
            c.y = y;
            c.level = 0;
            c.start = std::uint8_t(s);
            c.target = std::uint8_t(t);
            m_changing.push_back(c);
        }
    }
    m_start = Indexed(m_canvas);
    return true;
}

void BlinkingCloudsRenderer::DrawStep(long long u) const {
    const long long last = m_nCount - 1;
    auto cloud = [this](long long index) -> Cloud& {
        return m_changing[std::size_t(index - m_nFirst)];
    };
    // The repaints are gathered first: one that covers the whole frame
    // hides all before it, so painting starts at the last such one.
    m_repaints.clear();
    auto paint = [&](const Cloud& c) {
        m_repaints.emplace_back(
            (long long)(&c - m_changing.data()) + m_nFirst,
            LevelColor(m_colors[c.start], m_colors[c.target], c.level, m_nShift));
    };
    int polled = 0;
    // The wave front and, behind it, every cloud still on its way to its
    // target, newest first.
    long long p = std::min(m_nFirst + (long long)(double(u) * m_dRate), last);
    while (p >= m_nFirst && cloud(p).level < m_nShift) {
        Cloud& c = cloud(p);
        ++c.level;
        paint(c);
        --p;
        if (++polled == 1024) {
            polled = 0;
            if (CancelRequested())
                return;
        }
    }
    // From the middle on, the second wave turns them back.
    const long long v = u - m_nFrames / 2;
    const long long n = (long long)(double(v) * m_dRate);
    long long m = n < 0 ? m_nFirst - 1 : std::min(m_nFirst + n, last);
    while (m >= m_nFirst && cloud(m).level > 0) {
        Cloud& c = cloud(m);
        --c.level;
        paint(c);
        --m;
        if (++polled == 1024) {
            polled = 0;
            if (CancelRequested())
                return;
        }
    }
    std::size_t from = m_repaints.size();
    while (from > 0 && !CoversFrame(cloud(m_repaints[from - 1].first)))
        --from;
    if (from > 0)
        --from;
    if (m_repaints.size() - from <= 64) {
        for (std::size_t i = from; i < m_repaints.size(); ++i)
            PaintCloud(cloud(m_repaints[i].first), m_repaints[i].second);
        return;
    }
    // Many repaints: last to first, each pixel taking the colour of the
    // last cloud over it, until every pixel has its colour.
    const int W = m_canvas.width(), H = m_canvas.height();
    m_mask.assign(std::size_t(W) * std::size_t(H), 0);
    long long remaining = (long long)W * H;
    CloudPainter painter(&m_canvas, m_dSpokeStep, 0, m_crBackground);
    painter.SetMask(m_mask.data(), &remaining);
    for (std::size_t i = m_repaints.size(); i > from && remaining > 0; --i) {
        if ((i & 1023) == 1023 && CancelRequested())
            return;
        const Cloud& c = cloud(m_repaints[i - 1].first);
        CloudRadii radii;
        for (int k = 0; k < 16; ++k)
            radii[std::size_t(k)] = c.radii[std::size_t(k)];
        radii[16] = radii[0];
        painter.PaintWrapped(c.x + m_nSpanY, c.y + m_nSpanY, m_nSpanX, m_nSpanY, radii,
                             m_repaints[i - 1].second);
    }
}

const BlinkingCloudsRenderer::Cloud* BlinkingCloudsRenderer::ChangingCloud(long long index) const {
    if (index < m_nFirst || index - m_nFirst >= (long long)m_changing.size())
        return nullptr;
    return &m_changing[std::size_t(index - m_nFirst)];
}

void BlinkingCloudsRenderer::DrawFrame(int index, QImage* frame) const {
    if (m_nNextFrame < 0 || index < m_nNextFrame) {
        m_nNextFrame = -1;
        if (!DrawStart()) {
            // Cancelled, or no memory for the picture: the frame no longer
            // matters, but it is not left undefined.
            frame->fill(Qt::black);
            return;
        }
        m_nNextFrame = 0;
    }
    while (m_nNextFrame <= index) {
        if (CancelRequested())
            return;
        DrawStep(m_nNextFrame);
        ++m_nNextFrame;
    }
    if (frame->size() != m_canvas.size())
        return;
    const qsizetype bytes = qsizetype(m_canvas.width()) * 4;
    for (int y = 0; y < m_canvas.height(); ++y)
        std::memcpy(frame->scanLine(y), m_canvas.constScanLine(y), std::size_t(bytes));
}

QStringList BlinkingCloudsRenderer::SaveNotes() const {
    QStringList notes;
    if (m_bMeasuresCapped)
        notes << Tr("Cloud size, bumps and squeeze above %1 were lowered to %1.")
                     .arg(kMaxCloudMeasure);
    if (m_nWantedChanging > kMaxChangingClouds)
        notes << Tr("Only %1 clouds change colour, the most a save animates.")
                     .arg(kMaxChangingClouds);
    if (m_nShortenedLength > 0)
        notes << Tr("The animation length was shortened to %1 seconds, two frames for each "
                    "of its %2 clouds.")
                     .arg(m_nShortenedLength)
                     .arg(m_nCount);
    if (m_bFramesCut)
        notes << Tr("The animation was cut to %1 frames, the most a save writes.").arg(kMaxFrames);
    return notes;
}

GifFileOptions BlinkingCloudsRenderer::FileOptions() const {
    // Blinking Clouds' GIFs carry no comment; the record still rides along.
    GifFileOptions options = AnimationRenderer::FileOptions();
    options.comment.clear();
    options.loops = 0;
    return options;
}

std::vector<RendererParameter> BlinkingCloudsParameters() {
    using R = BlinkingCloudsRenderer;
    constexpr int kMax = std::numeric_limits<int>::max();
    std::vector<RendererParameter> p = CommonParameters();
    p.push_back(IntegerParameter<R>(
        QStringLiteral("colors"),
        QStringLiteral("cloud colours in use (1 to 5; the window offers 2 to 5)"), 1, 5,
        &R::SetNumberOfColors, &R::GetNumberOfColors));
    AppendIndexedColors<R>(&p, 5, QStringLiteral("cloud colour %1"), &R::SetCloudColor,
                           &R::GetCloudColor,
                           QStringLiteral("cloud colour 1, also the background"));
    AppendCloudOutline<R>(&p);
    p.push_back(IntegerParameter<R>(
        QStringLiteral("cloud-squeeze"),
        QStringLiteral("sideways stretch of every cloud (at least 0; above 1000 saved as 1000)"), 0,
        kMax, &R::SetCloudSqueeze, &R::GetCloudSqueeze));
    p.push_back(IntegerParameter<R>(
        QStringLiteral("clouds-per-second"),
        QStringLiteral("clouds the colour wave reaches each second (at least 1)"), 1, kMax,
        &R::SetCloudsPerSecond, &R::GetCloudsPerSecond));
    p.push_back(IntegerParameter<R>(
        QStringLiteral("color-shift"),
        QStringLiteral("frames a cloud takes from its start to its target colour (at least 0)"), 0,
        kMax, &R::SetColorShift, &R::GetColorShift));
    p.push_back(IntegerParameter<R>(
        QStringLiteral("length"),
        QStringLiteral("animation length in seconds, 10 frames each (at least 1)"), 1, kMax,
        &R::SetAnimationLength, &R::GetAnimationLength));
    return p;
}
