#include "lcd/LCDScreen.h"

#include "lcd/AccessibleLCD.h"
#include "lcd/DotPainting.h"
#include "lcd/Matrix.h"
#include "platform/gui/Dialogs.h"

#include <QEvent>
#include <QPainter>
#include <QPalette>
#include <QResizeEvent>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

template <typename T> bool assign(T &member, const T &value)
{
    if (member == value)
        return false;
    member = value;
    return true;
}

// (a * b) / c rounded to the nearest integer, halves away from zero.
int mulDiv(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    const long long magnitude = (std::llabs(product) * 2 + c) / (2LL * c);
    return static_cast<int>(product < 0 ? -magnitude : magnitude);
}

quint8 clampCount(int count)
{
    return static_cast<quint8>(std::clamp(count, 1, 255));
}

struct GlyphTable
{
    const unsigned char *dots;
    int columns;
    int rows;
    int lastCode;
};

GlyphTable glyphTable(TDotMatrix matrix)
{
    switch (matrix) {
    case TDotMatrix::mat7x9:
        return {Glyphs7x9, 7, 9, 126};
    case TDotMatrix::mat9x12:
        return {Glyphs9x12, 9, 12, 126};
    case TDotMatrix::mat5x7:
        break;
    }
    return {Glyphs5x7, 5, 7, 254};
}

// The animation timer's interval for a delay. A timer of 0 ms fires whenever the event loop is
// idle and would keep a core busy for as long as the panel animates, so 0 runs as the shortest
// delay a script can ask for; beyond the timer's range the delay stays at its longest.
int timerInterval(quint32 delay)
{
    return static_cast<int>(std::clamp<quint32>(delay, 1, INT_MAX));
}

} // namespace

int ControlCount(const QByteArray &text)
{
    return static_cast<int>(std::count_if(text.cbegin(), text.cend(), [](char c) {
        const auto code = static_cast<unsigned char>(c);
        return code >= 10 && code <= 20;
    }));
}

TLCDScreen::TLCDScreen(QWidget *parent) : QWidget(parent), m_animationTimer(new QTimer(this))
{
    lcd::installAccessibleFactory();
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The first fit sizes the control from its cells, not the cells from a size nobody chose.
    m_lastWidth = width();
    m_lastHeight = height();
    updateColors();
    m_animationTimer->setInterval(timerInterval(m_animationDelay));
    connect(m_animationTimer, &QTimer::timeout, this, &TLCDScreen::tick);
}

TLCDScreen::~TLCDScreen() = default;

void TLCDScreen::setDotMatrix(TDotMatrix matrix)
{
    if (assign(m_dotMatrix, matrix)) {
        buildCells();
        Paint();
    }
}

void TLCDScreen::setDotMatrixBorders(TDotMatrixBorders borders)
{
    if (assign(m_borders, borders)) {
        buildCells();
        Paint();
    }
}

void TLCDScreen::setPixelSize(TPixelSize size)
{
    if (assign(m_pixelSize, size)) {
        buildCells();
        Paint();
    }
}

void TLCDScreen::setPixelWidth(quint8 width)
{
    if (width == m_pixelWidth)
        return;
    if (width == 0) {
        platform::dialogs().error(QStringLiteral("Display pixel width must be 1 or more!"));
        return;
    }
    if (m_pixelSize != TPixelSize::pixCustom)
        return;
    m_pixelWidth = width;
    buildCells();
    Paint();
}

void TLCDScreen::setPixelHeight(quint8 height)
{
    if (height == m_pixelHeight)
        return;
    if (height == 0) {
        platform::dialogs().error(QStringLiteral("Display pixel height must be 1 or more!"));
        return;
    }
    if (m_pixelSize != TPixelSize::pixCustom)
        return;
    m_pixelHeight = height;
    buildCells();
    Paint();
}

void TLCDScreen::setPixelShape(TPixelShape shape)
{
    if (assign(m_pixelShape, shape)) {
        buildCells();
        Paint();
    }
}

void TLCDScreen::setPixelSpacing(quint8 spacing)
{
    if (assign(m_pixelSpacing, spacing)) {
        buildCells();
        Paint();
    }
}

void TLCDScreen::setCharSpacing(quint8 spacing)
{
    if (assign(m_charSpacing, spacing))
        Paint();
}

void TLCDScreen::setLineSpacing(quint8 spacing)
{
    if (assign(m_lineSpacing, spacing))
        Paint();
}

void TLCDScreen::setBorderSpace(quint8 space)
{
    if (assign(m_borderSpace, space))
        Paint();
}

void TLCDScreen::setBorderStyle(TLCDBorder style)
{
    if (assign(m_borderStyle, style))
        Paint();
}

void TLCDScreen::setBorderColor(const QColor &color)
{
    if (assign(m_borderColor, color))
        Paint();
}

void TLCDScreen::setNoOfLines(quint8 lines)
{
    if (lines == m_noOfLines)
        return;
    if (lines == 0) {
        platform::dialogs().error(QStringLiteral("Display needs at least one line!"));
        return;
    }
    m_noOfLines = lines;
    if (m_animationTimer->isActive())
        ReloadLines();
    else
        Paint();
}

void TLCDScreen::setNoOfChars(quint8 chars)
{
    if (chars == m_noOfChars)
        return;
    if (chars == 0) {
        platform::dialogs().error(QStringLiteral("Display needs at least one character!"));
        return;
    }
    m_noOfChars = chars;
    if (m_animationTimer->isActive())
        ReloadLines();
    else
        Paint();
}

void TLCDScreen::setColor(const QColor &color)
{
    if (assign(m_color, color)) {
        buildCells();
        paintUnlessAnimating();
    }
}

void TLCDScreen::setPixelOn(const QColor &color)
{
    if (assign(m_pixelOn, color)) {
        updateColors();
        paintUnlessAnimating();
    }
}

void TLCDScreen::setPixelOff(const QColor &color)
{
    if (assign(m_pixelOff, color)) {
        updateColors();
        paintUnlessAnimating();
    }
}

void TLCDScreen::setIntensity(qint8 intensity)
{
    if (assign(m_intensity, intensity)) {
        updateColors();
        paintUnlessAnimating();
    }
}

void TLCDScreen::setSpecialEffects(TSpecialEffects effects)
{
    if (assign(m_specialEffects, effects)) {
        buildCells();
        paintUnlessAnimating();
    }
}

void TLCDScreen::setHorzScrollMode(THorzScrollMode mode)
{
    if (assign(m_horzScrollMode, mode))
        ReloadLines();
}

void TLCDScreen::setLines(const QList<QByteArray> &lines)
{
    // Positions and counts on the panel are 8-bit: longer texts are cut, never read past.
    m_lines = lines.mid(0, kMaxTextLines);
    for (QByteArray &line : m_lines)
        line.truncate(kMaxTextLength);
    ReloadLines();
}

void TLCDScreen::setAnimationDelay(quint32 delay)
{
    m_animationDelay = delay;
    m_animationTimer->setInterval(timerInterval(delay));
}

void TLCDScreen::setAnimationEnabled(bool enabled)
{
    m_animationEnabled = enabled;
    if (enabled)
        m_animationTimer->start();
    else
        m_animationTimer->stop();
}

void TLCDScreen::paintUnlessAnimating()
{
    if (!m_animationEnabled)
        Paint();
}

void TLCDScreen::updateGeometryFromCells()
{
    if (m_pixelSize != TPixelSize::pixCustom) {
        const auto n = static_cast<quint8>(m_pixelSize);
        m_dotWidth = m_dotHeight = n;
        m_pixelWidth = m_pixelHeight = n;
    } else {
        m_dotWidth = m_pixelWidth;
        m_dotHeight = m_pixelHeight;
    }
    m_cellWidth = m_dotColumns * m_dotWidth + (m_dotColumns - 1) * m_pixelSpacing;
    m_cellHeight = m_dotRows * m_dotHeight + (m_dotRows - 1) * m_pixelSpacing;

    if (width() != m_lastWidth || height() != m_lastHeight) {
        // Resized from outside: as many cells as fit.
        m_noOfChars =
            clampCount((width() + m_charSpacing - 2 * m_borderSpace) / (m_charSpacing + m_cellWidth));
        m_noOfLines =
            clampCount((height() + m_lineSpacing - 2 * m_borderSpace) / (m_lineSpacing + m_cellHeight));
    }
    // The 2 is the one-pixel frame on both sides, drawn or not.
    const int w = m_charSpacing * (m_noOfChars - 1) + 2 * m_borderSpace + m_noOfChars * m_cellWidth + 2;
    const int h =
        std::max(0, m_noOfLines - 1) * m_lineSpacing + 2 * m_borderSpace + m_noOfLines * m_cellHeight + 2;
    m_lastWidth = w;
    m_lastHeight = h;
    if (size() != QSize(w, h))
        resize(w, h);
}

void TLCDScreen::updateColors()
{
    const QColor on = m_pixelOn.toRgb();
    const QColor off = m_pixelOff.toRgb();
    const int factor = 129 - std::abs(static_cast<int>(m_intensity));
    const auto channel = [factor](int onValue, int offValue) {
        return mulDiv(factor, offValue - onValue, 128) & 0xff;
    };
    const QColor mixed(channel(on.red(), off.red()), channel(on.green(), off.green()),
                       channel(on.blue(), off.blue()));
    if (m_intensity >= 0) {
        m_litColor = mixed;
        m_unlitColor = off;
    } else {
        m_litColor = off;
        m_unlitColor = mixed;
    }
    buildCells();
}

void TLCDScreen::buildCells()
{
    const GlyphTable table = glyphTable(m_dotMatrix);
    m_dotColumns = table.columns + (m_borders.testFlag(TDotMatrixBorder::mbLeft) ? 1 : 0) +
                   (m_borders.testFlag(TDotMatrixBorder::mbRight) ? 1 : 0);
    m_dotRows = table.rows + (m_borders.testFlag(TDotMatrixBorder::mbTop) ? 1 : 0) +
                (m_borders.testFlag(TDotMatrixBorder::mbBottom) ? 1 : 0);
    updateGeometryFromCells();

    const bool single = m_pixelSize == TPixelSize::pix1x1;
    const int w = single ? 1 : m_dotWidth;
    const int h = single ? 1 : m_dotHeight;
    const std::vector<bool> cellMask = lcd::dotMask(w, h, !single && m_pixelShape == TPixelShape::psRound);
    m_glyphDotMask = lcd::dotMask(w, h, !single && m_pixelShape != TPixelShape::psSquare);

    m_unlitCell = QImage(m_cellWidth, m_cellHeight, QImage::Format_RGB32);
    m_unlitCell.fill(m_color.toRgb());
    const auto drawDots = [&](QImage &cell, const QColor &color) {
        for (int r = 0; r < m_dotRows; ++r) {
            for (int k = 0; k < m_dotColumns; ++k)
                lcd::stamp(cell, k * (m_dotWidth + m_pixelSpacing), r * (m_dotHeight + m_pixelSpacing), w, h,
                           cellMask, color.rgb());
        }
    };
    drawDots(m_unlitCell, m_unlitColor);
    m_litCell = m_unlitCell.copy();
    drawDots(m_litCell, m_litColor);
}

void TLCDScreen::ReloadLines()
{
    m_displayLines = m_lines;
    padLines();
    Paint();
}

void TLCDScreen::padLines()
{
    while (m_displayLines.size() < m_noOfLines)
        m_displayLines.append(QByteArray());
    const auto padTo = [](QByteArray &line, int length) {
        if (!line.isEmpty() && line.size() < length)
            line.append(length - line.size(), ' ');
    };
    if (m_horzScrollMode == THorzScrollMode::smIndependant) {
        int widestControls = 0;
        for (const QByteArray &line : std::as_const(m_lines))
            widestControls = std::max(widestControls, ControlCount(line));
        for (QByteArray &line : m_displayLines)
            padTo(line, m_noOfChars + widestControls);
    } else {
        // Every line as wide as the widest printable text, so all lines scroll in step.
        int widest = m_noOfChars;
        for (const QByteArray &line : std::as_const(m_displayLines))
            widest = std::max(widest, static_cast<int>(line.size()) - ControlCount(line));
        for (QByteArray &line : m_displayLines)
            padTo(line, ControlCount(line) + widest);
    }
}

void TLCDScreen::Reset(int mode)
{
    if (mode != 1)
        ReloadLines();
    if (mode != 0 && m_animator)
        m_animator->setCurrentLine(0);
}

void TLCDScreen::Paint()
{
    updateGeometryFromCells();
    if (isVisible())
        repaint();
}

QImage TLCDScreen::renderFrame() const
{
    QImage frame(size(), QImage::Format_RGB32);
    frame.fill(m_color.toRgb());
    const int w = frame.width();
    const int h = frame.height();
    if (m_borderStyle != TLCDBorder::bsNone && w > 0 && h > 0) {
        QColor rightBottom = m_borderColor;
        QColor topLeft = m_borderColor;
        if (m_borderStyle == TLCDBorder::bsRaised) {
            rightBottom = palette().color(QPalette::Dark);
            topLeft = palette().color(QPalette::Light);
        } else if (m_borderStyle == TLCDBorder::bsLowered) {
            rightBottom = palette().color(QPalette::Light);
            topLeft = palette().color(QPalette::Dark);
        }
        // Right and bottom first; the top and left edges then own the corners they share.
        const QRgb rb = rightBottom.rgb();
        const QRgb tl = topLeft.rgb();
        for (int y = 0; y < h; ++y)
            frame.setPixel(w - 1, y, rb);
        for (int x = 0; x < w; ++x)
            frame.setPixel(x, h - 1, rb);
        for (int x = 0; x < w; ++x)
            frame.setPixel(x, 0, tl);
        for (int y = 0; y < h - 1; ++y)
            frame.setPixel(0, y, tl);
    }
    if (isEnabled())
        drawLines(frame);
    return frame;
}

void TLCDScreen::drawLines(QImage &frame) const
{
    const bool inverseOn = m_specialEffects.testFlag(TSpecialEffect::spInverse);
    const bool blinkingOn = m_specialEffects.testFlag(TSpecialEffect::spBlinking);
    const int step = m_cellWidth + m_charSpacing;
    for (int i = 0; i < m_noOfLines; ++i) {
        const int y = m_borderSpace + 1 + i * (m_cellHeight + m_lineSpacing);
        const QByteArray s = i < m_displayLines.size() ? m_displayLines.at(i) : QByteArray();
        // A span that a rotation wrapped around the line end, or an opening code without its
        // closing one, marks the line from its start.
        const auto first = [&s](char code) { return s.indexOf(code) + 1; };
        const bool inverseFromStart = first('\x0b') < first('\x0a');
        const bool blinkingFromStart = first('\x0d') < first('\x0c');
        bool inverse = false;
        bool inverseOffSeen = false;
        bool blinking = false;
        bool blinkOffSeen = false;
        int x = m_borderSpace + 1;
        int limit = m_noOfChars;
        for (int pos = 1; pos <= limit; ++pos, x += step) {
            if (s.size() < pos) {
                drawChar(frame, x, y, ' ', inverse);
                continue;
            }
            const auto c = static_cast<unsigned char>(s.at(pos - 1));
            if (c >= 10 && c <= 20) {
                if (c == 10 && inverseOn)
                    inverse = true;
                else if (c == 11) {
                    inverse = false;
                    inverseOffSeen = true;
                } else if (c == 12 && blinkingOn) {
                    blinking = true;
                    blinkOffSeen = false;
                } else if (c == 13) {
                    blinking = false;
                    blinkOffSeen = true;
                }
                x -= step;
                ++limit;
                continue;
            }
            if (inverseFromStart && !inverseOffSeen && inverseOn)
                inverse = true;
            if (blinkingFromStart && blinkingOn)
                blinking = true;
            const bool hidden = blinking && !blinkOffSeen && m_blinkPhase && m_wipeStep == 0;
            drawChar(frame, x, y, hidden ? ' ' : c, inverse);
        }
    }
}

void TLCDScreen::drawChar(QImage &frame, int x, int y, unsigned char code, bool inverse) const
{
    const bool lit = inverse || code == 255;
    lcd::blit(frame, lit ? m_litCell : m_unlitCell, x, y);
    const GlyphTable table = glyphTable(m_dotMatrix);
    // Blank, fully lit, and codes the set has no glyph for draw no dots.
    if (code < kFirstGlyphCode || code > table.lastCode)
        return;
    const QRgb color = (lit ? m_unlitColor : m_litColor).rgb();
    const int left = m_borders.testFlag(TDotMatrixBorder::mbLeft) ? 1 : 0;
    const int top = m_borders.testFlag(TDotMatrixBorder::mbTop) ? 1 : 0;
    const bool single = m_pixelSize == TPixelSize::pix1x1;
    const int w = single ? 1 : m_dotWidth;
    const int h = single ? 1 : m_dotHeight;
    const unsigned char *dots =
        table.dots + static_cast<size_t>(code - kFirstGlyphCode) * table.columns * table.rows;
    for (int r = 0; r < table.rows; ++r) {
        for (int k = 0; k < table.columns; ++k) {
            if (dots[r * table.columns + k])
                lcd::stamp(frame, x + (k + left) * (m_dotWidth + m_pixelSpacing),
                           y + (r + top) * (m_dotHeight + m_pixelSpacing), w, h, m_glyphDotMask, color);
        }
    }
}

void TLCDScreen::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(0, 0, renderFrame());
}

void TLCDScreen::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (width() != m_lastWidth || height() != m_lastHeight)
        updateGeometryFromCells();
}

void TLCDScreen::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        update();
}
