#include "controls/KeyColor.h"

QRgb controls::keyColor(const QImage &picture)
{
    if (picture.isNull() || picture.depth() == 1)
        return qRgb(255, 255, 255);
    return picture.pixel(0, picture.height() - 1) | 0xff000000;
}

QImage controls::keyedTransparent(const QImage &picture)
{
    if (picture.isNull())
        return {};
    const QRgb key = keyColor(picture) & 0x00ffffff;
    // Through RGB32 first: the alpha channel a picture may carry plays no part.
    QImage keyed = picture.convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < keyed.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x) {
            if ((line[x] & 0x00ffffff) == key)
                line[x] = 0;
        }
    }
    return keyed;
}
