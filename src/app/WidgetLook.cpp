#include "app/WidgetLook.h"

#include "app/ChatHistory.h"
#include "assets/StandardLook.h"
#include "controls/KeyColor.h"
#include "controls/StateButton.h"
#include "pictures/Pictures.h"

#include <QLabel>
#include <QScrollBar>

namespace widgetlook {

QColor fieldColor()
{
    return {192, 216, 184};
}

QColor fontColor()
{
    return {55, 55, 67};
}

void setColors(QWidget *widget, QPalette::ColorRole backgroundRole, const QColor &background,
               QPalette::ColorRole textRole, const QColor &text)
{
    QPalette palette = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, backgroundRole, background);
        palette.setColor(group, textRole, text);
    }
    widget->setPalette(palette);
}

void setTextColor(QWidget *widget, const QColor &text)
{
    QPalette palette = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::WindowText, text);
    widget->setPalette(palette);
}

void setFieldColors(QWidget *field)
{
    setColors(field, QPalette::Base, fieldColor(), QPalette::Text, fontColor());
}

QLabel *pictureLabel(QWidget *parent, const QImage &picture)
{
    auto *label = new QLabel(parent);
    label->setPixmap(QPixmap::fromImage(picture));
    return label;
}

QImage keyedBitmap(const QString &resource)
{
    return controls::keyedTransparent(platform::loadBitmap(resource));
}

TStateButton *bitmapButton(QWidget *parent, const QString &bitmaps, bool withDisabled)
{
    auto *button = new TStateButton(parent);
    button->setBitmapUp(platform::loadBitmap(StandardLook::up(bitmaps)));
    button->setBitmapOver(platform::loadBitmap(StandardLook::over(bitmaps)));
    button->setBitmapDown(platform::loadBitmap(StandardLook::down(bitmaps)));
    if (withDisabled)
        button->setBitmapDisabled(platform::loadBitmap(StandardLook::disabled(bitmaps)));
    return button;
}

void styleStatusLine(QLabel *label)
{
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextColor(label, QColor(172, 255, 145));
}

void styleHistory(ChatHistory *history)
{
    history->setReadOnly(true);
    // Nothing in the history is ever undone: an undo record per line would only grow with it.
    history->setUndoRedoEnabled(false);
    // Chat lines are Windows-1252 text: no script in it needs shaping, and skipping it halves the
    // cost of laying out each received line.
    QFont font = history->font();
    font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::PreferNoShaping));
    history->setFont(font);
    history->setFrameShape(QFrame::NoFrame);
    history->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    history->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    history->setFocusPolicy(Qt::ClickFocus);
    setColors(history, QPalette::Base, Qt::black, QPalette::Text, Qt::white);
    // A dark scroll bar that belongs to the black history rather than a white strip beside it.
    setColors(history->verticalScrollBar(), QPalette::Window, QColor(16, 20, 18), QPalette::ButtonText,
              QColor(150, 170, 150));
    setColors(history->verticalScrollBar(), QPalette::Button, QColor(52, 62, 56), QPalette::Base,
              QColor(16, 20, 18));
}

} // namespace widgetlook
