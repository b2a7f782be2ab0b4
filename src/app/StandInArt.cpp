#include "app/StandInArt.h"

#include "platform/Fonts.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace standin {

namespace {

void sunkenPanel(QPainter &p, const QRect &r)
{
    p.setPen(QColor(40, 42, 52));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(QColor(150, 154, 170));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

} // namespace

QPixmap mainBackground()
{
    QPixmap pixmap(474, 255);
    QPainter p(&pixmap);
    QLinearGradient face(0, 0, 0, 255);
    face.setColorAt(0, QColor(104, 110, 132));
    face.setColorAt(1, QColor(62, 66, 84));
    p.fillRect(pixmap.rect(), face);
    p.setPen(QColor(160, 166, 190));
    p.drawRect(0, 0, 473, 254);
    p.setPen(QColor(30, 32, 40));
    p.drawLine(1, 254, 473, 254);
    p.drawLine(473, 1, 473, 254);

    // Frames round the history, the input row and the status bar.
    sunkenPanel(p, QRect(13, 33, 447, 106));
    sunkenPanel(p, QRect(13, 144, 447, 51));
    p.fillRect(QRect(6, 226, 418, 21), QColor(34, 38, 46));
    sunkenPanel(p, QRect(5, 225, 420, 23));
    return pixmap;
}

QPixmap logo()
{
    QPixmap pixmap(133, 17);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = platform::productFont();
    font.setPixelSize(14);
    font.setBold(true);
    font.setItalic(true);
    p.setFont(font);
    p.setPen(QColor(30, 32, 40));
    p.drawText(pixmap.rect().translated(1, 1), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Plauderdeck"));
    p.setPen(QColor(172, 255, 145));
    p.drawText(pixmap.rect(), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Plauderdeck"));
    return pixmap;
}

QPixmap moveHandle()
{
    QPixmap pixmap(34, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(17, 16);
    QPainterPath arrows;
    // Four arrow heads pointing away from the middle, joined by a cross.
    arrows.moveTo(c.x(), 2);
    arrows.lineTo(c.x() + 5, 8);
    arrows.lineTo(c.x() - 5, 8);
    arrows.closeSubpath();
    arrows.moveTo(c.x(), 30);
    arrows.lineTo(c.x() + 5, 24);
    arrows.lineTo(c.x() - 5, 24);
    arrows.closeSubpath();
    arrows.moveTo(2, c.y());
    arrows.lineTo(8, c.y() - 5);
    arrows.lineTo(8, c.y() + 5);
    arrows.closeSubpath();
    arrows.moveTo(32, c.y());
    arrows.lineTo(26, c.y() - 5);
    arrows.lineTo(26, c.y() + 5);
    arrows.closeSubpath();
    p.fillPath(arrows, QColor(220, 200, 90));
    p.setPen(QPen(QColor(220, 200, 90), 2));
    p.drawLine(QPointF(c.x(), 8), QPointF(c.x(), 24));
    p.drawLine(QPointF(8, c.y()), QPointF(26, c.y()));
    p.setPen(QPen(QColor(60, 40, 20), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arrows);
    return pixmap;
}

QPixmap led(bool lit)
{
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(5.5, 5.5), 7);
    if (lit) {
        glow.setColorAt(0, QColor(230, 255, 220));
        glow.setColorAt(0.5, QColor(90, 255, 60));
        glow.setColorAt(1, QColor(20, 150, 10));
    } else {
        glow.setColorAt(0, QColor(60, 110, 60));
        glow.setColorAt(1, QColor(10, 50, 10));
    }
    p.setPen(QColor(10, 30, 10));
    p.setBrush(glow);
    p.drawEllipse(QRectF(1.5, 1.5, 11, 11));
    return pixmap;
}

} // namespace standin
