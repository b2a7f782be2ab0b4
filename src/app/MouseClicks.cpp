#include "app/MouseClicks.h"

#include <QMouseEvent>
#include <QWidget>

MouseClicks::MouseClicks(QWidget *control) : QObject(control), m_control(control)
{
    control->installEventFilter(this);
}

bool MouseClicks::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_control)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        Q_EMIT pressed();
        return true;
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && m_control->rect().contains(mouse->position().toPoint()))
            Q_EMIT clicked();
        Q_EMIT released();
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
