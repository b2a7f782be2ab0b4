#pragma once

#include <QObject>
#include <QPixmap>

#include <array>
#include <functional>

class PaintBox;
class QPainter;
class QTimer;

// The LED beside the status line: it blinks for every line the history shows. While lines are
// being shown it keeps toggling; afterwards the burst toggles at least three times in all and
// ends, unlit, by the seventh tick. The very first tick comes 50 ms after its line, every later
// one 5 to 104 ms after the tick before, as the random numbers say.
class ReceiveLed : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReceiveLed)

public:
    // Random numbers 0 .. range - 1.
    using Random = std::function<int(int range)>;

    // Paints `led` (owned by its window, which must outlive this object).
    ReceiveLed(PaintBox *led, Random random, QObject *parent);

    // Brackets the showing of one line: the burst starts anew and lasts at least until the end.
    void beginLine();
    void endLine();
    // Forgets a burst under way (the LED stays as it is until the next tick).
    void reset();

    // 0 unlit, 1 lit.
    int state() const { return m_state; }
    const QPixmap &picture(bool lit) const { return m_pictures[lit ? 1 : 0]; }

    // Handlers: the timer's tick, and the painting of the LED.
    void LEDTimerTimer();
    void LEDPaint(QPainter *painter);

private:
    PaintBox *const m_led;
    const Random m_random;
    const std::array<QPixmap, 2> m_pictures; // 0 unlit, 1 lit
    QTimer *const m_timer;
    int m_state = 0;
    int m_blinkCounter = 0;
    bool m_displaying = false;
};
