#pragma once

#include <QFont>

namespace platform {

// Maps the font names the program's windows ask for ("MS Sans Serif", ...) to an installed
// family, so text looks the same on every machine and in the tests. Sets the application's
// default font to the windows' default. Application calls it; safe to call again.
void installProgramFonts();

// The windows' default font: "MS Sans Serif" at 8 pt, that is 11 pixels high.
QFont programFont();

} // namespace platform
