#include "platform/core/EventPump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace platform {

void waitUntil(const std::function<bool()> &condition)
{
    if (condition())
        return;
    // The repeating timer is only a guaranteed wake-up: a condition that changes without an
    // event of its own (another thread's flag, say) is seen within 2 ms.
    QTimer wakeUp;
    wakeUp.setTimerType(Qt::PreciseTimer);
    wakeUp.start(2);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    } while (!condition());
}

} // namespace platform
