#include "skins/SkinLook.h"

#include "controls/StateButton.h"

#include <QWidget>

namespace skins {

void applyButtonBitmaps(TStateButton *button, const SkinLook::Button &bitmaps)
{
    if (bitmaps.Up)
        button->setBitmapUp(*bitmaps.Up);
    if (bitmaps.Over)
        button->setBitmapOver(*bitmaps.Over);
    if (bitmaps.Down)
        button->setBitmapDown(*bitmaps.Down);
    if (bitmaps.Disabled)
        button->setBitmapDisabled(*bitmaps.Disabled);
}

void setColorRole(QWidget *widget, QPalette::ColorRole role, const QColor &color)
{
    QPalette palette = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, role, color);
    widget->setPalette(palette);
}

} // namespace skins
