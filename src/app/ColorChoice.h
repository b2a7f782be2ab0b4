#pragma once

#include "chat/ChatLine.h"

#include <QObject>

class QColor;
class QFrame;
class QLabel;

// The own colour: the colour label's background, with the inverse as its caption colour. A click
// on the label opens the colour picker, preset with the colour, while the frame around the label
// is lowered. A colour too dark to read on the black history is refused with a warning.
class ColorChoice : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ColorChoice)

public:
    // Works on `label` and its frame `bevel`, which must outlive this object.
    ColorChoice(QLabel *label, QFrame *bevel, QObject *parent);

    QColor color() const;
    void setColor(const QColor &color);
    // The colour as the chat lines carry it.
    chat::LineColor lineColor() const;

    // Handlers of the label.
    void ButtonColorClick();
    void LabelColorMouseDown();
    void LabelColorMouseUp();

Q_SIGNALS:
    // The user chose a colour other than the one before.
    void chosen();

private:
    QLabel *const m_label;
    QFrame *const m_bevel;
};
