#include "app/ChatWidgets.h"

#include <QFocusEvent>
#include <QPainter>


ChatLineEdit::ChatLineEdit(QWidget *parent) : QLineEdit(parent)
{
}

void ChatLineEdit::focusInEvent(QFocusEvent *event)
{
    // QLineEdit selects everything when the focus comes by keyboard; pass the event on as one of
    // no particular reason so the caret and selection stay where they were.
    QFocusEvent neutral(event->type(), Qt::OtherFocusReason);
    QLineEdit::focusInEvent(&neutral);
}

PaintBox::PaintBox(QWidget *parent) : QWidget(parent)
{
}

void PaintBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    Q_EMIT OnPaint(&painter);
}
