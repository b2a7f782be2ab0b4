#pragma once

#include <QImage>

// valgrind's memcheck reports an uninitialised value only where it decides something. Here every
// byte of the picture decides a branch, so a decoder that hands out memory it never wrote fails
// the valgrind run of the corpora (scripts/check-uninit.sh) instead of passing unseen. Under
// libFuzzer the sanitizers cannot tell written bytes from unwritten ones, and the pass over a
// large picture would only slow the fuzzer down, so only the replaying build makes it.
#ifdef PD_FUZZ_REPLAY
inline volatile qsizetype g_usedPixels = 0;
#endif

inline void usePixels([[maybe_unused]] const QImage &image)
{
#ifdef PD_FUZZ_REPLAY
    qsizetype marked = 0;
    const qsizetype rowBytes = qsizetype(image.width()) * image.depth() / 8;
    for (int y = 0; y < image.height(); ++y) {
        const uchar *line = image.constScanLine(y);
        for (qsizetype i = 0; i < rowBytes; ++i)
            marked += line[i] == 0xA5;
    }
    if (marked == rowBytes)
        g_usedPixels = marked;
#endif
}
