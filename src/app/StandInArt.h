#pragma once

#include <QPixmap>

// Drawn stand-ins for the pictures stored with the main window, at their sizes, until the
// artwork is in: background, logo, drag handle and the two LED images.
namespace standin {

QPixmap mainBackground();    // 474 x 255
QPixmap logo();              // 133 x 17, transparent around the lettering
QPixmap moveHandle();        // 34 x 32, transparent around the arrows
QPixmap led(bool lit);       // 14 x 14

} // namespace standin
