#pragma once

class QByteArray;
class QWidget;

// A received line that the user may not see asks for attention: when `window` is minimised or
// not the active window, the platform's attention request gets the sender as the title and the
// line's visible text (without colour code and style flag). Nothing while the window is active.
void requestAttentionForLine(QWidget *window, const QByteArray &sFrom, const QByteArray &payload);
