#pragma once

#include <QObject>

class QLabel;
class QMouseEvent;
class QWidget;

// Moves a borderless window by its drag areas. While the left button is held on an area the
// window follows the pointer, and the handle's picture shows red and blue exchanged until the
// button goes up. Where the desktop lets no program place its own window (Wayland), the desktop
// drags it instead.
class WindowDragger : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WindowDragger)

public:
    // Drags `window` by `handle` and by any further areas added; both must outlive this object
    // (make it a child of the window).
    WindowDragger(QWidget *window, QLabel *handle);

    // Mouse events on `area` drive the drag from now on.
    void addArea(QWidget *area);
    // Forgets a drag under way, leaving the handle's picture as it is.
    void reset();
    bool isDragging() const { return m_dragging; }

    // The drag handlers, in coordinates relative to the area under the pointer.
    void MoveMouseDown(int X, int Y);
    void MoveMouseMove(int X, int Y);
    void MoveMouseUp(int X, int Y);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void dragMouseEvent(QWidget *area, QMouseEvent *mouse);
    void exchangeRedAndBlueOfHandle();

    QWidget *const m_window;
    QLabel *const m_handle;
    bool m_dragging = false;
    bool m_toggle = false;
    int m_lastX = 0;
    int m_lastY = 0;
    bool m_systemMove = false; // the desktop moves the window (Wayland) while the handle is held
};
