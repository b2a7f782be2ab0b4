#pragma once

#include <QImage>

// valgrind's memcheck reports an uninitialised value only where it decides something. Here every
// byte of the picture decides a branch, so a decoder that hands out memory it never wrote fails
// the valgrind run of the corpora (scripts/check-uninit.sh) instead of passing unseen.
inline volatile qsizetype g_usedPixels = 0;

inline void usePixels(const QImage &image)
{
    qsizetype marked = 0;
    const qsizetype rowBytes = qsizetype(image.width()) * image.depth() / 8;
    for (int y = 0; y < image.height(); ++y) {
        const uchar *line = image.constScanLine(y);
        for (qsizetype i = 0; i < rowBytes; ++i)
            marked += line[i] == 0xA5;
    }
    if (marked == rowBytes)
        g_usedPixels = marked;
}
