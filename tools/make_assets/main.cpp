// Draws the standard look of Plauderdeck: window backgrounds (JPEG), the state bitmaps of the
// five bitmap buttons (BMP, key colour in the bottom-left pixel), the drag handle and the two
// LED images (BMP, keyed the same way) and the logo (GIF89a with a transparent colour index).
//
// The look is a dark green anodised faceplate with brushed texture, recessed wells round the
// controls and lime accents, matching the fixed colours of the edit fields, the status line and
// the options window's text. Shaped pictures are drawn anti-aliased onto the background they sit
// on in the standard look and keyed where they are fully outside their shape, so their edges
// are smooth there and the background shows through the key colour.
//
// Usage: make_assets <assets-folder> [<preview-folder>]
// The preview folder receives PNG copies and a mock of both windows for looking at the result.
//        make_assets --skins <skins-folder>
// draws the shipped skins "Bernstein" and "Eismeer" in the same way, each in its own colours,
// into their folders (pictures only; each folder's Skin.ini is written by hand).

#include "Version.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

// Fixed colours of the controls that sit on the pictures.
const QColor FieldColor(192, 216, 184);
const QColor FieldText(55, 55, 67);
const QColor StatusText(172, 255, 145);
const QColor OptionsText(192, 255, 0);

// The faceplate. A skin drawn by this tool sets these to its own colours (applyTheme).
QColor PlateTop(58, 74, 67);
QColor PlateBottom(26, 34, 31);
QColor Lime(192, 255, 0); // the accent
QColor Bevel(150, 182, 160);
const QColor Ink(8, 12, 10);
QColor AccentDim(96, 150, 90);
QColor DeckFill(33, 43, 39);
QColor TrayFill(16, 22, 19);
QColor SlotFill(10, 16, 13);
QColor StatusFill(9, 18, 12);
QColor EngraveInk(92, 116, 104);
QColor RoundTop(104, 124, 114);
QColor RoundBottom(38, 48, 44);
QColor RoundMark(214, 232, 220);
QColor AccentOverTop(206, 255, 96);
QColor AccentOverBottom(92, 150, 20);
QColor AccentDownTop(60, 100, 10);
QColor AccentDownBottom(150, 210, 50);
QColor AccentMark(24, 40, 12);
QColor DisabledTop(112, 122, 117);
QColor DisabledBottom(62, 70, 66);
QColor DisabledText(140, 150, 145);
QString TrayLabel = QString::fromLatin1(kProgramVersion);

const QRgb KeyMagenta = qRgb(255, 0, 255);
const QRgb KeyGreen = qRgb(0, 255, 0);
const QRgb KeyRed = qRgb(255, 0, 0);

QFont sansFont(qreal pixelSize, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(std::lround(pixelSize)));
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QImage blankImage(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QColor mix(const QColor &a, const QColor &b, qreal t)
{
    return QColor::fromRgbF(
        float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
        float(a.blueF() + (b.blueF() - a.blueF()) * t), float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

QColor withAlpha(QColor color, int alpha)
{
    color.setAlpha(alpha);
    return color;
}

// Brushed metal: a vertical gradient with fine horizontal streaks.
QImage brushedPlate(QSize size, const QColor &top, const QColor &bottom, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    const int w = size.width();
    const int h = size.height();
    std::vector<double> raw(size_t(w + 64) * size_t(h));
    for (double &v : raw)
        v = noise(random);

    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const double t = h > 1 ? double(y) / (h - 1) : 0.0;
        const QColor base = mix(top, bottom, t * t * 0.35 + t * 0.65);
        const double *row = &raw[size_t(y) * size_t(w + 64)];
        double window = 0;
        for (int i = 0; i < 48; ++i)
            window += row[i];
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const double streak = window / 48.0 * 9.0; // long horizontal grain
            const double grain = row[x + 8] * 1.2;     // fine speckle
            window += row[x + 48] - row[x];
            const double d = streak + grain;
            line[x] = qRgb(std::clamp(int(std::lround(base.red() + d)), 0, 255),
                           std::clamp(int(std::lround(base.green() + d * 1.05)), 0, 255),
                           std::clamp(int(std::lround(base.blue() + d * 0.95)), 0, 255));
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QPainterPath roundedPath(const QRectF &rect, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// A recess in the plate: shadowed upper edge, lit lower edge, filled with `fill`.
void recess(QPainter &p, const QRectF &rect, qreal radius, const QColor &fill, int depth = 2)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    // lit lip below and right
    p.setBrush(withAlpha(Bevel, 70));
    p.drawPath(roundedPath(rect.adjusted(0, 0, 1, 1), radius));
    // shadow lip above and left
    p.setBrush(QColor(0, 0, 0, 170));
    p.drawPath(roundedPath(rect.adjusted(-1, -1, 0, 0), radius));
    p.setBrush(fill);
    p.drawPath(roundedPath(rect, radius));
    // inner shade along the top edge
    for (int i = 0; i < depth; ++i) {
        p.setPen(QPen(QColor(0, 0, 0, 90 - i * 35), 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(roundedPath(rect.adjusted(0.5, 0.5 + i, -0.5, -0.5), std::max<qreal>(0, radius - 0.5)));
    }
    p.restore();
}

// A raised rim round the whole window.
void windowRim(QPainter &p, QSize size)
{
    p.save();
    const QRectF r(0, 0, size.width(), size.height());
    p.setPen(QPen(QColor(6, 9, 8), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
    p.setPen(QPen(withAlpha(Bevel, 150), 1));
    p.drawLine(QPointF(1.5, 1.5), QPointF(size.width() - 2, 1.5));
    p.drawLine(QPointF(1.5, 1.5), QPointF(1.5, size.height() - 2));
    p.setPen(QPen(QColor(0, 0, 0, 150), 1));
    p.drawLine(QPointF(1.5, size.height() - 1.5), QPointF(size.width() - 1.5, size.height() - 1.5));
    p.drawLine(QPointF(size.width() - 1.5, 1.5), QPointF(size.width() - 1.5, size.height() - 1.5));
    // a fine lime pin line inside the rim
    p.setPen(QPen(withAlpha(Lime, 38), 1));
    p.drawRect(r.adjusted(3.5, 3.5, -3.5, -3.5));
    p.restore();
}

// A horizontal groove: dark line with a lit line under it.
void groove(QPainter &p, qreal x1, qreal x2, qreal y)
{
    p.save();
    p.setPen(QPen(QColor(0, 0, 0, 150), 1));
    p.drawLine(QPointF(x1, y + 0.5), QPointF(x2, y + 0.5));
    p.setPen(QPen(withAlpha(Bevel, 60), 1));
    p.drawLine(QPointF(x1, y + 1.5), QPointF(x2, y + 1.5));
    p.restore();
}

// Vertical vent slots filling `area`.
void vents(QPainter &p, const QRectF &area, int count)
{
    const qreal gap = area.width() / count;
    for (int i = 0; i < count; ++i) {
        const QRectF slot(area.left() + i * gap + (gap - 3) / 2, area.top(), 3, area.height());
        recess(p, slot, 1.5, QColor(6, 10, 8), 1);
    }
}

// Text cut into the plate.
void engrave(QPainter &p, const QRectF &rect, int flags, const QString &text, const QFont &font,
             const QColor &color)
{
    p.save();
    p.setFont(font);
    p.setPen(QColor(0, 0, 0, 170));
    p.drawText(rect.translated(0, -1), flags, text);
    p.setPen(withAlpha(Bevel, 60));
    p.drawText(rect.translated(0, 1), flags, text);
    p.setPen(color);
    p.drawText(rect, flags, text);
    p.restore();
}

// Two overlapping speech bubbles, the program's emblem, in `rect`.
void emblem(QPainter &p, const QRectF &rect, const QColor &front, const QColor &back)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = rect.width();
    const qreal h = rect.height();
    auto bubble = [&](QRectF body, bool tailLeft) {
        QPainterPath path;
        path.addRoundedRect(body, body.height() * 0.42, body.height() * 0.42);
        QPainterPath tail;
        if (tailLeft) {
            tail.moveTo(body.left() + body.width() * 0.22, body.bottom() - 1);
            tail.lineTo(body.left() + body.width() * 0.08, body.bottom() + body.height() * 0.38);
            tail.lineTo(body.left() + body.width() * 0.48, body.bottom() - 1);
        } else {
            tail.moveTo(body.right() - body.width() * 0.22, body.bottom() - 1);
            tail.lineTo(body.right() - body.width() * 0.06, body.bottom() + body.height() * 0.38);
            tail.lineTo(body.right() - body.width() * 0.48, body.bottom() - 1);
        }
        tail.closeSubpath();
        return path.united(tail);
    };
    const QPainterPath rear = bubble(QRectF(rect.left() + w * 0.36, rect.top(), w * 0.64, h * 0.56), false);
    const QPainterPath fore = bubble(QRectF(rect.left(), rect.top() + h * 0.26, w * 0.7, h * 0.56), true);
    p.setPen(QPen(QColor(0, 0, 0, 150), 1.2));
    p.setBrush(back);
    p.drawPath(rear);
    p.setBrush(front);
    p.drawPath(fore);
    // three dots on the front bubble
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 40, 10));
    const QRectF body(rect.left(), rect.top() + h * 0.26, w * 0.7, h * 0.56);
    for (int i = 0; i < 3; ++i) {
        const qreal cx = body.left() + body.width() * (0.3 + 0.2 * i);
        p.drawEllipse(QPointF(cx, body.center().y()), w * 0.045, w * 0.045);
    }
    p.restore();
}

// Puts `art` over the background it will sit on and turns what lies outside the shape into the
// key colour. The bottom-left pixel always carries the key.
QImage keyOnto(const QImage &art, const QImage &background, QRgb key, int threshold = 64)
{
    const QImage bg = background.convertToFormat(QImage::Format_RGB32);
    const QImage a = art.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage out(art.size(), QImage::Format_RGB32);
    for (int y = 0; y < art.height(); ++y) {
        const auto *src = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *under = reinterpret_cast<const QRgb *>(bg.constScanLine(y));
        auto *dst = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < art.width(); ++x) {
            const int alpha = qAlpha(src[x]);
            if (alpha < threshold) {
                dst[x] = key;
                continue;
            }
            const int inv = 255 - alpha;
            int r = qRed(src[x]) + (qRed(under[x]) * inv + 127) / 255;
            int g = qGreen(src[x]) + (qGreen(under[x]) * inv + 127) / 255;
            int b = qBlue(src[x]) + (qBlue(under[x]) * inv + 127) / 255;
            QRgb value = qRgb(std::min(r, 255), std::min(g, 255), std::min(b, 255));
            if ((value & 0xffffff) == (key & 0xffffff)) // never let the art turn transparent
                value = qRgb(qRed(key) ^ 1, qGreen(key) ^ 1, qBlue(key) ^ 1);
            dst[x] = value;
        }
    }
    out.setPixel(0, out.height() - 1, key);
    return out;
}

enum class Face { Up, Over, Down, Disabled };

struct PillStyle
{
    QColor top;
    QColor bottom;
    QColor text;
    QColor rim;
};

// A pill-shaped push button with a caption.
QImage pillButton(QSize size, PillStyle style, Face face, const QString &caption)
{
    QImage image = blankImage(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QColor top = style.top;
    QColor bottom = style.bottom;
    QColor text = style.text;
    switch (face) {
    case Face::Up:
        break;
    case Face::Over:
        top = top.lighter(118);
        bottom = bottom.lighter(125);
        break;
    case Face::Down:
        std::swap(top, bottom);
        top = top.darker(125);
        bottom = bottom.darker(108);
        break;
    case Face::Disabled:
        // greyed out, the caption stamped into the surface
        top = DisabledTop;
        bottom = DisabledBottom;
        text = DisabledText;
        break;
    }

    const QRectF outer(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
    const qreal radius = outer.height() / 2;
    // rim
    p.setPen(QPen(face == Face::Over ? withAlpha(Lime, 230) : style.rim, 1.0));
    QLinearGradient fill(0, 0, 0, size.height());
    fill.setColorAt(0.0, top);
    fill.setColorAt(0.5, mix(top, bottom, 0.55));
    fill.setColorAt(1.0, bottom);
    p.setBrush(fill);
    p.drawRoundedRect(outer, radius, radius);

    // gloss on the upper half, less of it while pressed
    if (face != Face::Disabled) {
        const QRectF gloss(2.5, 1.5, size.width() - 5.0, size.height() * 0.45);
        QLinearGradient shine(0, gloss.top(), 0, gloss.bottom());
        shine.setColorAt(0.0, QColor(255, 255, 255, face == Face::Down ? 30 : 110));
        shine.setColorAt(1.0, QColor(255, 255, 255, face == Face::Down ? 0 : 18));
        p.setPen(Qt::NoPen);
        p.setBrush(shine);
        p.drawRoundedRect(gloss, gloss.height() / 2, gloss.height() / 2);
    }
    // inner lit edge along the bottom (reflected light), none while pressed
    if (face != Face::Down) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(255, 255, 255, 40), 1));
        p.drawRoundedRect(outer.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
    }

    const QFont font = sansFont(12, true);
    p.setFont(font);
    QRectF textRect(0, 0, size.width(), size.height() - 1);
    if (face == Face::Down)
        textRect.translate(1, 1);
    const bool darkText = qGray(text.rgb()) < 128;
    p.setPen(darkText ? QColor(255, 255, 255, 90) : QColor(0, 0, 0, 150));
    p.drawText(textRect.translated(0, darkText ? 1 : -1), Qt::AlignCenter, caption);
    p.setPen(text);
    p.drawText(textRect, Qt::AlignCenter, caption);
    return image;
}

enum class Glyph { Minimize, Close };

// A round title-bar button with its glyph.
QImage roundButton(QSize size, Glyph glyph, Face face)
{
    QImage image = blankImage(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal d = std::min(size.width(), size.height()) - 2.0;
    const QRectF circle((size.width() - d) / 2, (size.height() - d) / 2, d, d);

    QColor top = RoundTop;
    QColor bottom = RoundBottom;
    QColor mark = RoundMark;
    if (face == Face::Over) {
        if (glyph == Glyph::Close) {
            top = QColor(240, 112, 92);
            bottom = QColor(150, 32, 24);
            mark = QColor(255, 246, 240);
        } else {
            top = AccentOverTop;
            bottom = AccentOverBottom;
            mark = AccentMark;
        }
    } else if (face == Face::Down) {
        if (glyph == Glyph::Close) {
            top = QColor(110, 22, 16);
            bottom = QColor(200, 70, 56);
            mark = QColor(255, 220, 210);
        } else {
            top = AccentDownTop;
            bottom = AccentDownBottom;
            mark = AccentMark.darker(150);
        }
    }
    // soft shadow ring
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 110));
    p.drawEllipse(circle.adjusted(-1, -0.5, 1, 1.5));
    QLinearGradient fill(0, circle.top(), 0, circle.bottom());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.setPen(QPen(QColor(8, 12, 10), 1));
    p.setBrush(fill);
    p.drawEllipse(circle.adjusted(0.5, 0.5, -0.5, -0.5));
    if (face != Face::Down) {
        QLinearGradient shine(0, circle.top(), 0, circle.center().y());
        shine.setColorAt(0, QColor(255, 255, 255, 120));
        shine.setColorAt(1, QColor(255, 255, 255, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(shine);
        p.drawEllipse(
            QRectF(circle.left() + 3, circle.top() + 1.5, circle.width() - 6, circle.height() * 0.5));
    }
    const QPointF c = circle.center() + (face == Face::Down ? QPointF(0.5, 0.5) : QPointF(0, 0));
    p.setPen(QPen(mark, 2.0, Qt::SolidLine, Qt::RoundCap));
    const qreal s = d * 0.2;
    if (glyph == Glyph::Close) {
        p.drawLine(c + QPointF(-s, -s), c + QPointF(s, s));
        p.drawLine(c + QPointF(-s, s), c + QPointF(s, -s));
    } else {
        p.drawLine(c + QPointF(-s - 0.5, s * 0.9), c + QPointF(s + 0.5, s * 0.9));
    }
    return image;
}

// The handle that drags the window: a raised pad with a four-way arrow.
QImage dragHandle(QSize size)
{
    QImage image = blankImage(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF pad(2.5, 2.5, size.width() - 5.0, size.height() - 5.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 120));
    p.drawRoundedRect(pad.adjusted(-1.5, -1, 1.5, 2), 7, 7);
    QLinearGradient fill(0, pad.top(), 0, pad.bottom());
    fill.setColorAt(0, QColor(84, 104, 95));
    fill.setColorAt(1, QColor(34, 44, 40));
    p.setPen(QPen(QColor(8, 12, 10), 1));
    p.setBrush(fill);
    p.drawRoundedRect(pad, 6, 6);
    p.setPen(QPen(QColor(255, 255, 255, 45), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(pad.adjusted(1, 1, -1, -1), 5, 5);

    // four-way arrow, one outlined shape
    const QPointF c = pad.center();
    const qreal arm = 10.5;
    const qreal head = 3.8;
    const qreal shaft = 1.1;
    QPainterPath arrow;
    arrow.setFillRule(Qt::WindingFill);
    arrow.addRect(QRectF(c.x() - arm + head, c.y() - shaft, 2 * (arm - head), 2 * shaft));
    arrow.addRect(QRectF(c.x() - shaft, c.y() - arm + head, 2 * shaft, 2 * (arm - head)));
    auto arrowHead = [&](QPointF dir) {
        const QPointF side(-dir.y(), dir.x());
        const QPointF tip = c + dir * arm;
        QPainterPath h;
        h.moveTo(tip);
        h.lineTo(tip - dir * head * 1.2 + side * head);
        h.lineTo(tip - dir * head * 1.2 - side * head);
        h.closeSubpath();
        arrow.addPath(h);
    };
    arrowHead(QPointF(1, 0));
    arrowHead(QPointF(-1, 0));
    arrowHead(QPointF(0, 1));
    arrowHead(QPointF(0, -1));
    arrow = arrow.simplified();
    p.setPen(QPen(QColor(0, 0, 0, 170), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0, 0, 0, 170));
    p.drawPath(arrow.translated(0, 0.8));
    QLinearGradient lime(0, c.y() - arm, 0, c.y() + arm);
    lime.setColorAt(0, QColor(230, 255, 140));
    lime.setColorAt(0.5, Lime);
    lime.setColorAt(1, QColor(130, 200, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(lime);
    p.drawPath(arrow);
    return image;
}

// One LED of the status line, unlit or lit with a glow.
QImage ledImage(bool lit)
{
    const QSize size(14, 14);
    QImage image = blankImage(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(7, 7);
    if (lit) {
        QRadialGradient glow(c, 7);
        glow.setColorAt(0.0, QColor(200, 255, 140, 255));
        glow.setColorAt(0.6, QColor(130, 255, 70, 210));
        glow.setColorAt(0.82, QColor(90, 230, 40, 110));
        glow.setColorAt(1.0, QColor(60, 200, 20, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(c, 7, 7);
    }
    // bezel
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, lit ? 90 : 200));
    p.drawEllipse(c, 5.0, 5.0);
    QRadialGradient body(c + QPointF(-1.2, -1.4), 5.0);
    if (lit) {
        body.setColorAt(0.0, QColor(236, 255, 210));
        body.setColorAt(0.45, QColor(110, 255, 70));
        body.setColorAt(1.0, QColor(30, 170, 20));
    } else {
        body.setColorAt(0.0, QColor(70, 110, 62));
        body.setColorAt(0.5, QColor(22, 64, 20));
        body.setColorAt(1.0, QColor(8, 30, 8));
    }
    p.setBrush(body);
    p.drawEllipse(c, 4.2, 4.2);
    // specular dot
    p.setBrush(QColor(255, 255, 255, lit ? 220 : 90));
    p.drawEllipse(c + QPointF(-1.5, -1.7), 1.2, 0.9);
    return image;
}

// The bare faceplate of a window: brushed metal inside a raised rim.
QImage facePlate(QSize size, unsigned seed)
{
    QImage image = brushedPlate(size, PlateTop, PlateBottom, seed);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    windowRim(p, size);
    return image;
}

QImage mainBackground()
{
    QImage image = facePlate(QSize(474, 255), 6711);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Title strip: the emblem before the logo, a slot after it, the window buttons at the end.
    emblem(p, QRectF(14, 9, 22, 19), Lime, AccentDim);
    recess(p, QRectF(180, 17, 228, 3), 1.5, SlotFill, 1);
    recess(p, QRectF(413, 8, 50, 24), 12, TrayFill.lighter(125), 1);

    // History: a deep black well.
    recess(p, QRectF(13, 33, 448, 107), 4, QColor(0, 0, 0), 3);

    // Input deck: colour label, name, way of speaking, message.
    recess(p, QRectF(10, 143, 454, 54), 5, DeckFill, 2);
    recess(p, QRectF(47, 146, 51, 22), 2, QColor(0, 0, 0), 1);
    recess(p, QRectF(100, 146, 126, 23), 2, QColor(0, 0, 0), 1);
    recess(p, QRectF(231, 146, 147, 23), 2, QColor(0, 0, 0), 1);
    recess(p, QRectF(15, 169, 443, 25), 2, QColor(0, 0, 0), 1);
    emblem(p, QRectF(18, 149, 22, 17), withAlpha(Lime, 150), withAlpha(AccentDim, 150));
    vents(p, QRectF(383, 148, 74, 18), 9);

    // Button tray below the deck.
    recess(p, QRectF(101, 196, 239, 29), 14, TrayFill, 2);
    engrave(p, QRectF(14, 200, 84, 20), Qt::AlignLeft | Qt::AlignVCenter, TrayLabel, sansFont(10, true),
            EngraveInk);
    vents(p, QRectF(346, 201, 78, 18), 8);

    // Status line: an LCD-like strip holding the LED and the text.
    recess(p, QRectF(7, 227, 420, 20), 4, StatusFill, 2);
    // the LED's socket
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 180));
    p.drawEllipse(QPointF(18, 236), 6.5, 6.5);
    return image;
}

QImage optionsBackground()
{
    QImage image = facePlate(QSize(179, 247), 3212);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Receiver group, skin button, save switch, delete button, OK tray.
    recess(p, QRectF(9, 10, 161, 121), 5, DeckFill, 2);
    recess(p, QRectF(15, 135, 147, 27), 4, QColor(0, 0, 0), 1);
    groove(p, 10, 169, 164);
    groove(p, 10, 169, 205);
    recess(p, QRectF(48, 209, 83, 29), 14, TrayFill, 2);
    vents(p, QRectF(10, 213, 34, 18), 4);
    vents(p, QRectF(135, 213, 34, 18), 4);
    return image;
}

QImage infoBackground()
{
    QImage image = facePlate(QSize(422, 274), 1125);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Bezel round the dot-matrix panel.
    recess(p, QRectF(17, 12, 387, 230), 6, QColor(0, 0, 0), 3);
    // Footer between the close label and the link: emblem left, vents right.
    emblem(p, QRectF(24, 246, 22, 18), Lime, QColor(96, 150, 90));
    engrave(p, QRectF(134, 245, 70, 15), Qt::AlignCenter, QString::fromLatin1(kProgramVersion), sansFont(10, true),
            QColor(92, 116, 104));
    vents(p, QRectF(372, 247, 36, 16), 5);
    return image;
}

QImage logoArt(QSize size)
{
    QImage image = blankImage(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QString text = QStringLiteral("Plauderdeck");
    QFont font = sansFont(16, true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.4);
    while (QFontMetricsF(font).horizontalAdvance(text) > size.width() - 3 && font.pixelSize() > 8)
        font.setPixelSize(font.pixelSize() - 1);
    const QFontMetricsF metrics(font);
    const qreal x = (size.width() - metrics.horizontalAdvance(text)) / 2;
    const qreal baseline = (size.height() + metrics.capHeight()) / 2 - 0.5;
    QPainterPath path;
    path.addText(QPointF(x, baseline), font, text);

    // dark outline and drop shadow, then a lime gradient face
    p.setPen(QPen(QColor(4, 8, 6, 230), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(4, 8, 6, 230));
    p.drawPath(path.translated(0.6, 0.9));
    QLinearGradient face(0, baseline - metrics.capHeight(), 0, baseline);
    face.setColorAt(0.0, QColor(236, 255, 150));
    face.setColorAt(0.5, Lime);
    face.setColorAt(1.0, QColor(110, 190, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    p.drawPath(path);
    return image;
}

bool writeGif(const QString &fileName, const QImage &keyed, QRgb key)
{
    const int w = keyed.width();
    const int h = keyed.height();
    std::vector<GifByteType> red, green, blue;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb c = keyed.pixel(x, y);
            if ((c & 0xffffff) == (key & 0xffffff))
                continue;
            red.push_back(GifByteType(qRed(c)));
            green.push_back(GifByteType(qGreen(c)));
            blue.push_back(GifByteType(qBlue(c)));
        }
    }
    // 255 colours for the picture; index 255 is transparent.
    int colours = 255;
    std::vector<GifByteType> indices(red.size());
    std::vector<GifColorType> table(256);
    if (GifQuantizeBuffer(unsigned(red.size()), 1, &colours, red.data(), green.data(), blue.data(),
                          indices.data(), table.data()) != GIF_OK)
        return false;
    const int transparent = 255;
    table[transparent] = GifColorType{255, 0, 255};

    int error = 0;
    GifFileType *gif = EGifOpenFileName(fileName.toLocal8Bit().constData(), false, &error);
    if (!gif)
        return false;
    EGifSetGifVersion(gif, true);
    ColorMapObject *map = GifMakeMapObject(256, table.data());
    bool ok = EGifPutScreenDesc(gif, w, h, 8, 0, map) == GIF_OK;
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSE_DO_NOT;
    gcb.UserInputFlag = false;
    gcb.DelayTime = 0;
    gcb.TransparentColor = transparent;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&gcb, extension);
    ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_OK;
    ok = ok && EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
    size_t next = 0;
    std::vector<GifPixelType> line(size_t(w), 0);
    for (int y = 0; ok && y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb c = keyed.pixel(x, y);
            line[size_t(x)] =
                (c & 0xffffff) == (key & 0xffffff) ? GifPixelType(transparent) : indices[next++];
        }
        ok = EGifPutLine(gif, line.data(), w) == GIF_OK;
    }
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) != GIF_OK)
        ok = false;
    return ok;
}

struct Writer
{
    QDir assets;
    QDir preview;
    bool withPreview = false;
    bool ok = true;

    void save(const QImage &image, const QString &name, const char *format, int quality = -1)
    {
        if (!image.save(assets.filePath(name), format, quality)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(assets.filePath(name)));
            ok = false;
        }
        if (withPreview) {
            const QImage written(assets.filePath(name));
            written.save(preview.filePath(QFileInfo(name).completeBaseName() + QStringLiteral(".png")));
        }
    }
};

// Shows a keyed picture the way a window shows it: key-coloured pixels leave `under` visible.
void drawKeyed(QPainter &p, QPoint at, const QImage &keyed)
{
    QImage argb = keyed.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = argb.pixel(0, argb.height() - 1);
    for (int y = 0; y < argb.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if ((line[x] & 0xffffff) == (key & 0xffffff))
                line[x] = 0;
        }
    }
    p.drawImage(at, argb);
}

void fieldMock(QPainter &p, const QRect &r, const QString &text, bool combo = false)
{
    p.fillRect(r, FieldColor);
    p.setPen(QColor(120, 140, 115));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.setPen(FieldText);
    p.setFont(sansFont(11, false));
    p.drawText(r.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
    if (combo) {
        const QRect arrow(r.right() - 16, r.top() + 2, 15, r.height() - 4);
        p.fillRect(arrow, FieldColor.darker(112));
        QPainterPath tri;
        tri.moveTo(arrow.center().x() - 3, arrow.center().y() - 1);
        tri.lineTo(arrow.center().x() + 4, arrow.center().y() - 1);
        tri.lineTo(arrow.center().x() + 0.5, arrow.center().y() + 3);
        p.fillPath(tri, FieldText);
    }
}

} // namespace

// The state bitmaps of the five bitmap buttons, keyed against the backgrounds they sit on.
void writeButtons(Writer &out, const QImage &main, const QImage &options, const PillStyle &send,
                  const PillStyle &graphite)
{
    auto under = [](const QImage &bg, QRect r) { return bg.copy(r); };

    struct Pill
    {
        QString base;
        QRect place;
        const QImage *background;
        PillStyle style;
        QString caption;
        QRgb key;
        bool disabled;
    };
    const Pill pills[] = {
        {QStringLiteral("BtnSend"), QRect(104, 198, 113, 25), &main, send, QStringLiteral("Senden"), KeyGreen,
         true},
        {QStringLiteral("BtnOptions"), QRect(224, 198, 113, 25), &main, graphite, QStringLiteral("Optionen"),
         KeyRed, false},
        {QStringLiteral("BtnOK"), QRect(52, 208, 75, 25), &options, graphite, QStringLiteral("OK"),
         KeyMagenta, false},
    };
    for (int i = 0; i < 3; ++i) {
        const Pill &pill = pills[i];
        const QImage bg = under(*pill.background, pill.place);
        auto make = [&](Face face) {
            return keyOnto(pillButton(pill.place.size(), pill.style, face, pill.caption), bg, pill.key);
        };
        out.save(make(Face::Up), pill.base + QStringLiteral("-Up.bmp"), "BMP");
        out.save(make(Face::Over), pill.base + QStringLiteral("-Over.bmp"), "BMP");
        out.save(make(Face::Down), pill.base + QStringLiteral("-Down.bmp"), "BMP");
        if (pill.disabled)
            out.save(make(Face::Disabled), pill.base + QStringLiteral("-Disabled.bmp"), "BMP");
    }

    struct Round
    {
        QString base;
        QRect place;
        Glyph glyph;
    };
    const Round rounds[] = {
        {QStringLiteral("BtnMinimize"), QRect(416, 10, 18, 20), Glyph::Minimize},
        {QStringLiteral("BtnClose"), QRect(440, 10, 20, 20), Glyph::Close},
    };
    for (int i = 0; i < 2; ++i) {
        const Round &round = rounds[i];
        const QImage bg = under(main, round.place);
        auto make = [&](Face face) {
            return keyOnto(roundButton(round.place.size(), round.glyph, face), bg, KeyMagenta);
        };
        out.save(make(Face::Up), round.base + QStringLiteral("-Up.bmp"), "BMP");
        out.save(make(Face::Over), round.base + QStringLiteral("-Over.bmp"), "BMP");
        out.save(make(Face::Down), round.base + QStringLiteral("-Down.bmp"), "BMP");
    }
}

// A skin drawn with the same tools in other colours: its window backgrounds and button bitmaps.
struct Theme
{
    QString folder;
    QString trayLabel;
    QColor plateTop, plateBottom, accent, accentDim, bevel;
    QColor deck, tray, slot, status, engrave;
    QColor roundTop, roundBottom, roundMark;
    QColor accentOverTop, accentOverBottom, accentDownTop, accentDownBottom, accentMark;
    QColor disabledTop, disabledBottom, disabledText;
    PillStyle send, other;
    unsigned seed;
};

void applyTheme(const Theme &t)
{
    PlateTop = t.plateTop;
    PlateBottom = t.plateBottom;
    Lime = t.accent;
    AccentDim = t.accentDim;
    Bevel = t.bevel;
    DeckFill = t.deck;
    TrayFill = t.tray;
    SlotFill = t.slot;
    StatusFill = t.status;
    EngraveInk = t.engrave;
    RoundTop = t.roundTop;
    RoundBottom = t.roundBottom;
    RoundMark = t.roundMark;
    AccentOverTop = t.accentOverTop;
    AccentOverBottom = t.accentOverBottom;
    AccentDownTop = t.accentDownTop;
    AccentDownBottom = t.accentDownBottom;
    AccentMark = t.accentMark;
    DisabledTop = t.disabledTop;
    DisabledBottom = t.disabledBottom;
    DisabledText = t.disabledText;
    TrayLabel = t.trayLabel;
}

// Amber on dark walnut, and ice blue on night-blue steel.
const Theme Themes[] = {
    {QStringLiteral("Bernstein"),
     QStringLiteral("BERNSTEIN"),
     QColor(104, 70, 44),
     QColor(44, 26, 16),
     QColor(255, 178, 54),
     QColor(170, 104, 40),
     QColor(214, 170, 120),
     QColor(58, 38, 24),
     QColor(32, 20, 12),
     QColor(22, 13, 8),
     QColor(26, 14, 6),
     QColor(150, 112, 76),
     QColor(142, 104, 72),
     QColor(58, 36, 22),
     QColor(255, 236, 206),
     QColor(255, 214, 120),
     QColor(196, 112, 20),
     QColor(112, 60, 10),
     QColor(232, 150, 40),
     QColor(50, 24, 4),
     QColor(128, 110, 96),
     QColor(72, 58, 48),
     QColor(160, 142, 126),
     PillStyle{QColor(255, 222, 150), QColor(204, 124, 28), QColor(58, 28, 4), QColor(30, 14, 4)},
     PillStyle{QColor(134, 100, 72), QColor(60, 40, 26), QColor(255, 190, 90), QColor(18, 10, 4)},
     1914},
    {QStringLiteral("Eismeer"),
     QStringLiteral("EISMEER"),
     QColor(70, 98, 132),
     QColor(16, 26, 46),
     QColor(128, 224, 255),
     QColor(60, 140, 190),
     QColor(170, 204, 236),
     QColor(24, 40, 64),
     QColor(12, 20, 36),
     QColor(8, 14, 26),
     QColor(6, 14, 28),
     QColor(120, 150, 186),
     QColor(108, 136, 170),
     QColor(32, 46, 70),
     QColor(226, 240, 255),
     QColor(170, 238, 255),
     QColor(40, 150, 210),
     QColor(10, 60, 110),
     QColor(110, 200, 250),
     QColor(6, 26, 48),
     QColor(104, 116, 132),
     QColor(56, 66, 80),
     QColor(146, 158, 172),
     PillStyle{QColor(214, 244, 255), QColor(64, 150, 214), QColor(6, 30, 56), QColor(4, 14, 30)},
     PillStyle{QColor(96, 122, 156), QColor(32, 46, 70), QColor(150, 228, 255), QColor(4, 10, 20)},
     1807},
};

int writeSkins(const QString &skinsFolder)
{
    bool ok = true;
    for (const Theme &theme : Themes) {
        applyTheme(theme);
        Writer out;
        out.assets = QDir(skinsFolder + QLatin1Char('/') + theme.folder);
        out.assets.mkpath(QStringLiteral("."));
        const QImage main = mainBackground();
        const QImage options = optionsBackground();
        out.save(main.convertToFormat(QImage::Format_RGB32), QStringLiteral("Main.jpg"), "JPG", 92);
        out.save(options.convertToFormat(QImage::Format_RGB32), QStringLiteral("MainOption.jpg"), "JPG", 92);
        writeButtons(out, main, options, theme.send, theme.other);
        ok = ok && out.ok;
    }
    return ok ? 0 : 1;
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_assets <assets-folder> [<preview-folder>]\n"
                             "       make_assets --skins <skins-folder>\n");
        return 2;
    }
    if (qstrcmp(argv[1], "--skins") == 0)
        return argc > 2 ? writeSkins(QString::fromLocal8Bit(argv[2])) : 2;
    Writer out;
    out.assets = QDir(QString::fromLocal8Bit(argv[1]));
    out.assets.mkpath(QStringLiteral("."));
    if (argc > 2) {
        out.preview = QDir(QString::fromLocal8Bit(argv[2]));
        out.preview.mkpath(QStringLiteral("."));
        out.withPreview = true;
    }

    const QImage main = mainBackground();
    const QImage options = optionsBackground();
    const QImage info = infoBackground();
    out.save(main.convertToFormat(QImage::Format_RGB32), QStringLiteral("Main.jpg"), "JPG", 92);
    out.save(options.convertToFormat(QImage::Format_RGB32), QStringLiteral("MainOption.jpg"), "JPG", 92);
    out.save(info.convertToFormat(QImage::Format_RGB32), QStringLiteral("Info.jpg"), "JPG", 92);

    // Shaped pictures are keyed against the background at their place in the window.
    auto under = [](const QImage &bg, QRect r) { return bg.copy(r); };

    const PillStyle send{QColor(222, 240, 208), QColor(120, 168, 104), QColor(28, 44, 26),
                         QColor(10, 22, 10)};
    const PillStyle graphite{QColor(112, 132, 122), QColor(40, 50, 46), Lime, QColor(6, 10, 8)};
    writeButtons(out, main, options, send, graphite);

    const QRect movePlace(431, 194, 34, 32);
    const QImage move = keyOnto(dragHandle(movePlace.size()), under(main, movePlace), KeyMagenta);
    out.save(move, QStringLiteral("Move.bmp"), "BMP");

    const QRect ledPlace(11, 229, 14, 14);
    const QImage ledOff = keyOnto(ledImage(false), under(main, ledPlace), KeyMagenta, 40);
    const QImage ledOn = keyOnto(ledImage(true), under(main, ledPlace), KeyMagenta, 40);
    out.save(ledOff, QStringLiteral("LED-0.bmp"), "BMP");
    out.save(ledOn, QStringLiteral("LED-1.bmp"), "BMP");

    const QRect logoPlace(40, 10, 133, 17);
    const QImage logo = keyOnto(logoArt(logoPlace.size()), under(main, logoPlace), KeyMagenta, 72);
    if (!writeGif(out.assets.filePath(QStringLiteral("Logo.gif")), logo, KeyMagenta) ||
        !QFile::setPermissions(out.assets.filePath(QStringLiteral("Logo.gif")),
                               QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther)) {
        std::fprintf(stderr, "cannot write the logo\n");
        out.ok = false;
    }

    if (out.withPreview) {
        QImage(out.assets.filePath(QStringLiteral("Logo.gif")))
            .save(out.preview.filePath(QStringLiteral("Logo.png")));

        // The main window as it looks at start, from the written files.
        QImage mock(
            QImage(out.assets.filePath(QStringLiteral("Main.jpg"))).convertToFormat(QImage::Format_RGB32));
        QPainter p(&mock);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.fillRect(QRect(15, 35, 444, 103), Qt::black);
        p.setFont(sansFont(11, false));
        p.setPen(QColor(255, 200, 120));
        p.drawText(QPoint(19, 49), QStringLiteral("Anna sagt: Hallo zusammen!"));
        p.setPen(QColor(150, 200, 255));
        QFont italic = sansFont(11, false);
        italic.setItalic(true);
        p.setFont(italic);
        p.drawText(QPoint(19, 63), QStringLiteral("Bernd hat den Chatroom betreten."));
        const QColor own(180, 230, 160);
        p.fillRect(QRect(49, 148, 47, 18), own);
        p.setPen(QColor(255 - own.red(), 255 - own.green(), 255 - own.blue()));
        p.setFont(sansFont(11, false));
        p.drawText(QRect(49, 148, 47, 18), Qt::AlignCenter, QStringLiteral("Farbe..."));
        fieldMock(p, QRect(101, 147, 124, 21), QStringLiteral("Name"));
        fieldMock(p, QRect(232, 147, 145, 21), QStringLiteral("sagt:"), true);
        fieldMock(p, QRect(16, 170, 441, 23), QStringLiteral("Nachricht"));
        drawKeyed(p, {104, 198}, QImage(out.assets.filePath(QStringLiteral("BtnSend-Up.bmp"))));
        drawKeyed(p, {224, 198}, QImage(out.assets.filePath(QStringLiteral("BtnOptions-Over.bmp"))));
        drawKeyed(p, {416, 10}, QImage(out.assets.filePath(QStringLiteral("BtnMinimize-Up.bmp"))));
        drawKeyed(p, {440, 10}, QImage(out.assets.filePath(QStringLiteral("BtnClose-Up.bmp"))));
        drawKeyed(p, {431, 194}, QImage(out.assets.filePath(QStringLiteral("Move.bmp"))));
        drawKeyed(p, {11, 229}, QImage(out.assets.filePath(QStringLiteral("LED-1.bmp"))));
        p.drawImage(QPoint(40, 10), QImage(out.assets.filePath(QStringLiteral("Logo.gif"))));
        p.setPen(StatusText);
        p.setFont(sansFont(11, false));
        p.drawText(QRect(32, 230, 390, 14), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Hallo WERKSTATT-PC!"));
        p.end();
        mock.save(out.preview.filePath(QStringLiteral("mock-main.png")));

        QImage optMock(QImage(out.assets.filePath(QStringLiteral("MainOption.jpg")))
                           .convertToFormat(QImage::Format_RGB32));
        QPainter q(&optMock);
        q.setRenderHint(QPainter::TextAntialiasing);
        q.setFont(sansFont(11, false));
        q.setPen(OptionsText);
        q.drawText(QPoint(16, 22), QStringLiteral("Nachrichten senden an:"));
        q.fillRect(QRect(17, 26, 145, 57), FieldColor);
        q.setPen(FieldText);
        q.drawText(QPoint(36, 37), QStringLiteral("WERKSTATT-PC"));
        fieldMock(q, QRect(17, 82, 145, 21), QStringLiteral("Computername"));
        QLinearGradient skin(16, 136, 16, 161);
        skin.setColorAt(0, QColor(64, 64, 64));
        skin.setColorAt(1, QColor(192, 192, 192));
        q.fillRect(QRect(16, 136, 145, 25), skin);
        q.setPen(Qt::black);
        q.drawText(QRect(16, 136, 145, 25), Qt::AlignCenter, QStringLiteral("Skin: [Standard] ..."));
        q.fillRect(QRect(17, 166, 13, 13), QColor(240, 240, 240));
        q.setPen(OptionsText);
        q.drawText(QPoint(34, 178), QStringLiteral("alles in Registry speichern"));
        q.fillRect(QRect(13, 186, 153, 17), QColor(200, 200, 200));
        q.setPen(QColor(140, 140, 140));
        q.drawText(QRect(13, 186, 153, 17), Qt::AlignCenter,
                   QStringLiteral("Einstellungen aus Reg. löschen"));
        drawKeyed(q, {52, 208}, QImage(out.assets.filePath(QStringLiteral("BtnOK-Up.bmp"))));
        q.end();
        optMock.save(out.preview.filePath(QStringLiteral("mock-options.png")));
    }
    return out.ok ? 0 : 1;
}
