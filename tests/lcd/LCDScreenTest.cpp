#include "lcd/LCDScreen.h"
#include "lcd/Matrix.h"
#include "support/FakeDialogs.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <functional>

namespace {

// A 5 x 7 panel of single-pixel dots without dot borders: dot (k, r) of cell (line, column)
// is the pixel (4 + 10 * column + 2k, 4 + 14 * line + 2r).
struct DotPanel
{
    QWidget window;
    TLCDScreen *screen = new TLCDScreen(&window);

    DotPanel()
    {
        screen->setPixelSize(TPixelSize::pix1x1);
        screen->setNoOfChars(6);
        screen->setNoOfLines(2);
        screen->setPixelOn(QColor(0, 0, 0));
        screen->setPixelOff(QColor(100, 100, 100));
        screen->setColor(QColor(0, 0, 200));
    }

    // The cell's dots as read back from the frame: '#' in the lit colour, '.' in the unlit one.
    std::string cell(int line, int column) const
    {
        const QImage frame = screen->renderFrame();
        std::string rows;
        for (int r = 0; r < 7; ++r) {
            if (r > 0)
                rows += ' ';
            for (int k = 0; k < 5; ++k) {
                const QRgb pixel = frame.pixel(4 + 10 * column + 2 * k, 4 + 14 * line + 2 * r);
                rows += pixel == screen->litColor().rgb()     ? '#'
                        : pixel == screen->unlitColor().rgb() ? '.'
                                                              : '?';
            }
        }
        return rows;
    }
};

std::string inverted(std::string rows)
{
    for (char &c : rows)
        c = c == '#' ? '.' : c == '.' ? '#' : c;
    return rows;
}

const std::string kGlyphA = ".###. #...# #...# #...# ##### #...# #...#";
const std::string kGlyphB = "####. #...# #...# ####. #...# #...# ####.";
const std::string kGlyphC = ".###. #...# #.... #.... #.... #...# .###.";
const std::string kBlank = "..... ..... ..... ..... ..... ..... .....";

std::string glyph(const unsigned char *table, int columns, int rows, int code)
{
    std::string text;
    const unsigned char *dots = table + (code - kFirstGlyphCode) * columns * rows;
    for (int r = 0; r < rows; ++r) {
        if (r > 0)
            text += ' ';
        for (int k = 0; k < columns; ++k)
            text += dots[r * columns + k] ? '#' : '.';
    }
    return text;
}

TEST(LCDScreenGeometry, SizesItselfFromItsCells)
{
    TLCDScreen fresh;
    EXPECT_EQ(fresh.size(), QSize(157, 28));
    EXPECT_EQ(QSize(fresh.cellWidth(), fresh.cellHeight()), QSize(14, 20));

    TLCDScreen panel;
    panel.setDotMatrixBorders(TDotMatrixBorder::mbBottom | TDotMatrixBorder::mbLeft |
                              TDotMatrixBorder::mbTop);
    panel.setPixelSize(TPixelSize::pix1x1);
    panel.setNoOfChars(31);
    panel.setNoOfLines(12);
    EXPECT_EQ(QSize(panel.dotColumns(), panel.dotRows()), QSize(6, 9));
    EXPECT_EQ(QSize(panel.cellWidth(), panel.cellHeight()), QSize(11, 17));
    EXPECT_EQ(panel.size(), QSize(379, 223));

    panel.setDotMatrix(TDotMatrix::mat9x12);
    panel.setDotMatrixBorders(TDotMatrixBorder::mbRight);
    EXPECT_EQ(QSize(panel.cellWidth(), panel.cellHeight()), QSize(19, 23));
}

TEST(LCDScreenGeometry, ResizeFromOutsideTakesTheCellsThatFitAndSnaps)
{
    QWidget window;
    auto *screen = new TLCDScreen(&window);
    window.show();
    screen->resize(200, 100);
    EXPECT_EQ(screen->noOfChars(), 13);
    EXPECT_EQ(screen->noOfLines(), 4);
    EXPECT_EQ(screen->size(), QSize(202, 91));

    // Counts are 8-bit: a huge size still gives at most 255 cells a line.
    screen->resize(10000, 20);
    EXPECT_EQ(screen->noOfChars(), 255);
    EXPECT_EQ(screen->noOfLines(), 1);
}

TEST(LCDScreenGeometry, FixedPixelSizesOverrideTheCustomOnes)
{
    TLCDScreen screen;
    screen.setPixelSize(TPixelSize::pix3x3);
    EXPECT_EQ(screen.pixelWidth(), 3);
    EXPECT_EQ(screen.pixelHeight(), 3);
    screen.setPixelWidth(7);
    EXPECT_EQ(screen.pixelWidth(), 3);
    EXPECT_EQ(screen.cellWidth(), 5 * 3 + 4);
}

TEST(LCDScreenGeometry, ZeroCountsAndPixelSizesAreRefusedWithABox)
{
    FakeDialogs dialogs;
    TLCDScreen screen;
    const std::vector<std::pair<std::function<void()>, QString>> cases = {
        {[&] { screen.setNoOfLines(0); }, QStringLiteral("Display needs at least one line!")},
        {[&] { screen.setNoOfChars(0); }, QStringLiteral("Display needs at least one character!")},
        {[&] { screen.setPixelWidth(0); }, QStringLiteral("Display pixel width must be 1 or more!")},
        {[&] { screen.setPixelHeight(0); }, QStringLiteral("Display pixel height must be 1 or more!")},
    };
    for (const auto &[change, text] : cases) {
        dialogs.clear();
        change();
        ASSERT_EQ(dialogs.boxes().size(), 1) << text.toStdString();
        EXPECT_EQ(dialogs.boxes().first().text, text);
    }
    EXPECT_EQ(screen.noOfLines(), 1);
    EXPECT_EQ(screen.noOfChars(), 10);
    EXPECT_EQ(screen.pixelWidth(), 2);
}

TEST(LCDScreenColors, IntensityMixesTheLitColourFromOnAndOff)
{
    struct Case
    {
        QColor on, off;
        qint8 intensity;
        QColor lit, unlit;
    };
    const Case cases[] = {
        {Qt::black, QColor(170, 170, 170), 127, QColor(3, 3, 3), QColor(170, 170, 170)},
        {QColor(192, 255, 0), QColor(96, 128, 0), 127, QColor(254, 254, 0), QColor(96, 128, 0)},
        {Qt::black, QColor(170, 170, 170), 0, QColor(171, 171, 171), QColor(170, 170, 170)},
        {Qt::black, QColor(170, 170, 170), -127, QColor(170, 170, 170), QColor(3, 3, 3)},
        {Qt::black, QColor(170, 170, 170), -128, QColor(170, 170, 170), QColor(1, 1, 1)},
    };
    for (const Case &c : cases) {
        TLCDScreen screen;
        screen.setPixelOn(c.on);
        screen.setPixelOff(c.off);
        screen.setIntensity(c.intensity);
        EXPECT_EQ(screen.litColor(), c.lit) << int(c.intensity);
        EXPECT_EQ(screen.unlitColor(), c.unlit) << int(c.intensity);
    }
}

TEST(LCDScreenTables, SampleGlyphsAndTheSetsStyle)
{
    EXPECT_EQ(glyph(Glyphs5x7, 5, 7, 'A'), kGlyphA);
    EXPECT_EQ(glyph(Glyphs5x7, 5, 7, 'a'), "..... ..... .###. ....# .#### #...# .####");
    EXPECT_EQ(glyph(Glyphs5x7, 5, 7, '!'), "..#.. ..#.. ..#.. ..#.. ..#.. ..... ..#..");
    EXPECT_EQ(glyph(Glyphs7x9, 7, 9, 'A'),
              "...#... ..#.#.. .#...#. #.....# #.....# ####### #.....# #.....# #.....#");
    EXPECT_EQ(glyph(Glyphs9x12, 9, 12, 'A'), "..####... ...#.#... ...#.#... ..#...#.. ..#...#.. .#.....#. "
                                             ".#######. .#.....#. .#.....#. .#.....#. ###...### .........");
    // Raised tails end in the bottom row of the small sets and in row 12 of the large one.
    for (const char code : {'g', 'j', 'p', 'q', 'y'}) {
        EXPECT_NE(glyph(Glyphs5x7, 5, 7, code).substr(36, 5), ".....") << code;
        EXPECT_NE(glyph(Glyphs7x9, 7, 9, code).substr(64, 7), ".......") << code;
        EXPECT_NE(glyph(Glyphs9x12, 9, 12, code).substr(110, 9), ".........") << code;
    }
    // The extended set: a umlaut is an a with two dots over it.
    EXPECT_EQ(glyph(Glyphs5x7, 5, 7, 132).substr(12), glyph(Glyphs5x7, 5, 7, 'a').substr(12));
    EXPECT_EQ(glyph(Glyphs5x7, 5, 7, 219), "##### ##### ##### ##### ##### ##### #####");
}

TEST(LCDScreenDrawing, GlyphsInverseAndBlinkingSpans)
{
    DotPanel panel;
    panel.screen->setLines({QByteArray("AB\x0a"
                                       "CD\x0b"
                                       "EF")});
    for (const bool effect : {false, true}) {
        panel.screen->setSpecialEffects(effect ? TSpecialEffects(TSpecialEffect::spInverse)
                                               : TSpecialEffects());
        EXPECT_EQ(panel.cell(0, 0), kGlyphA);
        EXPECT_EQ(panel.cell(0, 1), kGlyphB);
        EXPECT_EQ(panel.cell(0, 2), effect ? inverted(kGlyphC) : kGlyphC);
        EXPECT_EQ(panel.cell(0, 4), glyph(Glyphs5x7, 5, 7, 'E'));
        EXPECT_EQ(panel.cell(1, 0), kBlank);
    }

    // An opening code without its closing one marks the line from its start.
    panel.screen->setLines({QByteArray("AB\x0a"
                                       "C")});
    EXPECT_EQ(panel.cell(0, 0), inverted(kGlyphA));
    EXPECT_EQ(panel.cell(0, 3), inverted(kBlank));

    // Blinking text disappears in the blink phase, but not while a wipe runs.
    TLCDAnimator animator;
    panel.screen->setLCDAnimator(&animator);
    panel.screen->setSpecialEffects(TSpecialEffect::spBlinking);
    panel.screen->setLines({QByteArray("A\x0c"
                                       "B")});
    EXPECT_EQ(panel.cell(0, 1), kGlyphB);
    panel.screen->ExecuteLine();
    ASSERT_TRUE(panel.screen->blinkPhase());
    EXPECT_EQ(panel.cell(0, 0), kBlank);
    EXPECT_EQ(panel.cell(0, 1), kBlank);
    panel.screen->ExecuteLine();
    EXPECT_EQ(panel.cell(0, 1), kGlyphB);
}

TEST(LCDScreenDrawing, CodesWithoutAGlyphAreBlank)
{
    DotPanel panel;
    panel.screen->setLines({QByteArray("\x05\xe1\xff")});
    EXPECT_EQ(panel.cell(0, 0), kBlank);
    EXPECT_EQ(panel.cell(0, 1), glyph(Glyphs5x7, 5, 7, 225));
    EXPECT_EQ(panel.cell(0, 2), inverted(kBlank));

    // The 9 x 12 set ends at 126: a code 225 must not be read past its table.
    panel.screen->setDotMatrix(TDotMatrix::mat9x12);
    const QImage frame = panel.screen->renderFrame();
    const int cellLeft = 4 + panel.screen->cellWidth() + 1;
    for (int y = 4; y < 4 + panel.screen->cellHeight(); ++y) {
        for (int x = cellLeft; x < cellLeft + panel.screen->cellWidth(); ++x)
            ASSERT_NE(frame.pixel(x, y), panel.screen->litColor().rgb());
    }
}

TEST(LCDScreenDrawing, ADisabledScreenShowsBackgroundAndFrameOnly)
{
    QWidget window;
    auto *screen = new TLCDScreen(&window);
    screen->setBorderStyle(TLCDBorder::bsSingle);
    screen->setBorderColor(QColor(128, 128, 128));
    screen->setLines({QByteArray("HALLO")});
    screen->setEnabled(false);
    const QImage frame = screen->renderFrame();
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            const bool edge = x == 0 || y == 0 || x == frame.width() - 1 || y == frame.height() - 1;
            ASSERT_EQ(QColor(frame.pixel(x, y)), edge ? QColor(128, 128, 128) : screen->color())
                << x << "," << y;
        }
    }
}

TEST(LCDScreenLines, PaddingInBothScrollModes)
{
    struct Case
    {
        THorzScrollMode mode;
        QList<QByteArray> lines;
        QList<int> lengths;
    };
    const Case cases[] = {
        {THorzScrollMode::smDependant, {"abc", QByteArray(23, 'x'), ""}, {23, 23, 0}},
        {THorzScrollMode::smIndependant, {"abc", QByteArray(23, 'x'), ""}, {10, 23, 0}},
        // Control codes take no cell, so they add to the length a line is padded to.
        {THorzScrollMode::smDependant,
         {"a\x0a"
          "b\x0b",
          "abc"},
         {12, 10}},
        {THorzScrollMode::smIndependant,
         {"a\x0a"
          "b\x0b",
          "abc"},
         {12, 12}},
    };
    for (const Case &c : cases) {
        TLCDScreen screen;
        screen.setNoOfLines(3);
        screen.setHorzScrollMode(c.mode);
        screen.setLines(c.lines);
        QList<int> lengths;
        for (const QByteArray &line : screen.displayLines().mid(0, c.lengths.size()))
            lengths << int(line.size());
        EXPECT_EQ(lengths, c.lengths);
        EXPECT_GE(screen.displayLines().size(), 3);
    }
}

TEST(LCDScreenLines, TextBeyondTheEightBitLimitsIsCut)
{
    TLCDScreen screen;
    screen.setLines(QList<QByteArray>(300, QByteArray(400, 'x')));
    EXPECT_EQ(screen.lines().size(), 255);
    EXPECT_EQ(screen.lines().first().size(), 255);
    EXPECT_FALSE(screen.renderFrame().isNull());
}

} // namespace
