#include "app/ReceiveLed.h"
#include "app/PaintBox.h"

#include <gtest/gtest.h>

#include <QTimer>

// The random numbers decide how long a burst lasts and how fast it blinks; with each case's
// number fixed, both are known exactly.
TEST(ReceiveLed, ABurstLastsWhileLinesAreShownAndThenUntilItsRandomEnd)
{
    struct Case
    {
        int number;   // every random number is this, reduced to its range
        int ticks;    // after the line, up to and including the one that ends the burst
        int interval; // between later ticks
    };
    const Case cases[] = {{0, 4, 5}, {2, 6, 7}, {99, 7, 104}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.number);
        PaintBox box;
        ReceiveLed led(
            &box, [&c](int range) { return c.number % range; }, nullptr);
        auto *timer = led.findChild<QTimer *>(QStringLiteral("LEDTimer"));
        ASSERT_NE(timer, nullptr);

        // While a line is being shown, no tick ends the burst.
        led.beginLine();
        ASSERT_TRUE(timer->isActive());
        EXPECT_EQ(timer->interval(), 50);
        for (int i = 0; i < 9; ++i)
            led.LEDTimerTimer();
        EXPECT_TRUE(timer->isActive());
        EXPECT_EQ(led.state(), 1);
        EXPECT_EQ(timer->interval(), c.interval);

        // The next line starts the count anew; once it is shown the burst runs out.
        led.beginLine();
        led.endLine();
        QList<int> states;
        while (timer->isActive() && states.size() < 20) {
            led.LEDTimerTimer();
            states.append(led.state());
        }
        EXPECT_EQ(states.size(), c.ticks);
        EXPECT_EQ(states.last(), 0);
        EXPECT_EQ(states.first(), 0); // it was lit
    }
}
