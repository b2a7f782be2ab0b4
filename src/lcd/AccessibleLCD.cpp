#include "lcd/AccessibleLCD.h"

#include "controls/AccessibleControls.h"
#include "lcd/LCDScreen.h"
#include "platform/core/Text.h"

#include <QAccessibleWidget>

namespace lcd {

namespace {

// Lines as a screen reader should read them: no blank padding, no empty lines, and none of the
// control codes 10..20 that switch the panel's effects.
QString readable(const QList<QByteArray> &lines)
{
    QStringList text;
    for (QByteArray line : lines) {
        line.removeIf([](char c) { return c >= 10 && c <= 20; });
        const QString shown = platform::fromWindows1252(line).trimmed();
        if (!shown.isEmpty())
            text.append(shown);
    }
    return text.join(QLatin1Char('\n'));
}

class LCDScreenAccessible : public QAccessibleWidget
{
public:
    explicit LCDScreenAccessible(TLCDScreen *screen) : QAccessibleWidget(screen, QAccessible::StatusBar) {}

    QString text(QAccessible::Text kind) const override
    {
        switch (kind) {
        case QAccessible::Description:
            return screen()->accessibleDescription().isEmpty() ? readable(screen()->lines())
                                                               : screen()->accessibleDescription();
        case QAccessible::Value:
            return readable(screen()->displayLines().mid(0, screen()->noOfLines()));
        default:
            return QAccessibleWidget::text(kind);
        }
    }

private:
    TLCDScreen *screen() const { return static_cast<TLCDScreen *>(widget()); }
};

} // namespace

void installAccessibleFactory()
{
    controls::installAccessible<TLCDScreen, LCDScreenAccessible>();
}

} // namespace lcd
