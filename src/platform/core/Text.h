#pragma once

#include <QByteArray>
#include <QString>

// The program's texts are Windows-1252 bytes wherever they leave a widget: on the wire, in
// lengths and on the LCD panel. These two functions are the one place where widget text
// (Unicode) and those bytes meet. A character that Windows-1252 cannot hold becomes '?'.
namespace platform {

QByteArray toWindows1252(const QString &text);
QString fromWindows1252(const QByteArray &bytes);

} // namespace platform
