#pragma once

#include <QObject>

class QKeyEvent;
class QWidget;

// A window's key preview: the window sees every key pressed in it before the control that has
// the focus. The key travels on to that control afterwards in every case.
class KeyPreview : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KeyPreview)

public:
    // Watches `window` itself and, from watch() on, its controls.
    explicit KeyPreview(QWidget *window);

    // A control of the window that may have the focus.
    void watch(QWidget *control);

Q_SIGNALS:
    void keyDown(QKeyEvent *event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *const m_window;
};
