#pragma once

#include <QString>

namespace platform {

// Opens a web address with the program the desktop associates with it; false if none could.
bool openUrl(const QString &url);

// The text on the clipboard.
QString clipboardText();
void setClipboardText(const QString &text);

} // namespace platform
