#include "controls/GradBtn.h"
#include "platform/core/Error.h"
#include "settings/OptionsQ.h"
#include "skins/SkinSelectQ.h"
#include "support/FakeDialogs.h"
#include "support/OptionFormWidgets.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
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

#include <functional>
#include <memory>

namespace {

using platform::DialogKind;
using skins::SkinLook;

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

QColor pictureColor(const std::optional<QImage> &picture)
{
    return picture ? picture->pixelColor(0, 0) : QColor();
}

// The main window as the skin dialog sees it: the skin path it keeps and the parts of the look
// it is handed, in order. The options window is the program's own.
struct Windows
{
    Windows() { main.setProperty("CurrentSkinPath", QString()); }

    QString currentSkinPath() const { return main.property("CurrentSkinPath").toString(); }

    QList<skins::ApplySkin> applySkin()
    {
        return {[this](const SkinLook &part) { mainParts.append(part); },
                [this](const SkinLook &part) { options->applySkin(part); }};
    }

    // What the main window shows of a part of the look: the value it was handed last, if any.
    template <typename T> std::optional<T> shown(std::optional<T> SkinLook::*part) const
    {
        for (auto it = mainParts.crbegin(); it != mainParts.crend(); ++it)
            if ((*it).*part)
                return (*it).*part;
        return std::nullopt;
    }
    std::optional<QImage> shown(SkinLook::Button SkinLook::*button,
                                std::optional<QImage> SkinLook::Button::*state) const
    {
        for (auto it = mainParts.crbegin(); it != mainParts.crend(); ++it)
            if (((*it).*button).*state)
                return ((*it).*button).*state;
        return std::nullopt;
    }

    QObject main;
    std::unique_ptr<TOptionForm> options = std::make_unique<TOptionForm>();
    QList<SkinLook> mainParts;
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
        return std::make_unique<TFormSkinSelect>(&windows.main, windows.applySkin(), places);
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
    const QColor field = ui(*windows.options).ReceiveEdit->palette().color(QPalette::Base);
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
    EXPECT_FALSE(windows.shown(&SkinLook::Main));
    const auto over = windows.shown(&SkinLook::BtnSend, &SkinLook::Button::Over);
    ASSERT_TRUE(over);
    EXPECT_TRUE(over->isNull());
    EXPECT_FALSE(windows.shown(&SkinLook::BtnSend, &SkinLook::Button::Up));
    EXPECT_FALSE(windows.shown(&SkinLook::ControlColor));
    EXPECT_EQ(ui(*windows.options).ReceiveEdit->palette().color(QPalette::Base), field);
    EXPECT_EQ(ui(*windows.options).ButtonSkin->text(), QStringLiteral("Skin: Leer..."));
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
    EXPECT_EQ(windows.shown(&SkinLook::ControlColor), QColor(255, 0, 0));
    for (const QWidget *field : {static_cast<QWidget *>(ui(*windows.options).ReceiverList),
                                 static_cast<QWidget *>(ui(*windows.options).ReceiveEdit)})
        EXPECT_EQ(field->palette().color(QPalette::Base), QColor(255, 0, 0))
            << field->metaObject()->className();
    EXPECT_EQ(ui(*windows.options).ReceiverList->palette().color(QPalette::Text), QColor(0, 0, 255));
    EXPECT_EQ(windows.shown(&SkinLook::StatusFontColor), QColor(0, 255, 0));
    EXPECT_EQ(ui(*windows.options).LabelSaveRegCheck->palette().color(QPalette::WindowText), QColor(1, 2, 3));
    EXPECT_EQ(pictureColor(ui(*windows.options).ImageMainOption), QColor(Qt::red));

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
    EXPECT_EQ(pictureColor(windows.shown(&SkinLook::Main)), QColor(Qt::blue));
    EXPECT_EQ(windows.shown(&SkinLook::ControlColor), QColor(0, 128, 0));
    EXPECT_EQ(ui(*windows.options).ReceiveEdit->palette().color(QPalette::Base), QColor(0, 128, 0));
    EXPECT_EQ(windows.shown(&SkinLook::StatusFontColor), QColor(0, 255, 0));
    EXPECT_EQ(ui(*windows.options).ButtonSkin->text(), QStringLiteral("Skin: Rot..."));
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
    windows.mainParts.clear();
    EXPECT_THROW(dialog->ActivateSkin(skin), platform::Exception);
    EXPECT_TRUE(windows.mainParts.isEmpty());
    EXPECT_EQ(pictureColor(ui(*windows.options).ImageMainOption),
              pictureColor(ui(TOptionForm()).ImageMainOption));
    EXPECT_EQ(windows.currentSkinPath(), before);

    EXPECT_THROW(dialog->ActivateSkin(dir.path() + QStringLiteral("/fehlt")), platform::Exception);
    EXPECT_TRUE(dialogs.boxes().isEmpty());
}

TEST_F(SkinSelect, EachButtonGetsItsOwnBitmapsFoundInAnyLetterCase)
{
    const QString skin = makeSkin(QStringLiteral("Gross"), pictures() + "Name=Gross\r\n");
    solid({150, 40}, Qt::green).save(skin + QStringLiteral("BtnClose-Up.bmp"));
    solid({150, 40}, Qt::green).save(skin + QStringLiteral("btnclose-over.BMP"));
    makeDialog()->ActivateSkin(skin);
    const auto closeUp = windows.shown(&SkinLook::BtnClose, &SkinLook::Button::Up);
    const auto closeOver = windows.shown(&SkinLook::BtnClose, &SkinLook::Button::Over);
    const auto sendUp = windows.shown(&SkinLook::BtnSend, &SkinLook::Button::Up);
    ASSERT_TRUE(closeUp && closeOver && sendUp);
    EXPECT_EQ(closeUp->size(), QSize(150, 40));
    EXPECT_FALSE(closeOver->isNull());
    EXPECT_EQ(sendUp->size(), QSize(30, 12));
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
    EXPECT_EQ(pictureColor(windows.shown(&SkinLook::Main)), QColor(Qt::blue));
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
    EXPECT_EQ(pictureColor(windows.shown(&SkinLook::Main)), QColor(Qt::green));
    dialog->ButtonCancel->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(windows.currentSkinPath(), standard);
    EXPECT_EQ(pictureColor(windows.shown(&SkinLook::Main)), QColor(Qt::gray));

    // Cancel after nothing changed applies nothing.
    dialog->show();
    dialogs.clear();
    windows.mainParts.clear();
    dialog->ButtonCancel->click();
    EXPECT_TRUE(windows.mainParts.isEmpty());

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

    auto empty = std::make_unique<TFormSkinSelect>(&windows.main, windows.applySkin(),
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
    EXPECT_EQ(windows.shown(&SkinLook::ControlColor), QColor(12, 45, 78));
}
