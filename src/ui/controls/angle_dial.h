// A round dial for a direction: the needle points where the user clicks or
// drags, 0 degrees to the right and 90 up, and each choice is reported as a
// 16-bit angle.
#pragma once

#include <QWidget>

class CAngleDial : public QWidget {
    Q_OBJECT
public:
    explicit CAngleDial(QWidget* parent = nullptr);

    int Angle() const { return m_nAngle; }
    // Shows an angle without reporting it.
    void SetAngle(int degrees);

    QSize sizeHint() const override { return QSize(72, 72); }
    QSize minimumSizeHint() const override { return QSize(48, 48); }

    // The angle of a point relative to the dial's centre (y grows
    // downwards on screen, so "up" is 90).
    static int AngleAt(QPointF fromCentre);

Q_SIGNALS:
    void AngleChosen(qint16 degrees);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ChooseAt(QPointF position);
    void Choose(int degrees);

    int m_nAngle = 0;
};
