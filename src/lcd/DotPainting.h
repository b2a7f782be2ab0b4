#pragma once

#include <QImage>

#include <vector>

// The pixel work of the LCD panel's renderer: the shape of one dot, and stamping dots and copying
// pre-drawn cells into the panel's image. Images are Format_RGB32.
namespace lcd {

// Which pixels of a w x h box a dot covers: the whole box, or the ellipse inside it.
std::vector<bool> dotMask(int w, int h, bool round);

// Sets the pixels of `mask` (a w x h box) at (x, y) of `image` to `color`, clipped to the image.
void stamp(QImage &image, int x, int y, int w, int h, const std::vector<bool> &mask, QRgb color);

// Copies `source` to (x, y) of `target`, clipped.
void blit(QImage &target, const QImage &source, int x, int y);

} // namespace lcd
