#pragma once

#include "app/ChatHistory.h"
#include "app/ChatLineEdit.h"
#include "app/MessagerQ.h"
#include "app/PaintBox.h"
#include "controls/StateButton.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFrame>
#include <QLabel>

// The chat window's controls as the tests reach them: by their object names, the way a screen
// reader or an automation tool finds them.
struct ChatWindowWidgets
{
    explicit ChatWindowWidgets(const TForm1 &form) : m_form(form) {}

    template <typename T> T *find(const char *name) const
    {
        T *found = m_form.findChild<T *>(QLatin1String(name), Qt::FindDirectChildrenOnly);
        if (!found)
            ADD_FAILURE() << "the chat window has no control " << name;
        return found;
    }

    const TForm1 &m_form;
    QLabel *const ImageMain = find<QLabel>("ImageMain");
    QFrame *const BevelColor = find<QFrame>("BevelColor");
    QLabel *const LabelColor = find<QLabel>("LabelColor");
    QLabel *const Move = find<QLabel>("Move");
    PaintBox *const LED = find<PaintBox>("LED");
    QLabel *const StatusLabel = find<QLabel>("StatusLabel");
    TStateButton *const ButtonClose = find<TStateButton>("ButtonClose");
    TStateButton *const ButtonMinimize = find<TStateButton>("ButtonMinimize");
    TStateButton *const SendButton = find<TStateButton>("SendButton");
    QLabel *const LabelToMove = find<QLabel>("LabelToMove");
    TStateButton *const BtnOptions = find<TStateButton>("BtnOptions");
    QLabel *const ImagePlauderdeckLogo = find<QLabel>("ImagePlauderdeckLogo");
    ChatLineEdit *const NameEdit = find<ChatLineEdit>("NameEdit");
    QComboBox *const ComboBoxMode = find<QComboBox>("ComboBoxMode");
    ChatLineEdit *const MessageEdit = find<ChatLineEdit>("MessageEdit");
    ChatHistory *const MessageMemo = find<ChatHistory>("MessageMemo");
};

inline ChatWindowWidgets ui(const TForm1 &form)
{
    return ChatWindowWidgets(form);
}
