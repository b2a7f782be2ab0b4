#include "app/ColorChoice.h"

#include "app/MouseClicks.h"
#include "app/WidgetLook.h"
#include "platform/gui/Dialogs.h"

#include <QFrame>
#include <QLabel>

#include <optional>

ColorChoice::ColorChoice(QLabel *label, QFrame *bevel, QObject *parent)
    : QObject(parent), m_label(label), m_bevel(bevel)
{
    auto *clicks = new MouseClicks(label);
    connect(clicks, &MouseClicks::pressed, this, &ColorChoice::LabelColorMouseDown);
    // The dialog opens before the frame is raised, so it stays lowered meanwhile.
    connect(clicks, &MouseClicks::clicked, this, &ColorChoice::ButtonColorClick);
    connect(clicks, &MouseClicks::released, this, &ColorChoice::LabelColorMouseUp);
}

QColor ColorChoice::color() const
{
    return m_label->palette().color(QPalette::Window);
}

chat::LineColor ColorChoice::lineColor() const
{
    const QColor own = color();
    return {own.red(), own.green(), own.blue()};
}

void ColorChoice::setColor(const QColor &color)
{
    const QColor inverse(255 - color.red(), 255 - color.green(), 255 - color.blue());
    widgetlook::setColors(m_label, QPalette::Window, color, QPalette::WindowText, inverse);
}

void ColorChoice::ButtonColorClick()
{
    const std::optional<QColor> picked = platform::dialogs().chooseColor(color());
    if (!picked)
        return;
    const int red = picked->red();
    const int green = picked->green();
    const int blue = picked->blue();
    if (red <= 110 && green <= 90 && blue <= 130 && red + green + blue < 210) {
        platform::dialogs().warning(
            QStringLiteral("Die Farbe ist zu dunkel und wird deshalb nicht akzeptiert."));
        return;
    }
    const QColor chosenColor(red, green, blue);
    if (chosenColor == color())
        return;
    setColor(chosenColor);
    Q_EMIT chosen();
}

void ColorChoice::LabelColorMouseDown()
{
    m_bevel->setFrameShadow(QFrame::Sunken);
}

void ColorChoice::LabelColorMouseUp()
{
    m_bevel->setFrameShadow(QFrame::Raised);
}
