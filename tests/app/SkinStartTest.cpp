#include "ChatWindowWidgets.h"
#include "app/ChatLineEdit.h"
#include "app/MessagerQ.h"
#include "controls/GradBtn.h"
#include "controls/StateButton.h"
#include "platform/core/Registry.h"
#include "settings/OptionsQ.h"
#include "settings/SettingsStore.h"
#include "skins/SkinLook.h"
#include "skins/SkinSelectQ.h"
#include "support/FakeDialogs.h"
#include "support/OptionFormWidgets.h"
#include "support/SpecialFiles.h"
#include "support/TempSettings.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <memory>

namespace {

// The chat window and the options window as the program makes them, with skins from a folder of
// the test's own and a stored skin path in other letter case.
class SkinStartTest : public ::testing::Test
{
protected:
    SkinStartTest()
    {
        platform::setComputerNameOverride(QStringLiteral("Küche"));
        m_skin = m_dir.path() + QStringLiteral("/Skins/Nacht/");
        QDir().mkpath(m_skin);
        QFile ini(m_skin + QStringLiteral("skin.INI"));
        EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Skin]\r\nName=Nacht\r\nMain=bilder\\MAIN.bmp\r\nMainOption=main.bmp\r\n"
                  "ControlColor=200150120\r\n");
        ini.close();
        QDir().mkpath(m_skin + QStringLiteral("Bilder"));
        QImage picture(474, 255, QImage::Format_RGB32);
        picture.fill(Qt::darkBlue);
        picture.save(m_skin + QStringLiteral("Bilder/main.bmp"));
        picture.save(m_skin + QStringLiteral("main.bmp"));

        settings::StoredSettings stored;
        stored.currentSkinPath = m_skin.toUpper();
        settings::SaveSettings(stored);
    }
    ~SkinStartTest() override { platform::clearComputerNameOverride(); }

    void start()
    {
        TForm1::Setup setup;
        setup.port = 0;
        setup.listenAddress = "127.0.0.1";
        setup.skinPlaces = QStringList{m_dir.path() + QStringLiteral("/Skins")};
        m_form = std::make_unique<TForm1>(setup);
        m_options = std::make_unique<TOptionForm>();
        m_form->setOptionForm(m_options.get());
        m_form->show();
    }

    TempSettings m_settings;
    FakeDialogs m_boxes;
    QTemporaryDir m_dir;
    QString m_skin;
    std::unique_ptr<TForm1> m_form;
    std::unique_ptr<TOptionForm> m_options;
};

} // namespace

TEST_F(SkinStartTest, TheStoredSkinIsAppliedAtStartAndStoredAgain)
{
    start();
    ASSERT_NE(m_form->skinDialog(), nullptr);
    EXPECT_EQ(m_form->currentSkinPath(), m_skin);
    EXPECT_EQ(ui(*m_form).ImageMain->pixmap().toImage().pixelColor(10, 10), QColor(Qt::darkBlue));
    EXPECT_EQ(ui(*m_options).ImageMainOption->pixmap().toImage().pixelColor(10, 10), QColor(Qt::darkBlue));
    EXPECT_EQ(ui(*m_options).ButtonSkin->text(), QStringLiteral("Skin: Nacht..."));
    EXPECT_EQ(m_form->skinDialog()->ListBoxSkins->currentRow(), 0);
    // The bare skin warns about each missing button bitmap, and nothing else.
    EXPECT_EQ(m_boxes.boxesOf(platform::DialogKind::Warning).size(), 11);
    EXPECT_EQ(m_boxes.boxes().size(), 11);

    m_options->SaveSettings();
    EXPECT_EQ(settings::LoadSettings()->currentSkinPath, m_skin);
}

TEST_F(SkinStartTest, TheSkinButtonOpensTheDialog)
{
    start();
    bool shown = false;
    QTimer::singleShot(0, m_form->skinDialog(), [&] {
        shown = m_form->skinDialog()->isVisible() && m_form->skinDialog()->isModal();
        m_form->skinDialog()->reject();
    });
    QTest::mouseClick(ui(*m_options).ButtonSkin, Qt::LeftButton);
    EXPECT_TRUE(shown);
}

TEST_F(SkinStartTest, AnActionKeepsTheMessageFieldDarkenedInTheSkinsColour)
{
    start();
    m_boxes.clear();
    ui(*m_form).ComboBoxMode->setEditText(QStringLiteral("lacht."));
    m_form->skinDialog()->ActivateSkin(m_skin);
    EXPECT_EQ(ui(*m_form).NameEdit->palette().color(QPalette::Base), QColor(200, 150, 120));
    EXPECT_EQ(ui(*m_form).MessageEdit->palette().color(QPalette::Base), QColor(98, 48, 18));
}

TEST_F(SkinStartTest, ALookRestylesTheChatWindowsPictureButtonsAndColours)
{
    start();
    const auto filled = [](QSize size, const QColor &color) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(color);
        return image;
    };
    const QPoint closeAt = ui(*m_form).ButtonClose->pos();
    const QColor field(1, 2, 3), text(4, 5, 6), status(7, 8, 9), window(10, 11, 12);
    skins::SkinLook look;
    look.Main = filled({474, 255}, Qt::darkGreen);
    look.BtnClose.Up = filled({150, 40}, Qt::green);
    look.BtnClose.Over = filled({150, 40}, Qt::yellow);
    look.ControlColor = field;
    look.ControlFontColor = text;
    look.StatusFontColor = status;
    look.MainWindowBackgroundColor = window;
    look.OptionWindowBackgroundColor = Qt::red;
    m_form->applySkin(look);

    EXPECT_EQ(ui(*m_form).ImageMain->pixmap().toImage().pixelColor(10, 10), QColor(Qt::darkGreen));
    // A button takes the size of its up bitmap and keeps its place.
    EXPECT_EQ(ui(*m_form).ButtonClose->geometry(), QRect(closeAt, QSize(150, 40)));
    EXPECT_FALSE(ui(*m_form).ButtonClose->bitmapOver().isNull());
    struct Case
    {
        const QWidget *widget;
        QPalette::ColorRole role;
        QColor color;
    };
    const Case cases[] = {
        {ui(*m_form).NameEdit, QPalette::Base, field},
        {ui(*m_form).MessageEdit, QPalette::Base, field},
        {ui(*m_form).ComboBoxMode, QPalette::Base, field},
        {ui(*m_form).ComboBoxMode, QPalette::Button, field},
        {m_form.get(), QPalette::WindowText, text},
        {ui(*m_form).NameEdit, QPalette::Text, text},
        {ui(*m_form).MessageEdit, QPalette::Text, text},
        {ui(*m_form).ComboBoxMode, QPalette::Text, text},
        {ui(*m_form).MessageMemo, QPalette::Text, text},
        {ui(*m_form).ComboBoxMode, QPalette::ButtonText, text},
        {ui(*m_form).StatusLabel, QPalette::WindowText, status},
        {m_form.get(), QPalette::Window, window},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.widget->palette().color(c.role), c.color)
            << c.widget->metaObject()->className() << " role " << int(c.role);
}

TEST_F(SkinStartTest, PipesDevicesAndHugeFilesInSkinFoldersNeitherHangNorFillMemory)
{
    // Main is the pipe Bilder/main.bmp, MainOption the link main.bmp; a pipe by the name of
    // Skin.ini makes its folder no skin.
    const QString rohr = m_dir.path() + QStringLiteral("/Skins/Rohr/");
    QDir().mkpath(rohr);
    const QStringList pipes{m_skin + QStringLiteral("Bilder/main.bmp"), rohr + QStringLiteral("Skin.ini")};
    for (const QString &pipe : pipes) {
        QFile::remove(pipe);
        ASSERT_TRUE(makePipe(pipe));
    }
    QFile::remove(m_skin + QStringLiteral("main.bmp"));
    for (const char *name : {"main.bmp", "BtnSend-Up.bmp"})
        ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), m_skin + QLatin1String(name)));
    // The last file read; the error it gives ends the activation.
    const QString huge = m_skin + QStringLiteral("BtnClose-Down.bmp");
    ASSERT_TRUE(makeSparseFile(huge, qint64(2) << 30));

    {
        const PipeWatchdog watchdog(pipes);
        start();
        EXPECT_FALSE(watchdog.freedAReader());
    }
    EXPECT_EQ(m_form->skinDialog()->ListBoxSkins->count(), 1);
    const QList<FakeDialogs::Box> &boxes = m_boxes.boxes();
    ASSERT_EQ(boxes.size(), 13);
    const QString window = QStringLiteral("Die Datei \"%1\" existiert nicht. Sie wird aber für ein Fenster "
                                          "benötigt. Es wird jetzt das alte Bild benutzt.");
    EXPECT_EQ(boxes.at(0).text, window.arg(m_skin + QStringLiteral("bilder\\MAIN.bmp")));
    EXPECT_EQ(boxes.at(1).text, window.arg(m_skin + QStringLiteral("main.bmp")));
    EXPECT_TRUE(boxes.at(2).text.contains(m_skin + QStringLiteral("BtnSend-Up.bmp")));
    EXPECT_EQ(m_boxes.boxesOf(platform::DialogKind::Warning).size(), 12);
    EXPECT_EQ(
        boxes.last(),
        (FakeDialogs::Box{platform::DialogKind::Error, platform::dialogCaption(platform::DialogKind::Error),
                          QStringLiteral("Die Datei %1 ist zu groß für ein Bild.").arg(huge)}));
    EXPECT_NE(m_form->currentSkinPath(), m_skin);
}
