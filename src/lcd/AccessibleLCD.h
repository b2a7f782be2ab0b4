#pragma once

namespace lcd {

// Makes TLCDScreen known to screen readers as a status bar: its accessible value is the text
// the panel shows now, its description (unless one is set) all of its lines. The panel's
// constructor calls it; later calls do nothing.
void installAccessibleFactory();

} // namespace lcd
