#pragma once

#include "controls/GradBtn.h"
#include "controls/StateButton.h"
#include "settings/OptionsQ.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

// The options window's controls as the tests reach them: by their object names, the way a
// screen reader or an automation tool finds them.
struct OptionFormWidgets
{
    explicit OptionFormWidgets(const TOptionForm &form) : m_form(form) {}

    template <typename T> T *find(const char *name) const
    {
        T *found = m_form.findChild<T *>(QLatin1String(name));
        if (!found)
            ADD_FAILURE() << "the options window has no control " << name;
        return found;
    }

    const TOptionForm &m_form;
    QLabel *const ImageMainOption = find<QLabel>("ImageMainOption");
    QLabel *const LabelSaveRegCheck = find<QLabel>("LabelSaveRegCheck");
    TStateButton *const ButtonOK = find<TStateButton>("ButtonOK");
    QGroupBox *const GroupBox1 = find<QGroupBox>("GroupBox1");
    QLineEdit *const ReceiveEdit = find<QLineEdit>("ReceiveEdit");
    QPushButton *const ButtonAdd = find<QPushButton>("ButtonAdd");
    QPushButton *const ButtonDel = find<QPushButton>("ButtonDel");
    QListView *const ReceiverList = find<QListView>("ReceiverList");
    QCheckBox *const SaveRegCheck = find<QCheckBox>("SaveRegCheck");
    QPushButton *const ButtonDelOptions = find<QPushButton>("ButtonDelOptions");
    TGradBtn *const ButtonSkin = find<TGradBtn>("ButtonSkin");
};

inline OptionFormWidgets ui(const TOptionForm &form)
{
    return OptionFormWidgets(form);
}
