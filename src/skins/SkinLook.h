#pragma once

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QString>

#include <functional>
#include <optional>

class QWidget;
class TStateButton;

namespace skins {

// What a skin changes in the windows, decoded from its folder: the background pictures, the
// state bitmaps of the five bitmap buttons, the colours of Skin.ini and the skin's name. Every
// part is optional: a window takes the parts that are set and keeps what it shows for the rest.
// The skin dialog hands a skin on one part at a time, as soon as that part is loaded, so a part
// that fails to load leaves the parts before it applied and the parts after it untouched.
struct SkinLook
{
    // A bitmap button's state bitmaps. An empty Over image takes the button's over bitmap away.
    struct Button
    {
        std::optional<QImage> Up;
        std::optional<QImage> Over;
        std::optional<QImage> Down;
        std::optional<QImage> Disabled;
    };

    std::optional<QImage> Main;
    std::optional<QImage> MainOption;

    Button BtnSend;
    Button BtnOptions;
    Button BtnOK;
    Button BtnMinimize;
    Button BtnClose;

    // Named after their keys in Skin.ini.
    std::optional<QColor> ControlColor;
    std::optional<QColor> ControlFontColor;
    std::optional<QColor> SkinBtnColorOut;
    std::optional<QColor> SkinBtnColorIn;
    std::optional<QColor> SkinBtnColorLight;
    std::optional<QColor> SkinBtnColorShadow;
    std::optional<QColor> SkinBtnColorFont;
    std::optional<QColor> StatusFontColor;
    std::optional<QColor> OptionWindowFontColor;
    std::optional<QColor> MainWindowBackgroundColor;
    std::optional<QColor> OptionWindowBackgroundColor;

    std::optional<QString> Name;
};

// A window's applySkin, as the skin dialog calls it.
using ApplySkin = std::function<void(const SkinLook &)>;

// Gives `button` the bitmaps that `bitmaps` sets.
void applyButtonBitmaps(TStateButton *button, const SkinLook::Button &bitmaps);

// Sets `role` of the widget's palette in every colour group, so the colour holds whether the
// window is active, inactive or the widget disabled.
void setColorRole(QWidget *widget, QPalette::ColorRole role, const QColor &color);

} // namespace skins
