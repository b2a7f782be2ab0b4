#pragma once

#include <QPalette>

class ChatHistory;
class QColor;
class QImage;
class QLabel;
class QString;
class QWidget;
class TStateButton;

// How the chat window's parts look: their colours, pictures and fonts. Colours are set for every
// colour group, so a control looks the same whether its window is active or not, and a disabled
// field keeps the colours it is given.
namespace widgetlook {

// The fields' colours in the standard look.
QColor fieldColor();
QColor fontColor();

void setColors(QWidget *widget, QPalette::ColorRole backgroundRole, const QColor &background,
               QPalette::ColorRole textRole, const QColor &text);
void setTextColor(QWidget *widget, const QColor &text);
// A field in the standard look's field and font colours.
void setFieldColors(QWidget *field);

// A label that only shows a picture at its own size.
QLabel *pictureLabel(QWidget *parent, const QImage &picture);
// A bitmap of the standard look with its key colour (bottom-left pixel) made transparent.
QImage keyedBitmap(const QString &resource);
// A state button with the standard look's bitmaps of the given name.
TStateButton *bitmapButton(QWidget *parent, const QString &bitmaps, bool withDisabled = false);

// The status line: plain text, left-aligned, light green on the window's background.
void styleStatusLine(QLabel *label);
// The history: white on black without a frame, a dark scroll bar that is always there, read only
// and taking the focus only by a click. Call it once the window's font is set.
void styleHistory(ChatHistory *history);

} // namespace widgetlook
