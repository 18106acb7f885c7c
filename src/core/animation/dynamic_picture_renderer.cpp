#include "core/animation/dynamic_picture_renderer.h"

#include "core/imaging/picture_loader.h"

#include <QPainter>
#include <algorithm>
#include <climits>
#include <new>

DynamicPictureRenderer::DynamicPictureRenderer() : AnimationRenderer(200, 200) {}

std::unique_ptr<AnimationRenderer> DynamicPictureRenderer::Clone() const {
    return std::make_unique<DynamicPictureRenderer>(*this);
}

void DynamicPictureRenderer::SetPicture(const QImage& picture) {
    m_ownPicture = picture.convertToFormat(QImage::Format_RGB32);
}

void DynamicPictureRenderer::SetAngle(int degrees) {
    m_nAngle = std::max(degrees, 0);
}

void DynamicPictureRenderer::SetSpeed(int speed) {
    m_nSpeed = std::max(speed, 1);
}

std::int64_t DynamicPictureRenderer::CanvasSide(std::int64_t wanted, std::int64_t tile) {
    return wanted > tile ? (wanted / tile + 1) * tile : tile;
}

void DynamicPictureRenderer::PrepareSave() {
    m_status = Status::Ok();
    m_tile = QImage();
    m_nFrames = 0;
    m_pCanvasMask.reset();
    if (m_strPictureFile.isEmpty()) {
        if (m_ownPicture.isNull()) {
            m_status = Status::WrongValue(QStringLiteral("Fill the filename to load"));
            return;
        }
        m_tile = m_ownPicture;
    } else if (Status loaded = LoadPicture(m_strPictureFile, &m_tile, PictureFormats::AnyReadable);
               !loaded) {
        m_status = loaded;
        m_tile = QImage();
        return;
    }
    const std::int64_t W = CanvasSide(GetFrameWidth(), m_tile.width());
    const std::int64_t H = CanvasSide(GetFrameHeight(), m_tile.height());
    if (W > INT_MAX / 4 || H > INT_MAX / 4) {
        m_status = Status::WrongValue(
            QStringLiteral("A canvas of %1 x %2 pixels is too large to animate").arg(W).arg(H));
        return;
    }
    m_canvasSize = QSize(int(W), int(H));
    m_scroll = PlanCyclicScroll(m_nAngle, m_nSpeed, int(W), int(H));
    m_nFrames = int(std::min<std::int64_t>(m_scroll.frames, kMaxFrames));

    // The table's mask covers the canvas's top left corner; the rest of the
    // canvas lies outside the table and is cut away like the cells.
    if (const CellMask* mask = ActiveMask()) {
        try {
            auto canvas = std::make_shared<CellMask>(int(W), int(H));
            for (int y = 0; y < int(H); ++y)
                for (int x = 0; x < int(W); ++x)
                    canvas->SetCell(
                        x, y, x >= mask->Width() || y >= mask->Height() || mask->IsCell(x, y));
            m_pCanvasMask = std::move(canvas);
        } catch (const std::bad_alloc&) {
            m_status = Status::Error(
                QStringLiteral("Not enough memory for the cell pattern of a %1 x %2 canvas")
                    .arg(W)
                    .arg(H));
        }
    }
}

void DynamicPictureRenderer::DrawFrame(int index, QImage* frame) const {
    const QPoint shift = m_scroll.Offset(index);
    DrawCyclicShift(m_tile, shift.x(), shift.y(), frame);
}

QStringList DynamicPictureRenderer::SaveNotes() const {
    QStringList notes;
    if (m_scroll.frames > kMaxFrames && m_status)
        notes << m_scroll.CutNote(kMaxFrames);
    return notes;
}

std::vector<RendererParameter> DynamicPictureParameters() {
    using R = DynamicPictureRenderer;
    std::vector<RendererParameter> p;
    p.push_back(TextParameter<R>(QStringLiteral("picture"),
                                 QStringLiteral("path of the picture to animate (BMP, PNG, JPEG, "
                                                "GIF or any other format Qt reads)"),
                                 &R::SetPictureFileName, &R::GetPictureFileName));
    for (RendererParameter& common : CommonParameters()) {
        if (common.name == QLatin1String("width"))
            common.description = QStringLiteral(
                "wanted frame width; the canvas is whole tiles of the picture (at least 5)");
        else if (common.name == QLatin1String("height"))
            common.description = QStringLiteral(
                "wanted frame height; the canvas is whole tiles of the picture (at least 5)");
        p.push_back(std::move(common));
    }
    p.push_back(AngleParameter<R>());
    p.push_back(ScrollSpeedParameter<R>());
    // The order the window shows: the picture, the size, the angle, the
    // speed, dithering.
    MoveParameterToEnd(&p, QStringLiteral("dither"));
    return p;
}

QImage DynamicPictureSample(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] =
                qRgb(40 + 150 * x / std::max(width - 1, 1), 60 + 80 * y / std::max(height - 1, 1),
                     200 - 120 * x / std::max(width - 1, 1));
    }
    QPainter painter(&picture);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 220, 40));
    painter.drawEllipse(QRect(width / 8, height / 6, width / 4, width / 4));
    painter.setBrush(QColor(250, 250, 250));
    painter.drawRect(QRect(width / 2, height / 2, width / 3, height / 5));
    painter.setBrush(QColor(30, 160, 70));
    const QPoint triangle[3] = {QPoint(width * 3 / 5, height / 10),
                                QPoint(width * 9 / 10, height * 2 / 5),
                                QPoint(width * 11 / 20, height * 2 / 5)};
    painter.drawPolygon(triangle, 3);
    painter.setPen(QPen(QColor(120, 20, 90), 3));
    painter.drawLine(0, height - 12, width - 1, height * 3 / 4);
    return picture;
}
