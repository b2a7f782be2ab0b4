#include "controls/StateButton.h"

#include "controls/AccessibleControls.h"
#include "controls/KeyColor.h"

#include <QAccessible>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcutEvent>

TStateButton::TStateButton(QWidget *parent) : QWidget(parent)
{
    controls::installAccessibleFactory();
    // Moves must arrive without a pressed button so the over bitmap can follow the mouse.
    setMouseTracking(true);
    resize(50, 50);
}

TStateButton::~TStateButton() = default;

void TStateButton::assignFace(Face &face, const QImage &bitmap)
{
    face.source = bitmap;
    // Keyed once here, so a paint is a single copy.
    face.keyed = bitmap.isNull() ? QPixmap() : QPixmap::fromImage(controls::keyedTransparent(bitmap));
}

void TStateButton::setBitmapUp(const QImage &bitmap)
{
    assignFace(m_up, bitmap);
    bitmapUpChanged();
}

void TStateButton::setBitmapDown(const QImage &bitmap)
{
    assignFace(m_down, bitmap);
    update();
}

void TStateButton::setBitmapOver(const QImage &bitmap)
{
    assignFace(m_over, bitmap);
    bitmapOverChanged();
}

void TStateButton::setBitmapDisabled(const QImage &bitmap)
{
    assignFace(m_disabled, bitmap);
    update();
}

void TStateButton::bitmapUpChanged()
{
    applyBitmapSize();
    buildHitArea(m_up.source);
    update();
}

void TStateButton::bitmapOverChanged()
{
    if (m_up.source.isNull() && !m_over.source.isNull()) {
        resize(m_over.source.size());
        buildHitArea(m_over.source);
    }
    update();
}

void TStateButton::applyBitmapSize()
{
    // A fixed size makes every later resize or setGeometry keep the up bitmap's size while the
    // requested position is still taken.
    if (!m_up.source.isNull() && m_up.source.width() > 0 && m_up.source.height() > 0) {
        setFixedSize(m_up.source.size());
    } else {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
}

void TStateButton::buildHitArea(const QImage &bitmap)
{
    m_transparentColor = QColor::fromRgb(controls::keyColor(bitmap));
    if (bitmap.isNull()) {
        m_hitMask = QImage();
        return;
    }
    const QImage keyed = controls::keyedTransparent(bitmap);
    QImage mask(bitmap.size(), QImage::Format_Mono);
    mask.setColor(0, qRgb(255, 255, 255));
    mask.setColor(1, qRgb(0, 0, 0));
    for (int y = 0; y < keyed.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(keyed.constScanLine(y));
        for (int x = 0; x < keyed.width(); ++x)
            mask.setPixel(x, y, qAlpha(line[x]) == 0 ? 0 : 1);
    }
    m_hitMask = mask;
}

bool TStateButton::hitTest(int x, int y) const
{
    // A release outside the button after a press on it is never a hit, mask or not.
    if (!rect().contains(x, y))
        return false;
    if (m_hitMask.isNull())
        return true;
    if (!m_hitMask.valid(x, y))
        return false;
    return m_hitMask.pixelIndex(x, y) == 1;
}

QSize TStateButton::sizeHint() const
{
    if (!m_up.source.isNull())
        return m_up.source.size();
    return size();
}

void TStateButton::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    m_state = enabled ? State::Up : State::Disabled;
    update();
    QAccessible::State changed;
    changed.disabled = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

void TStateButton::setHint(const QString &hint)
{
    if (hint == statusTip())
        return;
    setStatusTip(hint);
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}

void TStateButton::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    updateMnemonic();
    update();
}

void TStateButton::updateMnemonic()
{
    if (m_mnemonicId != 0) {
        releaseShortcut(m_mnemonicId);
        m_mnemonicId = 0;
    }
    const QKeySequence mnemonic = QKeySequence::mnemonic(m_caption);
    if (!mnemonic.isEmpty())
        m_mnemonicId = grabShortcut(mnemonic, Qt::WindowShortcut);
}

const TStateButton::Face &TStateButton::faceToPaint() const
{
    const Face *face = &m_up;
    switch (m_state) {
    case State::Disabled:
        face = &m_disabled;
        break;
    case State::Down:
        face = &m_down;
        break;
    case State::Up:
        if (m_mouseInside)
            face = &m_over;
        break;
    }
    return face->source.isNull() ? m_up : *face;
}

void TStateButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const Face &face = faceToPaint();
    // The window's backing store already holds what lies under the button; the keyed picture
    // goes over it in one copy. A larger picture is cut at the button's edge, a smaller one
    // leaves the rest transparent.
    if (!face.keyed.isNull())
        painter.drawPixmap(0, 0, face.keyed);

    if (!m_caption.isEmpty()) {
        QRect textRect = rect();
        if (m_state == State::Down)
            textRect.translate(1, 1);
        painter.setFont(font());
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, m_caption);
    }
}

void TStateButton::redrawAfterMouse()
{
    // Without an up bitmap the whole area is redrawn through the window; otherwise the button
    // alone repaints at once.
    if (m_up.source.isNull() && m_enabled)
        update();
    else
        repaint();
}

void TStateButton::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    QPointer<TStateButton> self(this);
    Q_EMIT OnMouseDown(event->button(), event->modifiers(), pos);
    if (!self)
        return;
    if (event->button() == Qt::LeftButton && m_enabled && hitTest(pos.x(), pos.y())) {
        m_state = State::Down;
        repaint();
    }
}

void TStateButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click is an ordinary press.
    mousePressEvent(event);
}

void TStateButton::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    QPointer<TStateButton> self(this);
    Q_EMIT OnMouseMove(event->buttons(), event->modifiers(), pos);
    if (!self)
        return;
    const bool inside = hitTest(pos.x(), pos.y());
    if (inside != m_mouseInside) {
        m_mouseInside = inside;
        if (m_state != State::Down)
            redrawAfterMouse();
    }
}

void TStateButton::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    QPointer<TStateButton> self(this);
    Q_EMIT OnMouseUp(event->button(), event->modifiers(), pos);
    if (!self)
        return;
    const bool inside = hitTest(pos.x(), pos.y());
    if (m_state == State::Down) {
        m_state = State::Up;
        repaint();
        redrawAfterMouse();
    }
    if (inside) {
        m_mouseInside = true;
        Q_EMIT OnClick();
    }
}

void TStateButton::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    m_mouseInside = false;
    if (m_state != State::Down)
        redrawAfterMouse();
}

bool TStateButton::event(QEvent *event)
{
    if (event->type() == QEvent::Shortcut) {
        auto *shortcut = static_cast<QShortcutEvent *>(event);
        if (shortcut->shortcutId() == m_mnemonicId && m_mnemonicId != 0 && m_enabled) {
            Q_EMIT OnClick();
            return true;
        }
    }
    return QWidget::event(event);
}

void TStateButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange)
        update();
    QWidget::changeEvent(event);
}
