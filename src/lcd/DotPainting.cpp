#include "lcd/DotPainting.h"

#include <algorithm>

namespace lcd {

std::vector<bool> dotMask(int w, int h, bool round)
{
    std::vector<bool> mask(static_cast<size_t>(w) * h, true);
    if (!round)
        return mask;
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            const double dx = (i + 0.5 - w / 2.0) / (w / 2.0);
            const double dy = (j + 0.5 - h / 2.0) / (h / 2.0);
            mask[static_cast<size_t>(j) * w + i] = dx * dx + dy * dy <= 1.0;
        }
    }
    return mask;
}

void stamp(QImage &image, int x, int y, int w, int h, const std::vector<bool> &mask, QRgb color)
{
    const int x0 = std::max(x, 0);
    const int y0 = std::max(y, 0);
    const int x1 = std::min(x + w, image.width());
    const int y1 = std::min(y + h, image.height());
    for (int py = y0; py < y1; ++py) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(py));
        const size_t row = static_cast<size_t>(py - y) * w;
        for (int px = x0; px < x1; ++px) {
            if (mask[row + (px - x)])
                line[px] = color;
        }
    }
}

void blit(QImage &target, const QImage &source, int x, int y)
{
    const int x0 = std::max(x, 0);
    const int x1 = std::min(x + source.width(), target.width());
    if (x1 <= x0)
        return;
    const int y0 = std::max(y, 0);
    const int y1 = std::min(y + source.height(), target.height());
    for (int py = y0; py < y1; ++py) {
        const auto *from = reinterpret_cast<const QRgb *>(source.constScanLine(py - y)) + (x0 - x);
        auto *to = reinterpret_cast<QRgb *>(target.scanLine(py)) + x0;
        std::copy(from, from + (x1 - x0), to);
    }
}

} // namespace lcd
