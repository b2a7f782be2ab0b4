#pragma once

#include <QAccessible>
#include <QString>

#include <initializer_list>
#include <utility>

class QWidget;

// How the program's controls show themselves to screen readers (AT-SPI on Linux).
namespace controls {

// Makes the painted controls known to screen readers: the bitmap state button as a button
// (disabled and pressed as its own state says, "Press" raises its click) and the hyperlink label
// as a link ("Press" opens it). Each control's constructor calls it; the second call and every
// later one do nothing.
void installAccessibleFactory();

// Installs, once, a factory that gives every `Widget` (told by its class name) the accessible
// interface `Interface`. The installers of the painted controls are made of it.
template <typename Widget, typename Interface> void installAccessible()
{
    static const bool installed = [] {
        QAccessible::installFactory([](const QString &className, QObject *object) -> QAccessibleInterface * {
            if (className == QLatin1String(Widget::staticMetaObject.className()))
                return new Interface(static_cast<Widget *>(object));
            return nullptr;
        });
        return true;
    }();
    Q_UNUSED(installed)
}

// Gives `control` the accessible `name` (unless empty: then the toolkit's own, its caption or
// text) and its hint (status tip) as the accessible description. A scroll area's scroll bars are
// named after it, so that none of its parts a screen reader can operate stays nameless.
void describeControl(QWidget *control, const QString &name = {});
// describeControl for each control with its name.
void describeControls(std::initializer_list<std::pair<QWidget *, QString>> controls);

} // namespace controls
