#pragma once

#include <QLineEdit>

// An edit that keeps its caret and selection when it receives the focus: the chat window's
// fields do not select their whole text on entry, whichever way the focus arrives.
class ChatLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit ChatLineEdit(QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(ChatLineEdit)

protected:
    void focusInEvent(QFocusEvent *event) override;
};
