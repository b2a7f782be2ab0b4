#pragma once

#include <QObject>

class QComboBox;
class QLineEdit;

// The way of speaking: an editable box offering eighteen ways (what one does with a dot at the
// end, how one speaks with a colon), "sagt:" chosen. An action needs no message, so while the
// way ends with a dot the message field is disabled and shown darker than the fields: each part
// of the name field's colour less 102, stopping at black. An empty way leaves the field as it is.
class ModeChoice : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ModeChoice)

public:
    // Fills `box`; `message` follows it in the colours of `name`. All must outlive this object.
    ModeChoice(QComboBox *box, QLineEdit *message, QLineEdit *name, QObject *parent);

    // Brings the message field in line with the way; run on every change of the way's text.
    void ComboBoxModeChange();

private:
    QComboBox *const m_box;
    QLineEdit *const m_message;
    QLineEdit *const m_name;
};
