#pragma once

#include <QString>
#include <QStringList>

// Resource paths of the pictures the windows show before any skin is applied. The button
// bitmaps carry their transparent colour in the bottom-left pixel; the file names match those
// of a skin folder, so the same pictures can also serve as a skin.
namespace StandardLook {

// Window backgrounds (JPEG): main window 474 x 255, options window 179 x 247, info window
// 422 x 274.
inline const QString MainBackground = QStringLiteral(":/standard/Main.jpg");
inline const QString OptionsBackground = QStringLiteral(":/standard/MainOption.jpg");
inline const QString InfoBackground = QStringLiteral(":/standard/Info.jpg");

// The 133 x 17 logo, GIF89a with a transparent colour index.
inline const QString Logo = QStringLiteral(":/standard/Logo.gif");

// The 34 x 32 drag handle and the two 14 x 14 LED images (0 unlit, 1 lit), keyed on magenta in
// their bottom-left pixel.
inline const QString DragHandle = QStringLiteral(":/standard/Move.bmp");
inline const QString LedUnlit = QStringLiteral(":/standard/LED-0.bmp");
inline const QString LedLit = QStringLiteral(":/standard/LED-1.bmp");

// State bitmaps of the bitmap buttons: base + "-Up.bmp", "-Over.bmp", "-Down.bmp" and, for the
// send button, "-Disabled.bmp". Keys: SendButton green, BtnOptions red, the others magenta.
inline const QString SendButton = QStringLiteral(":/standard/BtnSend");
inline const QString OptionsButton = QStringLiteral(":/standard/BtnOptions");
inline const QString OkButton = QStringLiteral(":/standard/BtnOK");
inline const QString MinimizeButton = QStringLiteral(":/standard/BtnMinimize");
inline const QString CloseButton = QStringLiteral(":/standard/BtnClose");

inline QString up(const QString &button)
{
    return button + QStringLiteral("-Up.bmp");
}
inline QString over(const QString &button)
{
    return button + QStringLiteral("-Over.bmp");
}
inline QString down(const QString &button)
{
    return button + QStringLiteral("-Down.bmp");
}
inline QString disabled(const QString &button)
{
    return button + QStringLiteral("-Disabled.bmp");
}

// Every picture of the standard look.
QStringList allPictures();

} // namespace StandardLook
