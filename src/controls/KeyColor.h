#pragma once

#include <QImage>

// The program's pictures are shaped by a key colour instead of an alpha channel: every pixel
// with the colour of the bottom-left pixel is transparent (white for a monochrome picture).
namespace controls {

// The key colour of `picture`, opaque; white for a monochrome or empty picture.
QRgb keyColor(const QImage &picture);

// `picture` as ARGB32 with every pixel of its key colour transparent and all others opaque.
QImage keyedTransparent(const QImage &picture);

} // namespace controls
