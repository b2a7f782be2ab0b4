#pragma once

#include <functional>

namespace platform {

// Blocks in the UI thread's event loop until `condition` holds. The condition is looked at
// first, then after every handled event and at least every 2 ms, so a wait ends as soon as the
// event it waits for has been handled. Events of every kind run inside the wait: windows
// repaint, timers tick and handlers of other features may run (and may wait themselves).
// UI thread only.
void waitUntil(const std::function<bool()> &condition);

} // namespace platform
