#include "controls/GradBtn.h"
#include "controls/StateButton.h"
#include "platform/core/Error.h"
#include "settings/OptionsQ.h"
#include "skins/SkinSelectQ.h"
#include "support/FakeDialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <functional>
#include <memory>

namespace {

using platform::DialogKind;

QImage solid(QSize size, const QColor &color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

QColor pictureColor(const QLabel *label)
{
    return label->pixmap().toImage().pixelColor(0, 0);
}

// Stand-ins for the two windows with every control a skin restyles.
struct Windows
{
    Windows()
    {
        main.setProperty("CurrentSkinPath", QString());
        targets.MainWindow = &main;
        targets.ImageMain = new QLabel(&main);
        targets.ImageMain->setPixmap(QPixmap::fromImage(solid({474, 255}, Qt::gray)));
        for (TStateButton **button :
             {&targets.SendButton, &targets.BtnOptions, &targets.ButtonMinimize, &targets.ButtonClose}) {
            *button = new TStateButton(&main);
            (*button)->move(30, 40);
            (*button)->setBitmapUp(solid({20, 20}, Qt::gray));
        }
        targets.NameEdit = new QLineEdit(&main);
        targets.MessageEdit = new QLineEdit(&main);
        targets.ComboBoxMode = new QComboBox(&main);
        targets.MessageMemo = new QTextEdit(&main);
        targets.StatusLabel = new QLabel(&main);
        targets.OptionForm = options.get();
    }

    QString currentSkinPath() const { return main.property("CurrentSkinPath").toString(); }

    QWidget main;
    std::unique_ptr<TOptionForm> options = std::make_unique<TOptionForm>();
    SkinTargets targets;
};

class SkinSelect : public ::testing::Test
{
protected:
    // A skin folder in the first place; `ini` is written as Windows-1252 bytes.
    QString makeSkin(const QString &folder, const QByteArray &ini, bool withPictures = true,
                     const QColor &color = Qt::red)
    {
        const QString path = places.at(0) + QLatin1Char('/') + folder + QLatin1Char('/');
        QDir().mkpath(path);
        QFile file(path + QStringLiteral("Skin.ini"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ini);
        if (withPictures) {
            solid({474, 255}, color).save(path + QStringLiteral("main.bmp"));
            solid({179, 247}, color).save(path + QStringLiteral("option.bmp"));
            for (const char *base : {"BtnSend", "BtnOptions", "BtnOK", "BtnMinimize", "BtnClose"})
                for (const char *state : {"-Up", "-Down", "-Disabled"})
                    solid({30, 12}, color)
                        .save(path + QLatin1String(base) + QLatin1String(state) + QStringLiteral(".bmp"));
        }
        return path;
    }

    std::unique_ptr<TFormSkinSelect> makeDialog()
    {
        return std::make_unique<TFormSkinSelect>(windows.targets, places);
    }

    static QByteArray pictures() { return "Main=MAIN.bmp\r\nMainOption=Option.BMP\r\n"; }

    QTemporaryDir dir;
    QStringList places{dir.path() + QStringLiteral("/Skins")};
    FakeDialogs dialogs;
    Windows windows;
};

} // namespace

TEST_F(SkinSelect, BareSkinGivesThirteenWarningsInStepOrderAndChangesNothingElse)
{
    const QString skin = makeSkin(QStringLiteral("Leer"), "Name=Leer\r\n", false);
    auto dialog = makeDialog();
    const QColor field = windows.targets.NameEdit->palette().color(QPalette::Base);
    dialog->ActivateSkin(skin.chopped(1));

    const QString window = QStringLiteral("Die Datei \"%1\" existiert nicht. Sie wird aber für ein Fenster "
                                          "benötigt. Es wird jetzt das alte Bild benutzt.");
    const QString button = QStringLiteral("Die Datei \"%1\" existiert nicht. Sie wird aber für einen Button "
                                          "benötigt. Es wird jetzt das alte Bild benutzt.");
    QStringList expected{window.arg(skin), window.arg(skin)};
    for (const char *base : {"BtnSend", "BtnOptions", "BtnOK", "BtnMinimize", "BtnClose"}) {
        expected << button.arg(skin + QLatin1String(base) + QStringLiteral("-Up.bmp"))
                 << button.arg(skin + QLatin1String(base) + QStringLiteral("-Down.bmp"));
        if (QLatin1String(base) == QLatin1String("BtnSend"))
            expected << button.arg(skin + QStringLiteral("BtnSend-Disabled.bmp"));
    }
    QStringList texts;
    for (const FakeDialogs::Box &box : dialogs.boxes()) {
        EXPECT_EQ(box.kind, DialogKind::Warning);
        texts << box.text;
    }
    EXPECT_EQ(texts.join(QLatin1Char('\n')).toStdString(), expected.join(QLatin1Char('\n')).toStdString());
    EXPECT_EQ(pictureColor(windows.targets.ImageMain), QColor(Qt::gray));
    EXPECT_TRUE(windows.targets.SendButton->bitmapOver().isNull());
    EXPECT_EQ(windows.targets.NameEdit->palette().color(QPalette::Base), field);
    EXPECT_EQ(windows.options->ButtonSkin->text(), QStringLiteral("Skin: Leer..."));
    EXPECT_EQ(windows.currentSkinPath(), skin);

    // The same skin again repeats every box.
    dialogs.clear();
    dialog->ActivateSkin(skin);
    EXPECT_EQ(dialogs.boxes().size(), 13);
}

TEST_F(SkinSelect, ColoursApplyInOrderUntilABadOneStopsTheRest)
{
    const QString good = makeSkin(QStringLiteral("Rot"), pictures() + "Name=Rot\r\nControlColor=255000000\r\n"
                                                                      "ControlFontColor=000000255\r\n"
                                                                      "StatusFontColor=000255000\r\n"
                                                                      "OptionWindowFontColor=001002003\r\n");
    const QString bad =
        makeSkin(QStringLiteral("Kaputt"),
                 pictures() + "Name=Kaputt\r\nControlColor=000128000\r\nSkinBtnColorIn=123456\r\n"
                              "StatusFontColor=255255255\r\n",
                 true, Qt::blue);
    auto dialog = makeDialog();
    dialog->ActivateSkin(good);
    EXPECT_TRUE(dialogs.boxes().isEmpty());
    const QWidget *fields[] = {windows.targets.NameEdit, windows.targets.MessageEdit,
                               windows.targets.ComboBoxMode, windows.options->ReceiverList,
                               windows.options->ReceiveEdit};
    for (const QWidget *field : fields)
        EXPECT_EQ(field->palette().color(QPalette::Base), QColor(255, 0, 0))
            << field->metaObject()->className();
    EXPECT_EQ(windows.options->ReceiverList->palette().color(QPalette::Text), QColor(0, 0, 255));
    EXPECT_EQ(windows.targets.StatusLabel->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    EXPECT_EQ(windows.options->LabelSaveRegCheck->palette().color(QPalette::WindowText), QColor(1, 2, 3));
    EXPECT_EQ(pictureColor(windows.options->ImageMainOption), QColor(Qt::red));

    EXPECT_THROW(
        {
            try {
                dialog->ActivateSkin(bad);
            } catch (const platform::Exception &error) {
                EXPECT_EQ(error.message(), QStringLiteral("'' ist kein gültiger Integerwert"));
                throw;
            }
        },
        platform::Exception);
    // Pictures and the colour before the bad one are the new skin's; nothing after it is.
    EXPECT_EQ(pictureColor(windows.targets.ImageMain), QColor(Qt::blue));
    EXPECT_EQ(windows.targets.NameEdit->palette().color(QPalette::Base), QColor(0, 128, 0));
    EXPECT_EQ(windows.targets.StatusLabel->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    EXPECT_EQ(windows.options->ButtonSkin->text(), QStringLiteral("Skin: Rot..."));
    EXPECT_EQ(windows.currentSkinPath(), good);
}

TEST_F(SkinSelect, UndecodablePictureOrUnreadableIniEndTheActivationAtThatStep)
{
    const QString skin =
        makeSkin(QStringLiteral("Bild"), "Name=Bild\r\nMain=kaputt.jpg\r\nMainOption=option.bmp\r\n");
    QFile broken(skin + QStringLiteral("kaputt.jpg"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("kein JPEG");
    broken.close();
    auto dialog = makeDialog();
    const QString before = windows.currentSkinPath();
    EXPECT_THROW(dialog->ActivateSkin(skin), platform::Exception);
    EXPECT_EQ(pictureColor(windows.targets.ImageMain), QColor(Qt::gray));
    EXPECT_EQ(pictureColor(windows.options->ImageMainOption), pictureColor(TOptionForm().ImageMainOption));
    EXPECT_EQ(windows.currentSkinPath(), before);

    EXPECT_THROW(dialog->ActivateSkin(dir.path() + QStringLiteral("/fehlt")), platform::Exception);
    EXPECT_TRUE(dialogs.boxes().isEmpty());
}

TEST_F(SkinSelect, ButtonsTakeTheSizeOfTheirUpBitmapAndKeepTheirPlace)
{
    const QString skin = makeSkin(QStringLiteral("Gross"), pictures() + "Name=Gross\r\n");
    solid({150, 40}, Qt::green).save(skin + QStringLiteral("BtnClose-Up.bmp"));
    solid({150, 40}, Qt::green).save(skin + QStringLiteral("btnclose-over.BMP"));
    makeDialog()->ActivateSkin(skin);
    EXPECT_EQ(windows.targets.ButtonClose->geometry(), QRect(30, 40, 150, 40));
    EXPECT_FALSE(windows.targets.ButtonClose->bitmapOver().isNull());
    EXPECT_EQ(windows.targets.SendButton->geometry(), QRect(30, 40, 30, 12));
}

TEST_F(SkinSelect, StoredPathInOtherLetterCaseIsSelectedAndAppliedAtStart)
{
    makeSkin(QStringLiteral("Alpha"), pictures() + "Name=Alpha\r\nAuthor=Anna\r\nInfo1=eins\r\n", true,
             Qt::green);
    const QString nacht = makeSkin(QStringLiteral("Nacht"), pictures() + "Name=Nacht\r\n", true, Qt::blue);
    windows.main.setProperty("CurrentSkinPath", nacht.toUpper());
    auto dialog = makeDialog();
    EXPECT_EQ(dialog->ListBoxSkins->count(), 2);
    EXPECT_EQ(dialog->ListBoxSkins->currentRow(), 1);
    EXPECT_EQ(pictureColor(windows.targets.ImageMain), QColor(Qt::blue));
    EXPECT_EQ(windows.currentSkinPath(), nacht);
    EXPECT_FALSE(dialog->CheckBoxPreview->isChecked());
    EXPECT_EQ(dialog->MemoName->toPlainText(), QStringLiteral("\tNacht\n    von: \n"));
}

TEST_F(SkinSelect, PreviewCancelAndOkSequences)
{
    const QString standard =
        makeSkin(QStringLiteral("Standard"), pictures() + "Name=Standard\r\n", true, Qt::gray);
    const QString a = makeSkin(QStringLiteral("A"), pictures() + "Name=A\r\n", true, Qt::red);
    const QString b = makeSkin(QStringLiteral("B"), pictures() + "Name=B\r\n", true, Qt::green);
    auto dialog = makeDialog();
    // No stored skin: the default is the "Standard" folder without its '/', so nothing is selected.
    EXPECT_EQ(windows.currentSkinPath(), standard.chopped(1));
    EXPECT_EQ(dialog->ListBoxSkins->currentRow(), -1);
    EXPECT_TRUE(dialog->MemoName->toPlainText().isEmpty());

    dialog->show();
    dialog->CheckBoxPreview->setChecked(true);
    dialog->ListBoxSkins->setCurrentRow(0); // A
    EXPECT_EQ(windows.currentSkinPath(), a);
    dialog->ListBoxSkins->setCurrentRow(1); // B
    EXPECT_EQ(pictureColor(windows.targets.ImageMain), QColor(Qt::green));
    dialog->ButtonCancel->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(windows.currentSkinPath(), standard);
    EXPECT_EQ(pictureColor(windows.targets.ImageMain), QColor(Qt::gray));

    // Cancel after nothing changed applies nothing.
    dialog->show();
    dialogs.clear();
    windows.targets.ImageMain->clear();
    dialog->ButtonCancel->click();
    EXPECT_TRUE(windows.targets.ImageMain->pixmap().isNull());

    // OK applies the selection again in full; the close box leaves a preview applied.
    dialog->show();
    dialog->ListBoxSkins->setCurrentRow(1);
    dialog->ButtonOK->click();
    EXPECT_EQ(windows.currentSkinPath(), b);
    dialog->show();
    dialog->ListBoxSkins->setCurrentRow(0);
    dialog->close();
    EXPECT_EQ(windows.currentSkinPath(), a);
}

TEST_F(SkinSelect, EqualNamesSelectTheAppliedFolderAndOkWithoutSelectionOnlyCloses)
{
    makeSkin(QStringLiteral("Eins"), pictures() + "Name=Gleich\r\nInfo1=erste\r\n");
    const QString second = makeSkin(QStringLiteral("Zwei"), pictures() + "Name=Gleich\r\nInfo1=zweite\r\n");
    auto dialog = makeDialog();
    dialog->ActivateSkin(second);
    EXPECT_EQ(dialog->ListBoxSkins->currentRow(), 1);
    EXPECT_TRUE(dialog->MemoName->toPlainText().endsWith(QStringLiteral("zweite")));

    auto empty = std::make_unique<TFormSkinSelect>(windows.targets,
                                                   QStringList{dir.path() + QStringLiteral("/nichts")});
    EXPECT_EQ(empty->LabelSkins->text(), QStringLiteral("keine Skins verfügbar."));
    empty->show();
    empty->ButtonOK->click();
    EXPECT_FALSE(empty->isVisible());
    EXPECT_EQ(windows.currentSkinPath(), second);
}

TEST_F(SkinSelect, EnterPressesTheFocusedButtonAndOkEverywhereElse)
{
    const QString a = makeSkin(QStringLiteral("A"), pictures() + "Name=A\r\n", true, Qt::red);
    const QString b = makeSkin(QStringLiteral("B"), pictures() + "Name=B\r\n", true, Qt::green);
    windows.main.setProperty("CurrentSkinPath", a);
    auto dialog = makeDialog();
    struct Case
    {
        QWidget *focus;
        int key;
        bool accepted;
    };
    const Case cases[] = {
        {dialog->ButtonCancel, Qt::Key_Return, false},  {dialog->ButtonCancel, Qt::Key_Enter, false},
        {dialog->ButtonOK, Qt::Key_Return, true},       {dialog->ListBoxSkins, Qt::Key_Return, true},
        {dialog->CheckBoxPreview, Qt::Key_Enter, true}, {dialog->ListBoxSkins, Qt::Key_Escape, false},
        {dialog->MemoName, Qt::Key_Return, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(
            (c.focus->objectName() + QLatin1Char(' ') + QKeySequence(c.key).toString()).toStdString());
        dialog->ActivateSkin(a);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        dialog->CheckBoxPreview->setChecked(true);
        dialog->ListBoxSkins->setCurrentRow(1);
        ASSERT_EQ(windows.currentSkinPath(), b);
        // Cancel had the focus first: the default it took over must go back to OK.
        dialog->ButtonCancel->setFocus();
        c.focus->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), c.focus);
        QTest::keyClick(c.focus, Qt::Key(c.key));
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), c.accepted ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(windows.currentSkinPath(), c.accepted ? b : a);
    }
}

TEST_F(SkinSelect, EveryClickOrKeyboardChangeRunsTheHandlerOnceAlsoOnTheSelectedLine)
{
    makeSkin(QStringLiteral("A"), "Name=A\r\n", false);
    const QString b = makeSkin(QStringLiteral("B"), "Name=B\r\n", false);
    auto dialog = makeDialog();
    // A bare skin warns about every picture, so the boxes count the activations.
    dialog->ActivateSkin(b);
    const qsizetype perActivation = dialogs.boxes().size();
    ASSERT_GT(perActivation, 0);
    dialog->show();
    dialog->CheckBoxPreview->setChecked(true);
    QListWidget *list = dialog->ListBoxSkins;
    const auto click = [&](int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    };
    struct Step
    {
        const char *what;
        std::function<void()> act;
        int row;
    };
    const Step steps[] = {
        {"click on the selected line", [&] { click(1); }, 1},
        {"again", [&] { click(1); }, 1},
        {"click on another line", [&] { click(0); }, 0},
        {"down key", [&] { QTest::keyClick(list, Qt::Key_Down); }, 1},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        dialogs.clear();
        step.act();
        EXPECT_EQ(list->currentRow(), step.row);
        EXPECT_EQ(dialogs.boxes().size(), perActivation);
    }
}

TEST_F(SkinSelect, AClickOnTheSelectedLineRetriesASkinThatFailed)
{
    const QString skin = makeSkin(QStringLiteral("A"), pictures() + "Name=A\r\nControlColor=12 045678\r\n");
    auto dialog = makeDialog();
    dialog->show();
    dialog->CheckBoxPreview->setChecked(true);
    QListWidget *list = dialog->ListBoxSkins;
    list->setCurrentRow(0);
    ASSERT_EQ(dialogs.boxesOf(DialogKind::Error).size(), 1);
    EXPECT_NE(windows.currentSkinPath(), skin);

    makeSkin(QStringLiteral("A"), pictures() + "Name=A\r\nControlColor=012045078\r\n");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(dialogs.boxesOf(DialogKind::Error).size(), 1);
    EXPECT_EQ(windows.currentSkinPath(), skin);
    EXPECT_EQ(windows.targets.NameEdit->palette().color(QPalette::Base), QColor(12, 45, 78));
}
