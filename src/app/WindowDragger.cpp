#include "app/WindowDragger.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QWindow>

WindowDragger::WindowDragger(QWidget *window, QLabel *handle)
    : QObject(window), m_window(window), m_handle(handle)
{
    addArea(handle);
}

void WindowDragger::addArea(QWidget *area)
{
    area->installEventFilter(this);
}

void WindowDragger::reset()
{
    m_dragging = false;
    m_toggle = false;
}

bool WindowDragger::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        // Only areas are watched; every mouse event on them is the drag's.
        dragMouseEvent(static_cast<QWidget *>(watched), static_cast<QMouseEvent *>(event));
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

// Turns the mouse on a drag area into the three drag handlers. Coordinates are taken from the
// pointer's screen position and the window's own idea of where it is, so events queued before a
// move of the window cannot make it drift. After every move of the window the report that a
// window moving under a resting pointer produces follows at once, which the handlers expect in
// order to follow the pointer exactly.
void WindowDragger::dragMouseEvent(QWidget *area, QMouseEvent *mouse)
{
    const auto relative = [this, area](const QPointF &global) {
        return global.toPoint() - m_window->geometry().topLeft() - area->pos();
    };
    const QPoint at = relative(mouse->globalPosition());

    switch (mouse->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (mouse->button() != Qt::LeftButton || m_dragging)
            return;
        MoveMouseDown(at.x(), at.y());
        // Wayland lets no program place its own window: the desktop drags it instead.
        if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) && m_window->windowHandle())
            m_systemMove = m_window->windowHandle()->startSystemMove();
        return;
    case QEvent::MouseMove:
        if (m_systemMove) {
            // The desktop keeps the pointer for itself until the button goes up.
            if (!mouse->buttons().testFlag(Qt::LeftButton))
                MoveMouseUp(m_lastX, m_lastY);
            return;
        }
        MoveMouseMove(at.x(), at.y());
        if (m_dragging && m_toggle) {
            const QPoint after = relative(mouse->globalPosition());
            MoveMouseMove(after.x(), after.y());
        }
        return;
    case QEvent::MouseButtonRelease:
        if (mouse->button() != Qt::LeftButton)
            return;
        if (m_systemMove)
            MoveMouseUp(m_lastX, m_lastY);
        else
            MoveMouseUp(at.x(), at.y());
        return;
    default:
        return;
    }
}

void WindowDragger::exchangeRedAndBlueOfHandle()
{
    m_handle->setPixmap(QPixmap::fromImage(m_handle->pixmap().toImage().rgbSwapped()));
}

void WindowDragger::MoveMouseDown(int X, int Y)
{
    m_lastX = X;
    m_lastY = Y;
    m_toggle = false;
    // A second press while held must not exchange the colours back.
    if (m_dragging)
        return;
    m_dragging = true;
    exchangeRedAndBlueOfHandle();
}

void WindowDragger::MoveMouseMove(int X, int Y)
{
    if (!m_dragging)
        return;
    m_toggle = !m_toggle;
    if (m_toggle && (X != m_lastX || Y != m_lastY))
        m_window->move(m_window->pos() + QPoint(X - m_lastX, Y - m_lastY));
    m_lastX = X;
    m_lastY = Y;
}

void WindowDragger::MoveMouseUp(int X, int Y)
{
    // A release without its press would leave the handle with exchanged colours.
    if (!m_dragging)
        return;
    m_dragging = false;
    m_systemMove = false;
    if (X != m_lastX || Y != m_lastY)
        m_window->move(m_window->pos() + QPoint(X - m_lastX, Y - m_lastY));
    exchangeRedAndBlueOfHandle();
}
