#include "app/KeyPreview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

KeyPreview::KeyPreview(QWidget *window) : QObject(window), m_window(window)
{
    watch(window);
}

void KeyPreview::watch(QWidget *control)
{
    control->installEventFilter(this);
}

bool KeyPreview::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        // A key event climbs from the focused control to its parents; look at it once, where
        // it starts.
        auto *target = static_cast<QWidget *>(watched);
        QWidget *focus = QApplication::focusWidget();
        if (target->window() == m_window && target == (focus ? focus : m_window))
            Q_EMIT keyDown(static_cast<QKeyEvent *>(event));
    }
    return QObject::eventFilter(watched, event);
}
