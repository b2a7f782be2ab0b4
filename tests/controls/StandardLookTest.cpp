#include "assets/StandardLook.h"
#include "controls/KeyColor.h"
#include "controls/StateButton.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImageReader>

namespace {

QImage load(const QString &path)
{
    QImageReader reader(path);
    QImage image = reader.read();
    EXPECT_FALSE(image.isNull()) << path.toStdString() << ": " << reader.errorString().toStdString();
    return image;
}

TEST(StandardLookTest, EveryPictureHasTheFormatAndSizeItsPlaceNeeds)
{
    const struct
    {
        QString path;
        QByteArray format;
        QSize size;
    } pictures[] = {
        {StandardLook::MainBackground, "jpeg", {474, 255}},
        {StandardLook::OptionsBackground, "jpeg", {179, 247}},
        {StandardLook::InfoBackground, "jpeg", {422, 274}},
        {StandardLook::Logo, "gif", {133, 17}},
        {StandardLook::DragHandle, "bmp", {34, 32}},
        {StandardLook::LedUnlit, "bmp", {14, 14}},
        {StandardLook::LedLit, "bmp", {14, 14}},
    };
    for (const auto &picture : pictures) {
        QImageReader reader(picture.path);
        EXPECT_EQ(reader.format(), picture.format) << picture.path.toStdString();
        EXPECT_EQ(reader.size(), picture.size) << picture.path.toStdString();
    }
    for (const QString &path : StandardLook::allPictures())
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
}

TEST(StandardLookTest, LogoIsOneGif89aImageWithTransparentPixels)
{
    QFile file(StandardLook::Logo);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(6), QByteArray("GIF89a"));
    QImageReader reader(StandardLook::Logo);
    EXPECT_EQ(reader.imageCount(), 1);
    const QImage logo = reader.read();
    ASSERT_TRUE(logo.hasAlphaChannel());
    int transparent = 0;
    int opaque = 0;
    for (int y = 0; y < logo.height(); ++y) {
        for (int x = 0; x < logo.width(); ++x)
            (qAlpha(logo.pixel(x, y)) == 0 ? transparent : opaque)++;
    }
    EXPECT_EQ(qAlpha(logo.pixel(0, 0)), 0);
    EXPECT_GT(transparent, 300) << "lettering on a see-through ground";
    EXPECT_GT(opaque, 200);
}

// Each button's bitmaps: sizes, the key colour in the bottom-left pixel and a shape whose
// corners let the background show.
TEST(StandardLookTest, ButtonBitmapsAreShapedByTheirKeyColour)
{
    const struct
    {
        QString base;
        QSize size;
        QColor key;
        bool hasDisabled;
    } buttons[] = {
        {StandardLook::SendButton, {113, 25}, QColor(0, 255, 0), true},
        {StandardLook::OptionsButton, {113, 25}, QColor(255, 0, 0), false},
        {StandardLook::OkButton, {75, 25}, QColor(255, 0, 255), false},
        {StandardLook::MinimizeButton, {18, 20}, QColor(255, 0, 255), false},
        {StandardLook::CloseButton, {20, 20}, QColor(255, 0, 255), false},
    };
    for (const auto &b : buttons) {
        SCOPED_TRACE(b.base.toStdString());
        QStringList states{StandardLook::up(b.base), StandardLook::over(b.base), StandardLook::down(b.base)};
        if (b.hasDisabled)
            states << StandardLook::disabled(b.base);
        for (const QString &state : states) {
            const QImage bitmap = load(state);
            EXPECT_EQ(bitmap.size(), b.size) << state.toStdString();
            EXPECT_EQ(QColor(controls::keyColor(bitmap)), b.key) << state.toStdString();
        }

        TStateButton button;
        button.setBitmapUp(load(StandardLook::up(b.base)));
        EXPECT_EQ(button.size(), b.size);
        EXPECT_EQ(button.transparentColor(), b.key);
        const int w = b.size.width();
        const int h = b.size.height();
        EXPECT_FALSE(button.hitTest(0, 0));
        EXPECT_FALSE(button.hitTest(w - 1, 0));
        EXPECT_FALSE(button.hitTest(0, h - 1));
        EXPECT_FALSE(button.hitTest(w - 1, h - 1));
        EXPECT_TRUE(button.hitTest(w / 2, h / 2));
    }
}

TEST(StandardLookTest, LitLedIsBrighterThanTheUnlitOne)
{
    const QImage unlit = load(StandardLook::LedUnlit);
    const QImage lit = load(StandardLook::LedLit);
    EXPECT_EQ(QColor(controls::keyColor(unlit)), QColor(255, 0, 255));
    EXPECT_EQ(QColor(controls::keyColor(lit)), QColor(255, 0, 255));
    const QColor off = unlit.pixelColor(7, 7);
    const QColor on = lit.pixelColor(7, 7);
    EXPECT_GT(on.green(), 200);
    EXPECT_LT(off.green(), 120);
    EXPECT_GT(on.green(), on.red());
    EXPECT_GT(on.green(), on.blue());
}

TEST(StandardLookTest, DragHandleKeepsItsKeyWhenRedAndBlueAreSwapped)
{
    // While the window is dragged the handle is shown with red and blue exchanged; a magenta key
    // is the same colour afterwards, so the handle keeps its shape.
    const QImage handle = load(StandardLook::DragHandle);
    const QRgb key = controls::keyColor(handle);
    EXPECT_EQ(QColor(key), QColor(255, 0, 255));
    EXPECT_EQ(handle.rgbSwapped().pixel(0, handle.height() - 1), key);
    EXPECT_EQ(handle.pixel(0, 0), key) << "rounded corners";
    EXPECT_NE(handle.pixel(17, 16), key);
}

} // namespace
