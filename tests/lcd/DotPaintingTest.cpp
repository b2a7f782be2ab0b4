#include "lcd/DotPainting.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// The pixels of a w x h mask or image as rows of '#' (set) and '.', joined by '|'.
QString rows(int w, int h, const std::function<bool(int, int)> &set)
{
    QStringList lines;
    for (int y = 0; y < h; ++y) {
        QString line;
        for (int x = 0; x < w; ++x)
            line += set(x, y) ? u'#' : u'.';
        lines.append(line);
    }
    return lines.join(u'|');
}

QString rows(const QImage &image, QRgb set)
{
    return rows(image.width(), image.height(), [&](int x, int y) { return image.pixel(x, y) == set; });
}

} // namespace

TEST(DotPainting, ARoundDotLeavesOutThePixelsOutsideItsEllipse)
{
    struct Case
    {
        int w;
        int h;
        bool round;
        const char *pixels;
    };
    const Case cases[] = {
        {4, 4, false, "####|####|####|####"},
        {3, 3, true, "###|###|###"}, // too small for a corner to fall outside
        {4, 4, true, ".##.|####|####|.##."},
        {6, 3, true, ".####.|######|.####."},
        {5, 5, true, ".###.|#####|#####|#####|.###."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pixels);
        const std::vector<bool> mask = lcd::dotMask(c.w, c.h, c.round);
        EXPECT_EQ(rows(c.w, c.h, [&](int x, int y) { return mask[static_cast<size_t>(y) * c.w + x]; }),
                  QLatin1String(c.pixels));
    }
}

TEST(DotPainting, StampingAndCopyingAreClippedToTheImage)
{
    const QRgb lit = qRgb(255, 0, 0);
    QImage image(3, 3, QImage::Format_RGB32);
    image.fill(Qt::black);
    // A round 4 x 4 dot hanging over the top-left corner: only its lower right part lands.
    lcd::stamp(image, -1, -1, 4, 4, lcd::dotMask(4, 4, true), lit);
    EXPECT_EQ(rows(image, lit), QStringLiteral("###|###|##."));

    QImage cell(2, 2, QImage::Format_RGB32);
    cell.fill(lit);
    image.fill(Qt::black);
    lcd::blit(image, cell, 2, 2);
    lcd::blit(image, cell, -1, 0);
    lcd::blit(image, cell, 5, 5); // wholly outside
    EXPECT_EQ(rows(image, lit), QStringLiteral("#..|#..|..#"));
}
