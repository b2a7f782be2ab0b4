#include "settings/OptionsQ.h"

#include "assets/StandardLook.h"
#include "chat/ReceiverListModel.h"
#include "controls/AccessibleControls.h"
#include "controls/FixedRowDelegate.h"
#include "controls/GradBtn.h"
#include "controls/StateButton.h"
#include "pictures/Pictures.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Fonts.h"
#include "settings/PeerOffer.h"
#include "skins/SkinLook.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QItemSelectionModel>
#include <QListView>
#include <QMouseEvent>
#include <QPushButton>

#include <algorithm>

namespace {

const QColor kWindowColor(128, 128, 128);
const QColor kFontColor(192, 255, 0);
const QColor kControlColor(192, 216, 184);
const QColor kControlFontColor(55, 55, 67);

void setColors(QWidget *widget, const QColor &background, const QColor &text)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::Text, text);
    widget->setPalette(palette);
}

// A plain push button that never becomes the dialog's default, so Enter in the edit field is
// left to the edit's own handler.
QPushButton *makeButton(const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setAutoDefault(false);
    return button;
}

// The installed stand-in for the windows' font runs wider than the one the layout was made for;
// a caption that would be cut is narrowed just enough to fit its fixed-size button.
void fitCaption(QPushButton *button)
{
    constexpr int kMargins = 6;
    constexpr int kNarrowest = 75;
    const int available = button->width() - kMargins;
    QFont font = button->font();
    const int width = QFontMetrics(font).horizontalAdvance(button->text().remove(QLatin1Char('&')));
    if (width <= available)
        return;
    font.setStretch(std::max(kNarrowest, available * 100 / width));
    button->setFont(font);
}

// A label that sizes to its text but must end inside the window is narrowed just enough.
void fitLabel(QLabel *label, int right)
{
    constexpr int kNarrowest = 75;
    label->adjustSize();
    const int available = right - label->x();
    if (label->width() <= available)
        return;
    QFont font = label->font();
    font.setStretch(std::max(kNarrowest, available * 100 / label->width()));
    label->setFont(font);
    label->adjustSize();
}

// Push buttons in the dark of the artwork instead of the desktop's light grey.
void setButtonColors(QPushButton *button)
{
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, QColor(62, 72, 66));
    palette.setColor(QPalette::ButtonText, QColor(214, 226, 210));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(118, 128, 120));
    button->setPalette(palette);
}

} // namespace

TOptionForm::TOptionForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), ImageMainOption(new QLabel(this)),
      LabelSaveRegCheck(new QLabel(QStringLiteral("alles in Registry speichern"), this)),
      ButtonOK(new TStateButton(this)),
      GroupBox1(new QGroupBox(QStringLiteral("Nachrichten senden an:"), this)),
      ReceiveEdit(new QLineEdit(QStringLiteral("Computername"), GroupBox1)),
      ButtonAdd(makeButton(QStringLiteral("&Hinzufügen"), GroupBox1)),
      ButtonDel(makeButton(QStringLiteral("&Löschen"), GroupBox1)), ReceiverList(new QListView(GroupBox1)),
      SaveRegCheck(new QCheckBox(this)),
      ButtonDelOptions(makeButton(QStringLiteral("Einstellungen aus Reg. löschen"), this)),
      ButtonSkin(new TGradBtn(this)), m_receivers(new chat::ReceiverListModel(this)),
      m_peerOffer(new PeerOffer(ReceiveEdit, ReceiverList, m_receivers,
                                // A copy chosen from the list's menu goes in like a typed name,
                                // with the same checks; what the user had typed stays.
                                [this](const QString &address) {
                                    const QString typed = ReceiveEdit->text();
                                    ReceiveEdit->setText(address);
                                    ButtonAddClick();
                                    ReceiveEdit->setText(typed);
                                },
                                this))
{
    setObjectName(QStringLiteral("OptionForm"));
    setWindowTitle(QStringLiteral("Optionen"));
    setModal(true);
    move(308, 83);
    setFixedSize(179, 247);
    setFont(platform::programFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kWindowColor);
    palette.setColor(QPalette::WindowText, kFontColor);
    setPalette(palette);
    setAutoFillBackground(true);

    const auto name = [](QWidget *widget, const char *objectName, const QString &hint) {
        widget->setObjectName(QLatin1String(objectName));
        widget->setStatusTip(hint);
    };

    name(ImageMainOption, "ImageMainOption", {});
    ImageMainOption->setGeometry(0, 0, 179, 247);
    ImageMainOption->setScaledContents(true);
    ImageMainOption->setPixmap(QPixmap::fromImage(platform::loadPicture(StandardLook::OptionsBackground)));

    name(LabelSaveRegCheck, "LabelSaveRegCheck", {});
    LabelSaveRegCheck->move(34, 168);
    fitLabel(LabelSaveRegCheck, width() - 4);
    LabelSaveRegCheck->installEventFilter(this);

    name(ButtonOK, "ButtonOK", QStringLiteral("Speichert die Einstellungen und schließt dieses Fenster"));
    ButtonOK->move(52, 208);
    ButtonOK->setBitmapUp(QImage(StandardLook::up(StandardLook::OkButton)));
    ButtonOK->setBitmapOver(QImage(StandardLook::over(StandardLook::OkButton)));
    ButtonOK->setBitmapDown(QImage(StandardLook::down(StandardLook::OkButton)));
    ButtonOK->setFocusPolicy(Qt::NoFocus);

    name(GroupBox1, "GroupBox1", {});
    GroupBox1->setGeometry(9, 10, 161, 121);

    name(ReceiveEdit, "ReceiveEdit",
         QStringLiteral("Hier den Computernamen oder die IP-Adresse des Empfängers eingeben"));
    ReceiveEdit->setGeometry(8, 72, 145, 21);
    setColors(ReceiveEdit, kControlColor, kControlFontColor);
    ReceiveEdit->installEventFilter(this);

    name(ButtonAdd, "ButtonAdd", QStringLiteral("Fügt den Namen zur Liste der Empfänger hinzu"));
    ButtonAdd->setGeometry(16, 96, 65, 17);

    name(ButtonDel, "ButtonDel", QStringLiteral("Hiermit wird der ausgewählte Name aus der Liste gelöscht"));
    ButtonDel->setGeometry(80, 96, 65, 17);
    ButtonDel->setEnabled(false);

    name(ReceiverList, "ReceiverList",
         QStringLiteral("Das sind die Leute / PCs, die die Nachrichten empfangen werden"));
    ReceiverList->setGeometry(8, 16, 145, 57);
    ReceiverList->setModel(m_receivers);
    setColors(ReceiverList, kControlColor, kControlFontColor);
    ReceiverList->setSelectionMode(QAbstractItemView::SingleSelection);
    ReceiverList->setUniformItemSizes(true);
    ReceiverList->setItemDelegate(new FixedRowDelegate(ReceiverList));
    ReceiverList->viewport()->installEventFilter(this);

    name(SaveRegCheck, "SaveRegCheck",
         QStringLiteral("sollen die Einstellungen in der Registry gesichert werden?"));
    SaveRegCheck->setGeometry(17, 166, 16, 17);

    name(ButtonDelOptions, "ButtonDelOptions",
         QStringLiteral("Löscht die Einstellungen wieder aus der Registry"));
    ButtonDelOptions->setGeometry(13, 186, 153, 17);
    ButtonDelOptions->setEnabled(false);

    name(ButtonSkin, "ButtonSkin", QStringLiteral("Hier klicken und Skin aussuchen"));
    ButtonSkin->setGeometry(16, 136, 145, 25);
    ButtonSkin->setText(QStringLiteral("Skin: [Standard] ..."));
    ButtonSkin->setBeginColor(QColor(64, 64, 64));
    ButtonSkin->setEndColor(QColor(192, 192, 192));
    ButtonSkin->setGradientStyle(TGradBtn::gsElliptic);
    ButtonSkin->setTextStyle(TGradBtn::tsInset);
    ButtonSkin->setBtnFrameSize(2);
    ButtonSkin->setBtnHiliteClr(QColor(192, 192, 192));
    ButtonSkin->setBtnShadowClr(QColor(128, 128, 128));
    ButtonSkin->setTxtHiliteClr(Qt::white);
    ButtonSkin->setTxtShadowClr(Qt::black);
    ButtonSkin->setFontColor(Qt::black);

    for (QPushButton *button : {ButtonAdd, ButtonDel, ButtonDelOptions}) {
        fitCaption(button);
        setButtonColors(button);
    }

    setTabOrder(SaveRegCheck, ReceiveEdit);
    setTabOrder(ReceiveEdit, ButtonAdd);
    setTabOrder(ButtonAdd, ButtonDel);
    setTabOrder(ButtonDel, ReceiverList);
    setTabOrder(ReceiverList, ButtonDelOptions);
    setTabOrder(ButtonDelOptions, ButtonSkin);

    // What a screen reader calls each control (the others by their captions); the hint
    // describes it.
    controls::describeControls({
        {ImageMainOption, QStringLiteral("Hintergrund")},
        {LabelSaveRegCheck, {}},
        {ButtonOK, QStringLiteral("OK")},
        {ReceiveEdit, QStringLiteral("Computername oder IP-Adresse")},
        {ButtonAdd, {}},
        {ButtonDel, {}},
        {ReceiverList, QStringLiteral("Empfänger")},
        {SaveRegCheck, LabelSaveRegCheck->text()},
        {ButtonDelOptions, {}},
        {ButtonSkin, {}},
    });

    connect(ReceiveEdit, &QLineEdit::textChanged, this, &TOptionForm::ReceiveEditChange);
    connect(ButtonAdd, &QPushButton::clicked, this, &TOptionForm::ButtonAddClick);
    connect(ButtonDel, &QPushButton::clicked, this, &TOptionForm::ButtonDelClick);
    connect(ReceiverList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TOptionForm::FormShow);
    connect(ButtonDelOptions, &QPushButton::clicked, this, &TOptionForm::ButtonDelOptionsClick);
    connect(ButtonSkin, &TGradBtn::clicked, this, &TOptionForm::ButtonSkinClick);
    connect(ButtonOK, &TStateButton::OnClick, this, &TOptionForm::ButtonOKClick);
}

TOptionForm::~TOptionForm() = default;

void TOptionForm::ReceiveEditChange()
{
    ButtonAdd->setEnabled(!ReceiveEdit->text().isEmpty());
}

bool TOptionForm::ReceiveEditKeyPress(int key)
{
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && ButtonAdd->isEnabled())
        ButtonAddClick();
    return false;
}

void TOptionForm::ButtonAddClick()
{
    // The name is taken exactly as typed: a leading blank makes another receiver.
    const QString name = ReceiveEdit->text();
    if (hasReceiver(name)) {
        platform::dialogs().information(duplicateMessage(name));
        return;
    }
    m_receivers->append(name, true);
    ReceiveEdit->clear();
    FormShow();
}

void TOptionForm::ButtonDelClick()
{
    // The button may be enabled without a selection after a sender was appended.
    const QModelIndexList selected = ReceiverList->selectionModel()->selectedIndexes();
    if (!selected.isEmpty())
        m_receivers->removeRow(selected.first().row());
    ReceiverList->clearSelection();
    ReceiverList->setCurrentIndex({});
    FormShow();
}

void TOptionForm::FormShow()
{
    ButtonDel->setEnabled(!ReceiverList->selectionModel()->selectedIndexes().isEmpty());
}

void TOptionForm::LabelSaveRegCheckClick()
{
    SaveRegCheck->setChecked(!SaveRegCheck->isChecked());
}

void TOptionForm::ButtonDelOptionsClick()
{
    DeleteSettings();
}

void TOptionForm::ButtonSkinClick()
{
    if (m_skinDialog)
        m_skinDialog->exec();
}

void TOptionForm::ButtonOKClick()
{
    ActualizeSendButtonState();
    // A failed save throws past the rest, so the window stays open.
    if (SaveRegCheck->isChecked())
        SaveSettings();
    // Run by the chat window's close handler too, when this window is not open.
    if (isVisible())
        accept();
}

void TOptionForm::ActualizeSendButtonState()
{
    Q_EMIT sendButtonStateChanged(m_receivers->anyChecked());
}

void TOptionForm::setSkinDialog(QDialog *dialog)
{
    m_skinDialog = dialog;
}

void TOptionForm::applySkin(const skins::SkinLook &look)
{
    using skins::setColorRole;
    if (look.MainOption)
        ImageMainOption->setPixmap(QPixmap::fromImage(*look.MainOption));
    skins::applyButtonBitmaps(ButtonOK, look.BtnOK);
    if (const auto &color = look.ControlColor) {
        setColorRole(ReceiverList, QPalette::Base, *color);
        setColorRole(ReceiveEdit, QPalette::Base, *color);
    }
    if (const auto &color = look.ControlFontColor) {
        setColorRole(ReceiveEdit, QPalette::Text, *color);
        setColorRole(ReceiverList, QPalette::Text, *color);
    }
    if (look.SkinBtnColorOut)
        ButtonSkin->setEndColor(*look.SkinBtnColorOut);
    if (look.SkinBtnColorIn)
        ButtonSkin->setBeginColor(*look.SkinBtnColorIn);
    if (const auto &color = look.SkinBtnColorLight) {
        ButtonSkin->setBtnHiliteClr(*color);
        ButtonSkin->setTxtHiliteClr(*color);
    }
    if (look.SkinBtnColorShadow)
        ButtonSkin->setBtnShadowClr(*look.SkinBtnColorShadow);
    if (look.SkinBtnColorFont)
        ButtonSkin->setFontColor(*look.SkinBtnColorFont);
    if (look.OptionWindowFontColor)
        setColorRole(this, QPalette::WindowText, *look.OptionWindowFontColor);
    if (look.OptionWindowBackgroundColor)
        setColorRole(this, QPalette::Window, *look.OptionWindowBackgroundColor);
    if (look.Name)
        ButtonSkin->setText(QStringLiteral("Skin: ") + *look.Name + QStringLiteral("..."));
}

void TOptionForm::setSessionValues(std::function<void(settings::StoredSettings &)> fill)
{
    m_sessionValues = std::move(fill);
}

void TOptionForm::setPeerDiscovery(discovery::PeerDiscovery *discovery)
{
    m_peerOffer->setDiscovery(discovery);
}

QList<settings::ReceiverEntry> TOptionForm::receivers() const
{
    return m_receivers->entries();
}

void TOptionForm::setReceivers(const QList<settings::ReceiverEntry> &receivers)
{
    m_receivers->setEntries(receivers);
}

bool TOptionForm::hasReceiver(const QString &name) const
{
    return m_receivers->contains(name);
}

void TOptionForm::appendReceiver(const QString &name)
{
    m_receivers->append(name, true);
    ButtonDel->setEnabled(true);
    ActualizeSendButtonState();
}

std::optional<settings::StoredSettings> TOptionForm::LoadSettings()
{
    std::optional<settings::StoredSettings> loaded = settings::LoadSettings();
    if (loaded) {
        setReceivers(loaded->receivers);
        SaveRegCheck->setChecked(true);
        ButtonDelOptions->setEnabled(true);
    }
    return loaded;
}

void TOptionForm::SaveSettings()
{
    settings::StoredSettings values;
    values.receivers = receivers();
    if (m_sessionValues)
        m_sessionValues(values);
    settings::SaveSettings(values);
    ButtonDelOptions->setEnabled(true);
}

void TOptionForm::DeleteSettings()
{
    settings::DeleteSettings();
    ButtonDelOptions->setEnabled(false);
    SaveRegCheck->setChecked(false);
}

QString TOptionForm::duplicateMessage(const QString &name)
{
    return QStringLiteral("Der Computer \"") + name + QStringLiteral("\" ist schon in der Liste.");
}

void TOptionForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

bool TOptionForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ReceiveEdit && event->type() == QEvent::KeyPress)
        return ReceiveEditKeyPress(static_cast<QKeyEvent *>(event)->key());
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (watched == LabelSaveRegCheck && mouse->button() == Qt::LeftButton &&
            LabelSaveRegCheck->rect().contains(mouse->position().toPoint()))
            LabelSaveRegCheckClick();
        // A click anywhere in the list, also on an empty line, re-evaluates the delete button.
        else if (watched == ReceiverList->viewport())
            FormShow();
    }
    return QDialog::eventFilter(watched, event);
}
