#include "ui/controls/angle_dial.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

CAngleDial::CAngleDial(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setToolTip(tr("Click or drag to choose the direction; arrow keys turn it by one degree"));
}

void CAngleDial::SetAngle(int degrees) {
    m_nAngle = ((degrees % 360) + 360) % 360;
    update();
}

int CAngleDial::AngleAt(QPointF d) {
    if (d.x() == 0 && d.y() == 0)
        return 0;
    const double degrees = std::atan2(-d.y(), d.x()) * 180.0 / 3.14159265358979323846;
    return (int(std::lround(degrees)) + 360) % 360;
}

void CAngleDial::Choose(int degrees) {
    SetAngle(degrees);
    Q_EMIT AngleChosen(qint16(m_nAngle));
}

void CAngleDial::ChooseAt(QPointF position) {
    const QPointF centre(width() / 2.0, height() / 2.0);
    Choose(AngleAt(position - centre));
}

void CAngleDial::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        ChooseAt(event->position());
}

void CAngleDial::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton)
        ChooseAt(event->position());
}

void CAngleDial::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        Choose(m_nAngle + 1);
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        Choose(m_nAngle + 359);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void CAngleDial::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(width(), height()) - 6;
    const QPointF centre(width() / 2.0, height() / 2.0);
    const double r = side / 2;
    p.setPen(QPen(palette().color(QPalette::Mid), 1));
    p.setBrush(palette().color(QPalette::Base));
    p.drawEllipse(centre, r, r);
    // Ticks every 45 degrees, longer at the axes.
    for (int a = 0; a < 360; a += 45) {
        const double rad = a * 3.14159265358979323846 / 180;
        const double inner = a % 90 == 0 ? r * 0.78 : r * 0.88;
        p.drawLine(centre + QPointF(std::cos(rad) * inner, -std::sin(rad) * inner),
                   centre + QPointF(std::cos(rad) * r, -std::sin(rad) * r));
    }
    const double rad = m_nAngle * 3.14159265358979323846 / 180;
    const QPointF tip = centre + QPointF(std::cos(rad) * r * 0.85, -std::sin(rad) * r * 0.85);
    p.setPen(QPen(hasFocus() ? palette().color(QPalette::Highlight) : QColor(0xd9, 0x04, 0x29), 2.5,
                  Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, tip);
    p.setBrush(p.pen().color());
    p.drawEllipse(centre, 3, 3);
}
