#include "app/ChatLineEdit.h"

#include <QFocusEvent>

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
