#include "SettingsPrinters.h"
#include "assets/StandardLook.h"
#include "controls/GradBtn.h"
#include "controls/StateButton.h"
#include "pictures/Pictures.h"
#include "settings/OptionsQ.h"
#include "support/FakeDialogs.h"
#include "support/OptionFormWidgets.h"
#include "support/TempSettings.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QItemSelectionModel>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using platform::DialogKind;
using settings::ReceiverEntry;

namespace {

class OptionForm : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form = std::make_unique<TOptionForm>();
        // The chat window's send button, as the options window last left it.
        QObject::connect(form.get(), &TOptionForm::sendButtonStateChanged,
                         [this](bool ready) { sendReady = ready; });
    }

    QStringList names() const
    {
        QStringList list;
        for (const ReceiverEntry &entry : form->receivers())
            list.append(entry.name);
        return list;
    }

    void typeAndAdd(const QString &name)
    {
        ui(*form).ReceiveEdit->setText(name);
        QTest::mouseClick(ui(*form).ButtonAdd, Qt::LeftButton);
    }

    void selectRow(int row)
    {
        QListView *list = ui(*form).ReceiverList;
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        // Click the text, not the check box, so the check mark stays.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(rect.right() - 4, rect.center().y()));
    }

    TempSettings temp;
    FakeDialogs dialogs;
    std::unique_ptr<TOptionForm> form;
    std::optional<bool> sendReady;
};

bool settingsFileExists(const TempSettings &temp)
{
    return QFile::exists(
        temp.productFile(QStringLiteral("Fernwald Softwerkbau"), QStringLiteral("Plauderdeck")));
}

} // namespace

TEST_F(OptionForm, WindowAndComponentsSitWhereTheLayoutPutsThem)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Optionen"));
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form->geometry(), QRect(308, 83, 179, 247));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(128, 128, 128));
    EXPECT_EQ(form->palette().color(QPalette::WindowText), QColor(192, 255, 0));
    EXPECT_EQ(form->font().pixelSize(), 11);

    struct Expected
    {
        QWidget *widget;
        QRect geometry;
        QString text;
        QString hint;
    };
    const Expected table[] = {
        {ui(*form).ImageMainOption, {0, 0, 179, 247}, {}, {}},
        {ui(*form).ButtonOK, {52, 208, 75, 25}, {}, "Speichert die Einstellungen und schließt dieses Fenster"},
        {ui(*form).GroupBox1, {9, 10, 161, 121}, "Nachrichten senden an:", {}},
        {ui(*form).ReceiveEdit,
         {8, 72, 145, 21},
         "Computername",
         "Hier den Computernamen oder die IP-Adresse des Empfängers eingeben"},
        {ui(*form).ButtonAdd, {16, 96, 65, 17}, "&Hinzufügen", "Fügt den Namen zur Liste der Empfänger hinzu"},
        {ui(*form).ButtonDel,
         {80, 96, 65, 17},
         "&Löschen",
         "Hiermit wird der ausgewählte Name aus der Liste gelöscht"},
        {ui(*form).ReceiverList,
         {8, 16, 145, 57},
         {},
         "Das sind die Leute / PCs, die die Nachrichten empfangen werden"},
        {ui(*form).SaveRegCheck,
         {17, 166, 16, 17},
         {},
         "sollen die Einstellungen in der Registry gesichert werden?"},
        {ui(*form).ButtonDelOptions,
         {13, 186, 153, 17},
         "Einstellungen aus Reg. löschen",
         "Löscht die Einstellungen wieder aus der Registry"},
        {ui(*form).ButtonSkin, {16, 136, 145, 25}, "Skin: [Standard] ...", "Hier klicken und Skin aussuchen"},
    };
    for (const Expected &e : table) {
        SCOPED_TRACE(e.widget->objectName().toStdString());
        EXPECT_EQ(e.widget->geometry(), e.geometry);
        EXPECT_EQ(e.widget->statusTip(), e.hint);
        EXPECT_TRUE(e.widget->toolTip().isEmpty());
        QString text;
        if (auto *button = qobject_cast<QAbstractButton *>(e.widget))
            text = button->text();
        else if (auto *edit = qobject_cast<QLineEdit *>(e.widget))
            text = edit->text();
        else if (auto *group = qobject_cast<QGroupBox *>(e.widget))
            text = group->title();
        EXPECT_EQ(text, e.text);
    }

    EXPECT_EQ(ui(*form).LabelSaveRegCheck->text(), QStringLiteral("alles in Registry speichern"));
    EXPECT_EQ(ui(*form).LabelSaveRegCheck->pos(), QPoint(34, 168));
    EXPECT_EQ(ui(*form).LabelSaveRegCheck->size(), ui(*form).LabelSaveRegCheck->sizeHint());
    for (QWidget *inGroup :
         {static_cast<QWidget *>(ui(*form).ReceiveEdit), static_cast<QWidget *>(ui(*form).ButtonAdd),
          static_cast<QWidget *>(ui(*form).ButtonDel), static_cast<QWidget *>(ui(*form).ReceiverList)})
        EXPECT_EQ(inGroup->parentWidget(), ui(*form).GroupBox1);
    for (QWidget *field :
         {static_cast<QWidget *>(ui(*form).ReceiveEdit), static_cast<QWidget *>(ui(*form).ReceiverList)}) {
        EXPECT_EQ(field->palette().color(QPalette::Base), QColor(192, 216, 184));
        EXPECT_EQ(field->palette().color(QPalette::Text), QColor(55, 55, 67));
    }

    // Start state: Add usable for the preset text, nothing to delete, saving off.
    EXPECT_TRUE(ui(*form).ButtonAdd->isEnabled());
    EXPECT_FALSE(ui(*form).ButtonDel->isEnabled());
    EXPECT_FALSE(ui(*form).SaveRegCheck->isChecked());
    EXPECT_FALSE(ui(*form).ButtonDelOptions->isEnabled());
    EXPECT_EQ(ui(*form).ReceiverList->model()->rowCount(), 0);
}

TEST_F(OptionForm, TabKeyWalksTheControlsInOrderAndSkipsOk)
{
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ui(*form).ButtonDel->setEnabled(true); // disabled controls are skipped; the order is what counts here
    ui(*form).ButtonDelOptions->setEnabled(true);
    ui(*form).SaveRegCheck->setFocus();
    const QList<QWidget *> expected = {ui(*form).ReceiveEdit,  ui(*form).ButtonAdd,        ui(*form).ButtonDel,
                                       ui(*form).ReceiverList, ui(*form).ButtonDelOptions, ui(*form).ButtonSkin,
                                       ui(*form).SaveRegCheck};
    for (QWidget *next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    EXPECT_EQ(ui(*form).ButtonOK->focusPolicy(), Qt::NoFocus);
}

TEST_F(OptionForm, AddRightAfterStartAddsComputernameChecked)
{
    QTest::mouseClick(ui(*form).ButtonAdd, Qt::LeftButton);
    EXPECT_EQ(form->receivers(), QList<ReceiverEntry>({{"Computername", true}}));
    EXPECT_TRUE(ui(*form).ReceiveEdit->text().isEmpty());
    EXPECT_FALSE(ui(*form).ButtonAdd->isEnabled());
    EXPECT_FALSE(ui(*form).ButtonDel->isEnabled());
}

TEST_F(OptionForm, AddEnabledExactlyWhileTheEditHoldsText)
{
    ui(*form).ReceiveEdit->clear();
    EXPECT_FALSE(ui(*form).ButtonAdd->isEnabled());
    QTest::keyClicks(ui(*form).ReceiveEdit, QStringLiteral(" "));
    EXPECT_TRUE(ui(*form).ButtonAdd->isEnabled()) << "blanks count as text";
    QTest::keyClick(ui(*form).ReceiveEdit, Qt::Key_Backspace);
    EXPECT_FALSE(ui(*form).ButtonAdd->isEnabled());
}

TEST_F(OptionForm, NamesAreKeptAsTypedAndALeadingBlankMakesAnotherEntry)
{
    typeAndAdd(QStringLiteral("Jörgs-PC"));
    typeAndAdd(QStringLiteral(" Jörgs-PC"));
    typeAndAdd(QStringLiteral("192.168.0.7 "));
    EXPECT_EQ(names(), QStringList({"Jörgs-PC", " Jörgs-PC", "192.168.0.7 "}));
}

TEST_F(OptionForm, DuplicateInOtherCaseIsRefusedWithTheNameAsTyped)
{
    typeAndAdd(QStringLiteral("PC1"));
    typeAndAdd(QStringLiteral("pc1"));
    EXPECT_EQ(names(), QStringList({"PC1"}));
    EXPECT_EQ(ui(*form).ReceiveEdit->text(), QStringLiteral("pc1")) << "the edit keeps the refused name";
    const QList<FakeDialogs::Box> expected = {
        {DialogKind::Information, QStringLiteral("Information"),
         QStringLiteral("Der Computer \"pc1\" ist schon in der Liste.")}};
    EXPECT_EQ(dialogs.boxes(), expected);

    // Enter runs the same check.
    QTest::keyClick(ui(*form).ReceiveEdit, Qt::Key_Return);
    EXPECT_EQ(dialogs.boxes().size(), 2);
    EXPECT_EQ(names(), QStringList({"PC1"}));
}

TEST_F(OptionForm, EnterAddsLikeTheButtonAndDoesNothingInAnEmptyEdit)
{
    ui(*form).ReceiveEdit->clear();
    QTest::keyClick(ui(*form).ReceiveEdit, Qt::Key_Return);
    EXPECT_EQ(ui(*form).ReceiverList->model()->rowCount(), 0);

    QTest::keyClicks(ui(*form).ReceiveEdit, QStringLiteral("PC1"));
    QTest::keyClick(ui(*form).ReceiveEdit, Qt::Key_Return);
    QTest::keyClicks(ui(*form).ReceiveEdit, QStringLiteral("PC2"));
    QTest::keyClick(ui(*form).ReceiveEdit, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(form->receivers(), QList<ReceiverEntry>({{"PC1", true}, {"PC2", true}}));
    EXPECT_TRUE(ui(*form).ReceiveEdit->text().isEmpty());
}

TEST_F(OptionForm, EnterInTheShownWindowNeitherClosesItNorPressesAButton)
{
    bool okRan = false;
    QObject::connect(ui(*form).ButtonOK, &TStateButton::OnClick, [&okRan] { okRan = true; });
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ui(*form).ReceiveEdit->setFocus();
    QTest::keyClick(ui(*form).ReceiveEdit, Qt::Key_Return);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(okRan);
    EXPECT_EQ(names(), QStringList({"Computername"}));
}

TEST_F(OptionForm, SelectionDrivesDeleteAndDeleteLeavesNoSelection)
{
    form->setReceivers({{"A", true}, {"B", false}, {"C", true}});
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_FALSE(ui(*form).ButtonDel->isEnabled());

    selectRow(1);
    EXPECT_TRUE(ui(*form).ButtonDel->isEnabled());
    QTest::mouseClick(ui(*form).ButtonDel, Qt::LeftButton);
    EXPECT_EQ(form->receivers(), QList<ReceiverEntry>({{"A", true}, {"C", true}}));
    EXPECT_TRUE(ui(*form).ReceiverList->selectionModel()->selectedIndexes().isEmpty());
    EXPECT_FALSE(ui(*form).ButtonDel->isEnabled());

    // Keyboard selection counts as well.
    ui(*form).ReceiverList->setFocus();
    QTest::keyClick(ui(*form).ReceiverList, Qt::Key_Down);
    EXPECT_TRUE(ui(*form).ButtonDel->isEnabled());
    QTest::mouseClick(ui(*form).ButtonDel, Qt::LeftButton);
    EXPECT_EQ(ui(*form).ReceiverList->model()->rowCount(), 1);
    EXPECT_FALSE(ui(*form).ButtonDel->isEnabled());
}

TEST_F(OptionForm, SpaceAndClicksOnTheBoxToggleTheCheckMark)
{
    form->setReceivers({{"A", true}, {"B", false}});
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    selectRow(1);
    QTest::keyClick(ui(*form).ReceiverList, Qt::Key_Space);
    EXPECT_EQ(form->receivers(), QList<ReceiverEntry>({{"A", true}, {"B", true}}));
    QTest::keyClick(ui(*form).ReceiverList, Qt::Key_Space);
    EXPECT_EQ(form->receivers(), QList<ReceiverEntry>({{"A", true}, {"B", false}}));
}

TEST_F(OptionForm, RowsAreThirteenPixelsHigh)
{
    form->setReceivers({{"A", true}, {"B", false}, {"C", false}});
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QRect first = ui(*form).ReceiverList->visualRect(ui(*form).ReceiverList->model()->index(0, 0));
    const QRect second = ui(*form).ReceiverList->visualRect(ui(*form).ReceiverList->model()->index(1, 0));
    EXPECT_EQ(first.height(), 13);
    EXPECT_EQ(second.top() - first.top(), 13);
}

TEST_F(OptionForm, OkSetsTheSendButtonFromTheCheckMarks)
{
    form->ButtonOKClick();
    EXPECT_EQ(sendReady, false) << "empty list";

    form->setReceivers({{"A", false}, {"B", false}});
    sendReady = true;
    form->ButtonOKClick();
    EXPECT_EQ(sendReady, false) << "none checked";

    ui(*form).ReceiverList->model()->setData(ui(*form).ReceiverList->model()->index(1, 0), Qt::Checked,
                                         Qt::CheckStateRole);
    EXPECT_EQ(sendReady, false) << "a check mark alone does not update the send button";
    form->ButtonOKClick();
    EXPECT_EQ(sendReady, true);

    // Every call reports, so the chat window can rely on it at start-up.
    sendReady.reset();
    form->ActualizeSendButtonState();
    EXPECT_EQ(sendReady, true);
}

TEST_F(OptionForm, OkClosesTheShownWindowEscapeLeavesWithoutOk)
{
    form->setReceivers({{"A", true}});
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(sendReady.has_value()) << "leaving without OK keeps the send button as it was";

    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QTest::mouseClick(ui(*form).ButtonOK, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(sendReady, true);
    EXPECT_EQ(form->result(), QDialog::Accepted);
}

TEST_F(OptionForm, AppendedSenderIsCheckedAndDeletableWithoutSelection)
{
    form->setReceivers({{"A", false}});
    form->appendReceiver(QStringLiteral("Bernds-PC"));
    EXPECT_EQ(form->receivers(), QList<ReceiverEntry>({{"A", false}, {"Bernds-PC", true}}));
    EXPECT_TRUE(ui(*form).ButtonDel->isEnabled());
    EXPECT_EQ(sendReady, true);

    // Delete without a selection removes nothing and disables the button again.
    form->ButtonDelClick();
    EXPECT_EQ(ui(*form).ReceiverList->model()->rowCount(), 2);
    EXPECT_FALSE(ui(*form).ButtonDel->isEnabled());
}

TEST_F(OptionForm, ClickingTheLabelTogglesTheSwitch)
{
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QTest::mouseClick(ui(*form).LabelSaveRegCheck, Qt::LeftButton);
    EXPECT_TRUE(ui(*form).SaveRegCheck->isChecked());
    QTest::mouseClick(ui(*form).LabelSaveRegCheck, Qt::LeftButton);
    EXPECT_FALSE(ui(*form).SaveRegCheck->isChecked());
    QTest::mouseClick(ui(*form).LabelSaveRegCheck, Qt::RightButton);
    EXPECT_FALSE(ui(*form).SaveRegCheck->isChecked());
}

TEST_F(OptionForm, SkinButtonShowsTheSkinDialogModally)
{
    QDialog skinDialog;
    bool wasModal = false;
    QTimer::singleShot(0, &skinDialog, [&] {
        wasModal = skinDialog.isModal() && skinDialog.isVisible();
        skinDialog.reject();
    });
    form->setSkinDialog(&skinDialog);
    QTest::mouseClick(ui(*form).ButtonSkin, Qt::LeftButton);
    EXPECT_TRUE(wasModal);
}

TEST_F(OptionForm, OkWithTheSwitchOnSavesEverythingAndEnablesDelete)
{
    form->setSessionValues([](settings::StoredSettings &values) {
        values.ownName = QStringLiteral("Anna");
        values.ownColor = QColor(10, 20, 30);
        values.currentSkinPath = QStringLiteral("/skins/Blau/");
    });
    form->setReceivers({{"PC1", true}, {"PC2", false}});
    ui(*form).SaveRegCheck->setChecked(true);
    form->ButtonOKClick();
    EXPECT_TRUE(ui(*form).ButtonDelOptions->isEnabled());

    const std::optional<settings::StoredSettings> stored = settings::LoadSettings();
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->receivers, form->receivers());
    EXPECT_EQ(stored->ownName, QStringLiteral("Anna"));
    EXPECT_EQ(stored->ownColor, QColor(10, 20, 30));
    EXPECT_EQ(stored->currentSkinPath, QStringLiteral("/skins/Blau/"));
}

TEST_F(OptionForm, OkWithTheSwitchOffWritesNothing)
{
    form->setReceivers({{"PC1", true}});
    form->ButtonOKClick();
    EXPECT_FALSE(settingsFileExists(temp));
    EXPECT_FALSE(ui(*form).ButtonDelOptions->isEnabled());
    EXPECT_EQ(sendReady, true);
}

TEST_F(OptionForm, LoadFillsTheListAndTurnsSavingOnOnlyWhenTheKeyExists)
{
    form->setReceivers({{"Alt", true}});
    EXPECT_FALSE(form->LoadSettings().has_value());
    EXPECT_EQ(names(), QStringList({"Alt"}));
    EXPECT_FALSE(ui(*form).SaveRegCheck->isChecked());
    EXPECT_FALSE(ui(*form).ButtonDelOptions->isEnabled());

    settings::StoredSettings stored;
    stored.receivers = {{"PC1", false}, {"PC2", true}};
    stored.ownName = QStringLiteral("Bernd");
    settings::SaveSettings(stored);
    const std::optional<settings::StoredSettings> loaded = form->LoadSettings();
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->ownName, QStringLiteral("Bernd"));
    EXPECT_EQ(form->receivers(), stored.receivers);
    EXPECT_TRUE(ui(*form).SaveRegCheck->isChecked());
    EXPECT_TRUE(ui(*form).ButtonDelOptions->isEnabled());
}

TEST_F(OptionForm, DeleteResetsTheControlsSoALaterOkWritesNothing)
{
    form->setReceivers({{"PC1", true}});
    ui(*form).SaveRegCheck->setChecked(true);
    form->ButtonOKClick();
    ASSERT_TRUE(settingsFileExists(temp));

    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QTest::mouseClick(ui(*form).ButtonDelOptions, Qt::LeftButton);
    EXPECT_FALSE(settingsFileExists(temp));
    EXPECT_FALSE(ui(*form).SaveRegCheck->isChecked());
    EXPECT_FALSE(ui(*form).ButtonDelOptions->isEnabled());
    EXPECT_EQ(names(), QStringList({"PC1"})) << "deleting keeps the list in memory";
    EXPECT_TRUE(dialogs.boxes().isEmpty());

    form->ButtonOKClick();
    EXPECT_FALSE(settingsFileExists(temp));
}

TEST_F(OptionForm, FailedSaveShowsTheErrorAndKeepsTheWindowOpen)
{
    ASSERT_TRUE(QDir().mkpath(
        temp.productFile(QStringLiteral("Fernwald Softwerkbau"), QStringLiteral("Plauderdeck"))));
    ui(*form).SaveRegCheck->setChecked(true);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QTest::mouseClick(ui(*form).ButtonOK, Qt::LeftButton);
    EXPECT_EQ(dialogs.boxesOf(DialogKind::Error).size(), 1);
    EXPECT_EQ(dialogs.boxes().value(0).text, QStringLiteral("Konnte Daten für 'ReceiverList' nicht setzen"));
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(ui(*form).ButtonDelOptions->isEnabled());
}

TEST_F(OptionForm, BackgroundPictureFillsTheWindowAndTheLabelEndsInsideIt)
{
    const QImage background = ui(*form).ImageMainOption->pixmap().toImage();
    ASSERT_FALSE(background.isNull());
    EXPECT_EQ(background.size(), QSize(179, 247));
    EXPECT_EQ(background.convertToFormat(QImage::Format_RGB32),
              platform::loadPicture(StandardLook::OptionsBackground).convertToFormat(QImage::Format_RGB32));

    // The label sizes to its text, narrowed where the installed font would run past the edge.
    EXPECT_LE(ui(*form).LabelSaveRegCheck->geometry().right(), form->width() - 1);
    EXPECT_GE(
        ui(*form).LabelSaveRegCheck->width(),
        QFontMetrics(ui(*form).LabelSaveRegCheck->font()).horizontalAdvance(ui(*form).LabelSaveRegCheck->text()));
}
