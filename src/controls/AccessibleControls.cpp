#include "controls/AccessibleControls.h"

#include "controls/StateButton.h"
#include "controls/UrlLblU.h"
#include "platform/gui/Shell.h"

#include <QAbstractScrollArea>
#include <QAccessibleWidget>
#include <QScrollBar>

namespace controls {

namespace {

// The hint follows the control: the send button's changes with the receivers.
QString hintOr(const QWidget *control)
{
    const QString hint = control->statusTip();
    return hint.isEmpty() ? control->accessibleDescription() : hint;
}

QString withoutAccelerator(QString caption)
{
    // "&&" stands for one "&"; a single "&" only marks the accelerator.
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return caption;
}

class StateButtonAccessible : public QAccessibleWidget
{
public:
    explicit StateButtonAccessible(TStateButton *button) : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text kind) const override
    {
        switch (kind) {
        case QAccessible::Name:
            return button()->accessibleName().isEmpty() ? withoutAccelerator(button()->caption())
                                                        : button()->accessibleName();
        case QAccessible::Description:
            return hintOr(button());
        default:
            return QAccessibleWidget::text(kind);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        // The button's own flag: the widget itself stays enabled so that it still gets the mouse.
        state.disabled = !button()->isEnabled();
        state.pressed = button()->state() == TStateButton::State::Down;
        state.focusable = false;
        return state;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

    void doAction(const QString &action) override
    {
        // Raised later, as a mouse click is: the click may open a modal window, and the screen
        // reader waits for the answer to its request until that closes.
        if (action == pressAction())
            QMetaObject::invokeMethod(button(), &TStateButton::OnClick, Qt::QueuedConnection);
    }

private:
    TStateButton *button() const { return static_cast<TStateButton *>(widget()); }
};

class UrlLabelAccessible : public QAccessibleWidget
{
public:
    explicit UrlLabelAccessible(TUrlLabel *label) : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text kind) const override
    {
        switch (kind) {
        case QAccessible::Name:
            return label()->accessibleName().isEmpty() ? label()->text() : label()->accessibleName();
        case QAccessible::Description:
            return hintOr(label());
        case QAccessible::Value:
            return label()->linkTarget();
        default:
            return QAccessibleWidget::text(kind);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.linked = true;
        return state;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

    void doAction(const QString &action) override
    {
        // What a left press does, without the colour change of a mouse held down.
        const QString target = label()->linkTarget();
        if (action == pressAction() && TUrlLabel::isWebAddress(target))
            platform::openUrl(target);
    }

private:
    TUrlLabel *label() const { return static_cast<TUrlLabel *>(widget()); }
};

} // namespace

void installAccessibleFactory()
{
    installAccessible<TStateButton, StateButtonAccessible>();
    installAccessible<TUrlLabel, UrlLabelAccessible>();
}

void describeControl(QWidget *control, const QString &name)
{
    if (!name.isEmpty())
        control->setAccessibleName(name);
    control->setAccessibleDescription(control->statusTip());
    if (auto *area = qobject_cast<QAbstractScrollArea *>(control)) {
        const QString of = name.isEmpty() ? control->accessibleName() : name;
        area->verticalScrollBar()->setAccessibleName(QStringLiteral("%1 senkrecht blättern").arg(of));
        area->horizontalScrollBar()->setAccessibleName(QStringLiteral("%1 waagrecht blättern").arg(of));
    }
}

void describeControls(std::initializer_list<std::pair<QWidget *, QString>> controls)
{
    for (const auto &[control, name] : controls)
        describeControl(control, name);
}

} // namespace controls
