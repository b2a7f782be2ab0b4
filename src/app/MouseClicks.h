#pragma once

#include <QObject>

class QWidget;

// Turns the mouse buttons on a control that has no click of its own (a label, a picture) into
// signals: pressed when a button goes down, clicked when the left one comes up over the control,
// released when any comes up. The control sees no presses and releases of its own any more.
class MouseClicks : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MouseClicks)

public:
    // Watches `control`, whose child it becomes.
    explicit MouseClicks(QWidget *control);

Q_SIGNALS:
    void pressed();
    // Raised before released(), so what it opens sees the control still pressed.
    void clicked();
    void released();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *const m_control;
};
