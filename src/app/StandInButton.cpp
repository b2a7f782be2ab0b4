#include "app/StandInButton.h"

#include <QPainter>

StandInButton::StandInButton(const QString &caption, QWidget *parent) : QAbstractButton(parent)
{
    setText(caption);
    setFocusPolicy(Qt::NoFocus);
}

void StandInButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    const bool down = isDown();
    QLinearGradient face(0, 0, 0, height());
    face.setColorAt(0, down ? QColor(70, 74, 92) : QColor(150, 156, 180));
    face.setColorAt(1, down ? QColor(110, 116, 140) : QColor(84, 88, 110));
    p.fillRect(r, face);
    p.setPen(down ? QColor(30, 32, 40) : QColor(210, 214, 230));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(down ? QColor(210, 214, 230) : QColor(30, 32, 40));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    p.setPen(isEnabled() ? QColor(240, 244, 255) : QColor(162, 166, 182));
    p.drawText(rect().translated(down ? 1 : 0, down ? 1 : 0), Qt::AlignCenter, text());
}
