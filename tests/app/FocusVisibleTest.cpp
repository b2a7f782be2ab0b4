#include "app/MessagerQ.h"
#include "platform/gui/FocusRing.h"
#include "settings/OptionsQ.h"
#include "skins/SkinSelectQ.h"
#include "support/TempSettings.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QApplication>

namespace {

// Every control the tab key reaches shows where the focus is: its part of the window looks
// different with the focus than without. The chat window, the options window and the skin
// dialog (with no skins, so its list is empty) are gone through control by control.
TEST(FocusVisibleTest, EveryControlTheTabKeyReachesShowsItsFocus)
{
    TempSettings settings;
    platform::FocusRing ring;
    TForm1::Setup setup;
    setup.port = 0;
    setup.listenAddress = "127.0.0.1";
    setup.skinPlaces = QStringList{};
    TForm1 form(setup);
    TOptionForm options;
    form.setOptionForm(&options);
    form.show();
    ASSERT_NE(form.skinDialog(), nullptr);

    for (QWidget *window : {static_cast<QWidget *>(&form), static_cast<QWidget *>(&options),
                            static_cast<QWidget *>(form.skinDialog())}) {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == window; }))
            << window->windowTitle().toStdString();
        int reached = 0;
        for (QWidget *control : window->findChildren<QWidget *>()) {
            if (!(control->focusPolicy() & Qt::TabFocus) || !control->isVisible() || !control->isEnabled() ||
                control->focusProxy())
                continue;
            SCOPED_TRACE(window->windowTitle().toStdString() + " " + control->objectName().toStdString() +
                         " " + control->metaObject()->className());
            ++reached;
            // The frame of the ring lies just outside the control.
            const QRect around(control->mapTo(window, QPoint(-4, -4)), control->size() + QSize(8, 8));
            window->setFocus();
            ASSERT_TRUE(waitFor([&] { return !control->hasFocus(); }));
            const QImage without = window->grab(around).toImage();
            control->setFocus(Qt::TabFocusReason);
            ASSERT_TRUE(waitFor([&] { return control->hasFocus(); }));
            EXPECT_NE(window->grab(around).toImage(), without);
        }
        EXPECT_GT(reached, 0);
        window->hide();
    }
}

} // namespace
