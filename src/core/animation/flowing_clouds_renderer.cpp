#include "core/animation/flowing_clouds_renderer.h"

#include <QCoreApplication>
#include <algorithm>
#include <limits>

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("FlowingCloudsRenderer", text);
}

int ClampToInt(long long v) {
    return int(
        std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

void Skip(Random15& random, int draws) {
    for (int i = 0; i < draws; ++i)
        random.Next();
}

} // namespace

FlowingCloudsRenderer::FlowingCloudsRenderer() : AnimationRenderer(200, 200) {}

std::unique_ptr<AnimationRenderer> FlowingCloudsRenderer::Clone() const {
    return std::make_unique<FlowingCloudsRenderer>(*this);
}

void FlowingCloudsRenderer::SetNumberOfColors(int n) {
    m_nColors = std::clamp(n, 1, 5);
}
void FlowingCloudsRenderer::SetCloudColor(int index, COLORREF color) {
    if (index >= 0 && index < 5)
        m_colors[std::size_t(index)] = color;
}
void FlowingCloudsRenderer::SetCloudSize(int size) {
    m_nSize = std::max(size, 0);
}
void FlowingCloudsRenderer::SetCloudBumps(int bumps) {
    m_nBumps = std::max(bumps, 0);
}
void FlowingCloudsRenderer::SetCloudGradient(int gradient) {
    m_nGradient = std::max(gradient, 0);
}
void FlowingCloudsRenderer::SetCloudSqueeze(int squeeze) {
    m_nSqueeze = std::max(squeeze, 0);
}
void FlowingCloudsRenderer::SetCloudDistance(int distance) {
    m_nDistance = std::max(distance, 0);
}
void FlowingCloudsRenderer::SetSpeed(int speed) {
    m_nSpeed = std::max(speed, 1);
}
void FlowingCloudsRenderer::SetAngle(int degrees) {
    m_nAngle = std::max(degrees, 0);
}

int FlowingCloudsRenderer::CloudColorNumber(int n, int c, int r) {
    const bool cOdd = c % 2 != 0, rOdd = r % 2 != 0;
    if (cOdd == rOdd) {
        // The checkerboard drawn first.
        static constexpr int kEven[6] = {0, 1, 2, 1, 3, 4};
        static constexpr int kOdd[6] = {0, 1, 2, 3, 4, 5};
        return cOdd ? kOdd[n] : kEven[n];
    }
    switch (n) {
    case 3:
    case 4:
        return cOdd ? 1 : 2;
    case 5:
        return r % 3 + 1;
    default:
        return 1;
    }
}

void FlowingCloudsRenderer::PrepareSave() {
    const int W = GetFrameWidth(), H = GetFrameHeight();
    // The spans that place the grid and decide the wrap-around copies come
    // from the values as typed, before the corrections below.
    m_nSpanY = ClampToInt((long long)m_nBumps + m_nSize);
    m_nSpanX = ClampToInt((long long)m_nBumps + m_nSize + m_nSqueeze);
    if (m_nDistance < 1)
        m_nDistance = 1;
    m_nColumns = int(std::max<long long>(W / ((long long)m_nDistance + m_nSqueeze), 1));
    m_nRows = std::max(H / m_nDistance, 1);
    m_nStepX = W / m_nColumns;
    m_nStepY = H / m_nRows;
    if ((long long)m_nBumps + m_nSize == 0)
        m_nSize = 1;
    m_bMeasuresCapped = m_nSize > kMaxCloudMeasure || m_nBumps > kMaxCloudMeasure ||
                        m_nGradient > kMaxCloudMeasure || m_nSqueeze > kMaxCloudMeasure;
    m_nSize = std::min(m_nSize, kMaxCloudMeasure);
    m_nBumps = std::min(m_nBumps, kMaxCloudMeasure);
    m_nGradient = std::min(m_nGradient, kMaxCloudMeasure);
    m_nSqueeze = std::min(m_nSqueeze, kMaxCloudMeasure);
    m_nSeed = ChooseSeed();

    m_scroll = PlanCyclicScroll(m_nAngle, m_nSpeed, W, H);
    m_nFrames = int(std::min<std::int64_t>(m_scroll.frames, kMaxFrames));
    m_pStill = std::make_shared<StillPicture>();
}

const QImage& FlowingCloudsRenderer::Still() const {
    static const QImage kNone;
    if (!m_pStill)
        return kNone;
    std::call_once(m_pStill->drawn, [this] { DrawStill(&m_pStill->image); });
    return m_pStill->image;
}

void FlowingCloudsRenderer::DrawStill(QImage* image) const {
    const int W = GetFrameWidth(), H = GetFrameHeight();
    *image = QImage(W, H, QImage::Format_RGB32);
    if (image->isNull())
        return;
    image->fill(qRgb(RedOf(m_crBackground), GreenOf(m_crBackground), BlueOf(m_crBackground)));
    CloudPainter painter(image, CloudPainter::SpokeStep(m_nSize, m_nBumps), m_nGradient,
                         m_crBackground);
    // The outlines are drawn one after the other from one sequence; the
    // first checkerboard takes the even ones in drawing order, the other
    // the odd ones, so each pass reads the sequence skipping every second.
    for (int pass = 0; pass < 2; ++pass) {
        Random15 random(m_nSeed);
        if (pass == 1)
            Skip(random, CloudPainter::kDrawsPerCloud);
        long long drawn = 0;
        for (int c = 0; c < m_nColumns; ++c) {
            for (int r = 0; r < m_nRows; ++r) {
                if (((c + r) % 2 == 0) != (pass == 0))
                    continue;
                if ((++drawn & 1023) == 0 && CancelRequested())
                    return;
                const CloudRadii radii =
                    CloudPainter::MakeRadii(random, m_nSize, m_nBumps, m_nSqueeze);
                Skip(random, CloudPainter::kDrawsPerCloud);
                const long long X = (long long)m_nSpanX + (long long)c * m_nStepX;
                const long long Y = (long long)m_nSpanY + (long long)r * m_nStepY;
                painter.PaintWrapped(ClampToInt(X), ClampToInt(Y), m_nSpanX, m_nSpanY, radii,
                                     m_colors[std::size_t(CloudColorNumber(m_nColors, c, r) - 1)]);
            }
        }
    }
}

void FlowingCloudsRenderer::DrawFrame(int index, QImage* frame) const {
    const QImage& still = Still();
    if (still.isNull()) {
        frame->fill(qRgb(0, 0, 0));
        return;
    }
    const QPoint shift = m_scroll.Offset(index);
    DrawCyclicShift(still, shift.x(), shift.y(), frame);
}

QStringList FlowingCloudsRenderer::SaveNotes() const {
    QStringList notes;
    if (m_bMeasuresCapped)
        notes << Tr("Cloud size, bumps, gradient and squeeze above %1 were lowered to %1.")
                     .arg(kMaxCloudMeasure);
    if (m_scroll.frames > kMaxFrames)
        notes << m_scroll.CutNote(kMaxFrames);
    return notes;
}

std::vector<RendererParameter> FlowingCloudsParameters() {
    using R = FlowingCloudsRenderer;
    constexpr int kMax = std::numeric_limits<int>::max();
    std::vector<RendererParameter> p = CommonParameters();
    p.push_back(IntegerParameter<R>(QStringLiteral("colors"),
                                    QStringLiteral("cloud colours in use (1 to 5)"), 1, 5,
                                    &R::SetNumberOfColors, &R::GetNumberOfColors));
    p.push_back(ColorParameter<R>(
        QStringLiteral("background-color"),
        QStringLiteral("fill of the picture and the colour the soft edges fade to"),
        &R::SetBackgroundColor, &R::GetBackgroundColor));
    AppendIndexedColors<R>(&p, 5, QStringLiteral("cloud colour %1"), &R::SetCloudColor,
                           &R::GetCloudColor);
    AppendCloudOutline<R>(&p);
    p.push_back(IntegerParameter<R>(
        QStringLiteral("cloud-gradient"),
        QStringLiteral("width of the soft edge in pixels (at least 0; above 1000 saved as 1000)"),
        0, kMax, &R::SetCloudGradient, &R::GetCloudGradient));
    p.push_back(IntegerParameter<R>(
        QStringLiteral("cloud-squeeze"),
        QStringLiteral("horizontal stretch of every cloud (at least 0; above 1000 saved as 1000)"),
        0, kMax, &R::SetCloudSqueeze, &R::GetCloudSqueeze));
    p.push_back(IntegerParameter<R>(
        QStringLiteral("cloud-distance"),
        QStringLiteral("grid spacing in pixels (at least 0; saved as at least 1)"), 0, kMax,
        &R::SetCloudDistance, &R::GetCloudDistance));
    p.push_back(ScrollSpeedParameter<R>());
    p.push_back(AngleParameter<R>());
    return p;
}
