#include "controls/GradBtn.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include <cmath>
#include <utility>

namespace {

// One channel of step i of n: begin + i * d / n, truncated toward zero, kept to a byte.
int channelStep(int begin, int end, int i, int n)
{
    return (begin + i * (end - begin) / n) & 0xff;
}

// The inside of a filled shape in the way the button's canvas fills it: right and bottom edges
// excluded.
QRect spanRect(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

// The keys a toolkit button goes down on and clicks on release. This button knows Enter and its
// accelerator only: Space would show the pressed look and open the drop-down menu.
bool isPushKey(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Space || event->key() == Qt::Key_Select;
}

} // namespace

TGradBtn::TGradBtn(QWidget *parent) : QAbstractButton(parent)
{
    const QPalette system = QApplication::palette();
    m_btnHiliteClr = system.color(QPalette::Light);
    m_btnShadowClr = system.color(QPalette::Dark);
    m_txtHiliteClr = m_btnHiliteClr;
    m_txtShadowClr = m_btnShadowClr;
    m_disabledColor = system.color(QPalette::Disabled, QPalette::Text);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    resize(75, 25);

    // Every way the button goes down or comes up runs through these two signals: a press, the
    // mouse leaving or re-entering with the left button held, and the release before a click.
    connect(this, &QAbstractButton::pressed, this, &TGradBtn::press);
    connect(this, &QAbstractButton::released, this, &TGradBtn::releaseUp);
}

TGradBtn::~TGradBtn() = default;

void TGradBtn::setColorMember(QColor &member, const QColor &color)
{
    if (member == color)
        return;
    member = color;
    update();
}

void TGradBtn::setBeginColor(const QColor &color)
{
    setColorMember(m_beginColor, color);
}

void TGradBtn::setEndColor(const QColor &color)
{
    setColorMember(m_endColor, color);
}

void TGradBtn::setGradientStyle(TGradientStyle style)
{
    if (m_gradientStyle == style)
        return;
    m_gradientStyle = style;
    update();
}

void TGradBtn::setBtnHiliteClr(const QColor &color)
{
    setColorMember(m_btnHiliteClr, color);
}

void TGradBtn::setBtnShadowClr(const QColor &color)
{
    setColorMember(m_btnShadowClr, color);
}

void TGradBtn::setBtnFrameSize(int size)
{
    if (size == m_btnFrameSize || size < 0 || size > width() / 2 - 5 || size > height() / 2 - 5)
        return;
    m_btnFrameSize = size;
    update();
}

void TGradBtn::setTextStyle(TTextStyle style)
{
    if (m_textStyle == style)
        return;
    m_textStyle = style;
    update();
}

void TGradBtn::setTextShadeType(TShadeType type)
{
    if (m_textShadeType == type)
        return;
    m_textShadeType = type;
    update();
}

void TGradBtn::setTxtHiliteClr(const QColor &color)
{
    setColorMember(m_txtHiliteClr, color);
}

void TGradBtn::setTxtShadowClr(const QColor &color)
{
    setColorMember(m_txtShadowClr, color);
}

void TGradBtn::setDisabledColor(const QColor &color)
{
    setColorMember(m_disabledColor, color);
}

void TGradBtn::setJustification(TJustification justification)
{
    if (m_justification == justification)
        return;
    m_justification = justification;
    update();
}

void TGradBtn::setFontColor(const QColor &color)
{
    setColorMember(m_fontColor, color);
}

QMenu *TGradBtn::dropdownMenu() const
{
    return m_dropdownMenu;
}

void TGradBtn::setDropdownMenu(QMenu *menu)
{
    if (m_dropdownMenu == menu)
        return;
    m_dropdownMenu = menu;
    update();
}

QString TGradBtn::displayCaption() const
{
    const QString caption = text();
    QString shown;
    shown.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption.at(i + 1) == QLatin1Char('&'))
                shown += caption.at(++i);
            continue;
        }
        shown += caption.at(i);
    }
    return shown;
}

QColor TGradBtn::gradientStep(const QColor &begin, const QColor &end, int i, int n)
{
    return QColor(channelStep(begin.red(), end.red(), i, n), channelStep(begin.green(), end.green(), i, n),
                  channelStep(begin.blue(), end.blue(), i, n));
}

QSize TGradBtn::sizeHint() const
{
    return {75, 25};
}

bool TGradBtn::event(QEvent *event)
{
    // The accelerator clicks at once, without the pressed look a held mouse button gives.
    if (event->type() == QEvent::Shortcut) {
        if (isEnabled())
            clickByKey();
        return true;
    }
    return QAbstractButton::event(event);
}

void TGradBtn::press()
{
    // click() from a key runs through pressed() as well; only the mouse presses the button.
    if (m_pressed || m_clickingByKey)
        return;
    m_pressed = true;
    if (m_swapColors)
        std::swap(m_beginColor, m_endColor);
    repaint();
    if (m_dropdownMenu && !m_menuShowing) {
        m_menuShowing = true;
        m_dropdownMenu->exec(mapToGlobal(QPoint(0, height())));
        // The release that closed the menu belongs to the menu: it must not click the button.
        setDown(false);
        releaseUp();
    }
}

void TGradBtn::releaseUp()
{
    if (!m_pressed)
        return;
    m_pressed = false;
    if (m_swapColors)
        std::swap(m_beginColor, m_endColor);
    // Shown up before a click handler that follows runs.
    repaint();
}

void TGradBtn::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        setFocus(Qt::MouseFocusReason);
        update();
        event->accept();
        return;
    }
    QAbstractButton::mousePressEvent(event);
}

void TGradBtn::mouseReleaseEvent(QMouseEvent *event)
{
    // The click handler may destroy the button.
    const QPointer<TGradBtn> self(this);
    QAbstractButton::mouseReleaseEvent(event);
    // A release outside leaves the button down in no case.
    if (self && !isDown())
        releaseUp();
}

void TGradBtn::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        clickByKey();
        event->accept();
        return;
    }
    if (isPushKey(event)) {
        event->ignore();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void TGradBtn::keyReleaseEvent(QKeyEvent *event)
{
    // A Space released while the mouse holds the button down would click it.
    if (isPushKey(event)) {
        event->ignore();
        return;
    }
    QAbstractButton::keyReleaseEvent(event);
}

void TGradBtn::clickByKey()
{
    m_clickingByKey = true;
    click();
    m_clickingByKey = false;
}

void TGradBtn::enterEvent(QEnterEvent *event)
{
    QAbstractButton::enterEvent(event);
    Q_EMIT OnMouseEnter();
}

void TGradBtn::leaveEvent(QEvent *event)
{
    QAbstractButton::leaveEvent(event);
    Q_EMIT OnMouseLeave();
}

void TGradBtn::focusInEvent(QFocusEvent *event)
{
    QAbstractButton::focusInEvent(event);
    update();
}

void TGradBtn::focusOutEvent(QFocusEvent *event)
{
    QAbstractButton::focusOutEvent(event);
    update();
}

void TGradBtn::changeEvent(QEvent *event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange)
        update();
}

void TGradBtn::paintEvent(QPaintEvent *)
{
    renderFace();
    QPainter painter(this);
    painter.drawImage(0, 0, m_buttonImage);
    if (!m_pressed)
        m_menuShowing = false;
}

void TGradBtn::renderFace()
{
    m_buttonImage = QImage(size(), QImage::Format_RGB32);
    if (m_buttonImage.isNull())
        return;
    fillGradient(m_buttonImage, m_beginColor, m_endColor);
    const int w = width();
    const int h = height();
    if (m_dropdownMenu) {
        QPainter painter(&m_buttonImage);
        painter.setPen(m_fontColor);
        painter.setBrush(m_fontColor);
        const int y = (h - 4) / 2;
        const QPoint arrow[] = {{w - 14, y}, {w - 8, y}, {w - 11, y + 3}};
        painter.drawPolygon(arrow, 3);
    }
    drawBevel(m_buttonImage);
    drawCaption(m_buttonImage);
    if (m_showFocus && hasFocus())
        invertFocusRect(m_buttonImage);
}

void TGradBtn::fillGradient(QImage &image, QColor begin, QColor end) const
{
    const int w = image.width();
    const int h = image.height();
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    switch (m_gradientStyle) {
    case gsHorizontal:
        for (int i = 0; i < 256; ++i)
            painter.fillRect(spanRect(i * w / 256, 0, (i + 1) * w / 256, h),
                             gradientStep(begin, end, i, 255));
        break;
    case gsVertical:
        for (int i = 0; i < 256; ++i)
            painter.fillRect(spanRect(0, i * h / 256, w, (i + 1) * h / 256),
                             gradientStep(begin, end, i, 255));
        break;
    case gsElliptic: {
        const int x0 = -(w / 3);
        const int x1 = w + w / 3;
        const int y0 = -(h / 3);
        const int y1 = h + h / 3;
        image.fill(begin);
        for (int i = 0; i <= 50; ++i) {
            const int ox = (x1 - x0) * i / 100;
            const int oy = (y1 - y0) * i / 100;
            painter.setBrush(gradientStep(begin, end, i, 50));
            painter.drawEllipse(spanRect(x0 + ox, y0 + oy, x1 - ox, y1 - oy));
        }
        break;
    }
    case gsRectangle: {
        double left = 0;
        double top = 0;
        double right = w + 2;
        double bottom = h + 2;
        const double sx = w / 2.0 / 255.0;
        const double sy = h / 2.0 / 255.0;
        for (int i = 0; i < 256; ++i) {
            left += sx;
            right -= sx;
            top += sy;
            bottom -= sy;
            // nearbyint rounds halves to even under the default rounding mode.
            painter.fillRect(
                spanRect(static_cast<int>(std::nearbyint(left)), static_cast<int>(std::nearbyint(top)),
                         static_cast<int>(std::nearbyint(right)), static_cast<int>(std::nearbyint(bottom))),
                gradientStep(begin, end, i, 255));
        }
        break;
    }
    case gsVertCenter: {
        const int half = h / 2;
        for (int i = 0; i <= half; ++i) {
            const QColor color = half == 0 ? begin : gradientStep(begin, end, i, half);
            painter.fillRect(0, i, w, 1, color);
            painter.fillRect(0, h - 1 - i, w, 1, color);
        }
        break;
    }
    case gsHorizCenter: {
        const int half = w / 2;
        for (int i = 0; i <= half; ++i) {
            const QColor color = half == 0 ? begin : gradientStep(begin, end, i, half);
            painter.fillRect(i, 0, 1, h, color);
            painter.fillRect(w - 1 - i, 0, 1, h, color);
        }
        break;
    }
    }
}

void TGradBtn::drawBevel(QImage &image) const
{
    const QColor lit = m_pressed ? m_btnShadowClr : m_btnHiliteClr;
    const QColor shaded = m_pressed ? m_btnHiliteClr : m_btnShadowClr;
    const int w = image.width();
    const int h = image.height();
    QPainter painter(&image);
    for (int k = 0; k < m_btnFrameSize; ++k) {
        const int right = w - 1 - k;
        const int bottom = h - 1 - k;
        if (right < k || bottom < k)
            break;
        painter.fillRect(k, k, right - k, 1, lit);  // top, without its right corner
        painter.fillRect(k, k, 1, bottom - k, lit); // left, without its bottom corner
        painter.fillRect(k, bottom, right - k + 1, 1, shaded);
        painter.fillRect(right, k, 1, bottom - k + 1, shaded);
    }
}

void TGradBtn::drawCaption(QImage &image) const
{
    const QString caption = text();
    if (caption.isEmpty())
        return;
    QPainter painter(&image);
    painter.setFont(font());
    const QFontMetrics metrics(font());
    const int tw = metrics.horizontalAdvance(displayCaption());
    const int th = metrics.height();
    const int w = image.width();
    const int h = image.height();
    const int p = m_pressed ? 1 : 0;
    const int menuOffset = m_dropdownMenu ? -6 : 0;
    int x = p + 2;
    if (m_justification == jCenter)
        x = (w - tw) / 2 + p + menuOffset;
    else if (m_justification == jRight)
        x = w - tw - 8 + p + menuOffset;
    const int y = (h - th) / 2 + p;
    const auto pass = [&](const QColor &color, int dx, int dy) {
        painter.setPen(color);
        painter.drawText(QRect(x + dx, y + dy, tw + 1, th),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic, caption);
    };
    const bool heavy = m_textShadeType == stHeavy;
    if (!isEnabled() || m_textStyle == tsInset) {
        if (heavy)
            pass(m_txtShadowClr, -1, -1);
        pass(m_txtHiliteClr, 1, 1);
        pass(isEnabled() ? m_fontColor : m_disabledColor, 0, 0);
    } else if (m_textStyle == tsRaised) {
        pass(m_txtHiliteClr, -1, -1);
        if (heavy)
            pass(m_txtShadowClr, 1, 1);
        pass(m_fontColor, 0, 0);
    } else {
        pass(m_fontColor, 0, 0);
    }
}

void TGradBtn::invertFocusRect(QImage &image) const
{
    const int right = image.width() - 3;
    const int bottom = image.height() - 3;
    if (right < 2 || bottom < 2)
        return;
    const auto invert = [&image](int x, int y) { image.setPixel(x, y, ~image.pixel(x, y) | 0xff000000u); };
    // A dotted line: every second pixel along the ring, counted from its top-left corner.
    int step = 0;
    for (int x = 2; x <= right; ++x, ++step)
        if (step % 2 == 0)
            invert(x, 2);
    for (int y = 3; y <= bottom; ++y, ++step)
        if (step % 2 == 0)
            invert(right, y);
    for (int x = right - 1; x >= 2; --x, ++step)
        if (step % 2 == 0)
            invert(x, bottom);
    for (int y = bottom - 1; y > 2; --y, ++step)
        if (step % 2 == 0)
            invert(2, y);
}
