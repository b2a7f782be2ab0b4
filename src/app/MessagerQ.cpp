#include "app/MessagerQ.h"

#include "app/ChatHistory.h"
#include "app/ChatLineEdit.h"
#include "app/ColorChoice.h"
#include "app/KeyPreview.h"
#include "app/LineAttention.h"
#include "app/ModeChoice.h"
#include "app/MouseClicks.h"
#include "app/PaintBox.h"
#include "app/ReceiveLed.h"
#include "app/WidgetLook.h"
#include "app/WindowDragger.h"
#include "assets/StandardLook.h"
#include "chat/ChatLine.h"
#include "chat/ChatSession.h"
#include "controls/AccessibleControls.h"
#include "controls/StateButton.h"
#include "lcd/InfoQ.h"
#include "net/MsgTransport.h"
#include "pictures/Pictures.h"
#include "platform/core/Registry.h"
#include "platform/core/Text.h"
#include "platform/gui/Application.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Fonts.h"
#include "settings/OptionsQ.h"
#include "skins/SkinCatalogue.h"
#include "skins/SkinLook.h"
#include "skins/SkinSelectQ.h"

#include "Version.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QScopeGuard>

#include <tuple>

using namespace widgetlook;

namespace {

const QString kNoReceiversHint = QStringLiteral("Es wurden noch keine Empfänger angegeben!!!");
const QString kSendHint = QStringLiteral("Senden!");

} // namespace

TForm1::TForm1(QWidget *parent) : TForm1(Setup(), parent)
{
}

TForm1::TForm1(const Setup &setup, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      m_session(
          new chat::ChatSession({setup.port, setup.sendPort, setup.listenAddress, setup.closeGraceMs}, this)),
      ImageMain(pictureLabel(this, platform::loadPicture(StandardLook::MainBackground))),
      BevelColor(new QFrame(this)), LabelColor(new QLabel(QStringLiteral("Farbe..."), this)),
      Move(pictureLabel(this, keyedBitmap(StandardLook::DragHandle))), LED(new PaintBox(this)),
      StatusLabel(new QLabel(this)), ButtonClose(bitmapButton(this, StandardLook::CloseButton)),
      ButtonMinimize(bitmapButton(this, StandardLook::MinimizeButton)),
      SendButton(bitmapButton(this, StandardLook::SendButton, true)), LabelToMove(new QLabel(this)),
      BtnOptions(bitmapButton(this, StandardLook::OptionsButton)),
      ImagePlauderdeckLogo(pictureLabel(this, platform::loadPicture(StandardLook::Logo))),
      NameEdit(new ChatLineEdit(this)), ComboBoxMode(new QComboBox(this)),
      MessageEdit(new ChatLineEdit(this)),
      MessageMemo(
          new ChatHistory({setup.historyCharacters, setup.historyLines, setup.frameCharacters}, this)),
      m_led(new ReceiveLed(
          LED, [this](int range) { return random(range); }, this)),
      m_colorChoice(new ColorChoice(LabelColor, BevelColor, this)),
      m_modeChoice(new ModeChoice(ComboBoxMode, MessageEdit, NameEdit, this)),
      m_dragger(new WindowDragger(this, Move)), m_randomSeed(setup.randomSeed), m_skinPlaces(setup.skinPlaces)
{
    setUpWindow();
    setUpComponents();
    connectMessageEvents();
    connectWindowHandling();
    m_session->listen();
}

TForm1::~TForm1()
{
    // The session reports until it is gone: the window is still whole then.
    delete m_session;
}

void TForm1::setUpWindow()
{
    setWindowTitle(QStringLiteral("Plauderdeck"));
    setGeometry(195, 105, 474, 255);
    setFixedSize(474, 255);
    setFont(platform::programFont());
    setAutoFillBackground(true);
    setColors(this, QPalette::Window, QColor(128, 128, 128), QPalette::WindowText, fontColor());
}

void TForm1::setUpComponents()
{
    ImageMain->setGeometry(0, 0, 474, 255);
    // A skin's picture is drawn at its own size from the corner, never stretched or centred.
    ImageMain->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    BevelColor->setGeometry(48, 147, 49, 20);
    BevelColor->setFrameStyle(QFrame::Panel | QFrame::Raised);
    BevelColor->setLineWidth(1);

    LabelColor->setGeometry(49, 148, 47, 18);
    LabelColor->setAlignment(Qt::AlignCenter);
    LabelColor->setAutoFillBackground(true);
    LabelColor->setStatusTip(QStringLiteral("Hier kann man sich eine Farbe aussuchen"));

    Move->setGeometry(431, 194, 34, 32);
    Move->setCursor(Qt::SizeAllCursor);
    Move->setStatusTip(QStringLiteral("Hier klicken und ziehen, um das Fenster zu verschieben"));

    LED->setGeometry(11, 229, 14, 14);

    StatusLabel->move(32, 230);
    styleStatusLine(StatusLabel);
    setStatusText(QString());

    ButtonClose->setGeometry(440, 10, 20, 20);
    ButtonClose->setStatusTip(QStringLiteral("beendet Plauderdeck"));
    ButtonMinimize->setGeometry(416, 10, 18, 20);
    ButtonMinimize->setStatusTip(QStringLiteral("minimiert das Fenster (in die Taskleiste)"));
    SendButton->setGeometry(104, 198, 113, 25);
    setSendButtonReady(false);

    LabelToMove->setGeometry(8, 6, 401, 25);

    BtnOptions->setGeometry(224, 198, 113, 25);
    BtnOptions->setStatusTip(QStringLiteral("Optionen (Empfänger etc.)"));

    ImagePlauderdeckLogo->setGeometry(40, 10, 133, 17);
    ImagePlauderdeckLogo->setCursor(Qt::PointingHandCursor);
    ImagePlauderdeckLogo->setStatusTip(
        QStringLiteral(
            "Plauderdeck %1 – Chat im lokalen Netz, von Fernwald Softwerkbau (Klick: Infos und Anleitung)")
            .arg(QLatin1String(kProgramVersion)));

    NameEdit->setGeometry(101, 147, 124, 21);
    NameEdit->setText(QStringLiteral("Name"));
    setFieldColors(NameEdit);

    ComboBoxMode->setGeometry(232, 147, 145, 21);
    setFieldColors(ComboBoxMode);
    // The arrow part of the box in the field's colour, not the desktop's button grey.
    setColors(ComboBoxMode, QPalette::Button, fieldColor(), QPalette::ButtonText, fontColor());
    ComboBoxMode->setStatusTip(QStringLiteral(
        "Hier auswählen, wie man etwas spricht bzw. was man macht (Handlungen mit . am Ende!)"));

    MessageEdit->setGeometry(16, 170, 441, 23);
    MessageEdit->setText(QStringLiteral("Nachricht"));
    setFieldColors(MessageEdit);
    MessageEdit->setStatusTip(QStringLiteral("Hier die Nachricht eingeben, die gesendet werden soll."));

    MessageMemo->setGeometry(15, 35, 444, 103);
    styleHistory(MessageMemo);
    MessageMemo->setStatusTip(QStringLiteral("Das sind die bisher empfangenen Nachrichten"));

    // Each control's object name, which tools and tests find it by, and what a screen reader
    // calls it, with the hint as its description; the frame and the status line say nothing.
    using Naming = std::tuple<QWidget *, const char *, QString>;
    for (const auto &[control, name, spoken] : std::initializer_list<Naming>{
             {ImageMain, "ImageMain", QStringLiteral("Hintergrund")},
             {BevelColor, "BevelColor", {}},
             {LabelColor, "LabelColor", QStringLiteral("Farbe")},
             {Move, "Move", QStringLiteral("Fenster verschieben")},
             {LED, "LED", QStringLiteral("Empfangsanzeige")},
             {StatusLabel, "StatusLabel", {}},
             {ButtonClose, "ButtonClose", QStringLiteral("Beenden")},
             {ButtonMinimize, "ButtonMinimize", QStringLiteral("Minimieren")},
             {SendButton, "SendButton", QStringLiteral("Senden")},
             {LabelToMove, "LabelToMove", QStringLiteral("Fenster verschieben")},
             {BtnOptions, "BtnOptions", QStringLiteral("Optionen")},
             {ImagePlauderdeckLogo, "ImagePlauderdeckLogo", QStringLiteral("Plauderdeck-Logo")},
             {NameEdit, "NameEdit", QStringLiteral("Name")},
             {ComboBoxMode, "ComboBoxMode", QStringLiteral("Sprechweise")},
             {MessageEdit, "MessageEdit", QStringLiteral("Nachricht")},
             {MessageMemo, "MessageMemo", QStringLiteral("Verlauf")}}) {
        control->setObjectName(QLatin1String(name));
        if (!spoken.isEmpty())
            controls::describeControl(control, spoken);
    }
    controls::describeControl(ComboBoxMode->lineEdit(), QStringLiteral("Sprechweise"));

    setTabOrder(NameEdit, ComboBoxMode);
    setTabOrder(ComboBoxMode, MessageEdit);
    NameEdit->setFocus(Qt::OtherFocusReason);
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Restoring from the taskbar shows the window again; the session starts only once.
    if (!m_shown && !event->spontaneous()) {
        m_shown = true;
        FormShow();
    }
}

void TForm1::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept();
}

void TForm1::FormShow()
{
    // 1. Hints go to the status line.
    if (auto *app = platform::Application::instance())
        connect(app, &platform::Application::OnHint, this, &TForm1::DisplayHint);

    // 2. A fresh session.
    m_dragger->reset();
    m_session->begin();
    m_currentSkinPath.clear();
    m_led->reset();

    // 3. A random light colour.
    m_random.seed(m_randomSeed.value_or(static_cast<quint32>(QDateTime::currentMSecsSinceEpoch())));
    const int red = random(138) + 117;
    const int green = random(138) + 117;
    const int blue = random(138) + 117;
    setOwnColor(QColor(red, green, blue));

    // 4. The computer's name is the sender field of every line.
    TMsgClient *sender = m_session->messageSender();
    platform::Registry machine(platform::RootKey::LocalMachine);
    if (machine.openKey(QStringLiteral("System\\CurrentControlSet\\control\\ComputerName\\ComputerName"),
                        false))
        sender->setFromName(platform::toWindows1252(machine.readString(QStringLiteral("ComputerName"))));
    machine.closeKey();

    // 5. Greet it.
    const QString computerName = platform::fromWindows1252(sender->fromName());
    NameEdit->setText(computerName);
    QString greeting = QStringLiteral("Hallo ") + computerName + QStringLiteral("!");
    if (const TMsgServer *getter = m_session->messageGetter(); !getter->isListening()) {
        greeting +=
            QStringLiteral(" Achtung: Port %1 ist belegt – es können keine Nachrichten empfangen werden.")
                .arg(getter->port());
    }
    setStatusText(greeting);

    // 6. The stored settings, if any, replace what steps 3 to 5 set.
    loadStoredSettings();

    // 7. The send button follows the checked receivers.
    if (m_optionForm)
        m_optionForm->ActualizeSendButtonState();
    else
        setSendButtonReady(false);

    // 8. The skin dialog builds the catalogue and applies the stored skin.
    createSkinDialog();
}

void TForm1::createSkinDialog()
{
    if (m_skinDialog)
        return;
    // Without an options window only this window changes; one that goes away before the dialog
    // is left alone.
    QList<skins::ApplySkin> windows{[this](const skins::SkinLook &look) { applySkin(look); }};
    if (m_optionForm)
        windows.append([options = m_optionForm](const skins::SkinLook &look) {
            if (options)
                options->applySkin(look);
        });
    m_skinDialog = std::make_unique<TFormSkinSelect>(this, std::move(windows),
                                                     m_skinPlaces.value_or(skins::skinPlaces()));
    if (m_optionForm)
        m_optionForm->setSkinDialog(m_skinDialog.get());
}

void TForm1::applySkin(const skins::SkinLook &look)
{
    using skins::setColorRole;
    if (look.Main)
        ImageMain->setPixmap(QPixmap::fromImage(*look.Main));
    skins::applyButtonBitmaps(SendButton, look.BtnSend);
    skins::applyButtonBitmaps(BtnOptions, look.BtnOptions);
    skins::applyButtonBitmaps(ButtonMinimize, look.BtnMinimize);
    skins::applyButtonBitmaps(ButtonClose, look.BtnClose);
    if (const auto &color = look.ControlColor) {
        setColorRole(NameEdit, QPalette::Base, *color);
        setColorRole(MessageEdit, QPalette::Base, *color);
        setColorRole(ComboBoxMode, QPalette::Base, *color);
        setColorRole(ComboBoxMode, QPalette::Button, *color);
        m_modeChoice->ComboBoxModeChange();
    }
    if (const auto &color = look.ControlFontColor) {
        setColorRole(this, QPalette::WindowText, *color);
        for (QWidget *control :
             std::initializer_list<QWidget *>{NameEdit, MessageEdit, ComboBoxMode, MessageMemo})
            setColorRole(control, QPalette::Text, *color);
        setColorRole(ComboBoxMode, QPalette::ButtonText, *color);
    }
    if (look.StatusFontColor)
        setColorRole(StatusLabel, QPalette::WindowText, *look.StatusFontColor);
    if (look.MainWindowBackgroundColor)
        setColorRole(this, QPalette::Window, *look.MainWindowBackgroundColor);
}

TFormSkinSelect *TForm1::skinDialog() const
{
    return m_skinDialog.get();
}

void TForm1::FormClose()
{
    if (m_closing)
        return;
    m_closing = true;

    // 1. The options window's OK handler saves the settings when saving is on. A save that fails
    // is reported, but the farewell still goes out.
    if (m_optionForm) {
        try {
            m_optionForm->ButtonOKClick();
        } catch (...) {
            platform::showCurrentException();
        }
    }

    // 2. The window goes at once. A user who has joined says goodbye to every checked
    // receiver, without any box, after the lines still waiting; when the close comes while a
    // line is being delivered, the running delivery takes the rest. All of it has a bounded
    // time: then the delivery under way is cancelled and what is left stays unsent.
    hide();
    Q_EMIT closing();
    closeSession();
}

void TForm1::DisplayHint()
{
    if (auto *app = platform::Application::instance())
        setStatusText(platform::longHint(app->hint()));
}

void TForm1::FormKeyDown(QKeyEvent *event)
{
    // The key travels on to the focused control in every case.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (SendButton->isEnabled()) {
            afterThisKey([this] { SendButtonClick(); });
        } else {
            setStatusText(SendButton->hint());
            platform::Application::beep();
        }
        break;
    case Qt::Key_F1:
        afterThisKey([this] { ImagePlauderdeckLogoClick(); });
        break;
    case Qt::Key_S:
        if (event->modifiers().testFlag(Qt::AltModifier)) {
            afterThisKey([this] {
                showSkinDialog();
                Button1Click();
            });
        }
        break;
    default:
        break;
    }
}

void TForm1::afterThisKey(std::function<void()> command)
{
    // A command that opens a box or waits must run after the key has gone its whole way: while
    // a box has the focus, the key climbing from its control would reach the window as a key
    // of the window's own and run the command a second time.
    QMetaObject::invokeMethod(this, std::move(command), Qt::QueuedConnection);
}

void TForm1::setSendButtonReady(bool anyReceiverChecked)
{
    SendButton->setEnabled(anyReceiverChecked);
    SendButton->setHint(anyReceiverChecked ? kSendHint : kNoReceiversHint);
}

void TForm1::setStatusText(const QString &text)
{
    StatusLabel->setText(text);
    StatusLabel->adjustSize();
}

QString TForm1::statusText() const
{
    return StatusLabel->text();
}

QString TForm1::chatName() const
{
    return NameEdit->text();
}

QColor TForm1::ownColor() const
{
    return m_colorChoice->color();
}

void TForm1::setOwnColor(const QColor &color)
{
    m_colorChoice->setColor(color);
}

int TForm1::random(int range)
{
    return range > 0 ? static_cast<int>(m_random.bounded(static_cast<quint32>(range))) : 0;
}

void TForm1::connectWindowHandling()
{
    m_dragger->addArea(LabelToMove);
    // Key preview: the window sees every key before the control that has the focus.
    auto *keys = new KeyPreview(this);
    for (QWidget *control : {static_cast<QWidget *>(NameEdit), static_cast<QWidget *>(ComboBoxMode),
                             static_cast<QWidget *>(ComboBoxMode->lineEdit()),
                             static_cast<QWidget *>(MessageEdit), static_cast<QWidget *>(MessageMemo)})
        keys->watch(control);
    connect(keys, &KeyPreview::keyDown, this, [this](QKeyEvent *event) {
        if (m_keyPreview)
            FormKeyDown(event);
    });
    connect(new MouseClicks(ImagePlauderdeckLogo), &MouseClicks::clicked, this,
            &TForm1::ImagePlauderdeckLogoClick);
    connect(ButtonClose, &TStateButton::OnClick, this, &TForm1::ImageCloseClick);
    connect(ButtonMinimize, &TStateButton::OnClick, this, &TForm1::ImageMinimizeClick);
}

void TForm1::ImageMinimizeClick()
{
    // Every window of the program goes with the main window; the desktop brings them back.
    setWindowState((windowState() & ~Qt::WindowActive) | Qt::WindowMinimized);
}

void TForm1::ImageCloseClick()
{
    close();
}

void TForm1::ImagePlauderdeckLogoClick()
{
    showInfoWindow();
}

void TForm1::showInfoWindow()
{
    TFormInfo::execute(this);
}

void TForm1::showSkinDialog()
{
    if (m_skinDialog)
        m_skinDialog->exec();
}

TOptionForm *TForm1::optionForm() const
{
    return m_optionForm.data();
}

void TForm1::setOptionForm(TOptionForm *form)
{
    if (m_optionForm)
        disconnect(m_optionForm, nullptr, this, nullptr);
    m_optionForm = form;
    m_session->setReceivers(form ? form->receiverModel() : nullptr);
    if (!form)
        return;
    connect(form, &TOptionForm::sendButtonStateChanged, this, &TForm1::setSendButtonReady);
    const QPointer<TForm1> self(this);
    form->setSessionValues([self](settings::StoredSettings &values) {
        if (!self)
            return;
        values.ownName = self->NameEdit->text();
        values.ownColor = self->ownColor();
        values.currentSkinPath = self->currentSkinPath();
    });
}

void TForm1::connectMessageEvents()
{
    connect(SendButton, &TStateButton::OnClick, this, &TForm1::SendButtonClick);
    connect(BtnOptions, &TStateButton::OnClick, this, &TForm1::Button1Click);

    chat::ChatSession *session = m_session;
    connect(session, &chat::ChatSession::lineToShow, this, &TForm1::DisplayText);
    connect(session, &chat::ChatSession::lineWantsAttention, this,
            [this](const QByteArray &sFrom, const QByteArray &payload) {
                requestAttentionForLine(this, sFrom, payload);
            });
    connect(session, &chat::ChatSession::unknownSender, this, &TForm1::askAboutSender);
    connect(session, &chat::ChatSession::statusText, this, &TForm1::setStatusText);
    connect(session, &chat::ChatSession::warning, this,
            [](const QString &text) { platform::dialogs().warning(text); });
    connect(session, &chat::ChatSession::sorry, this,
            [](const QString &text) { platform::dialogs().sorry(text); });
    connect(session, &chat::ChatSession::frameDone, MessageMemo, &ChatHistory::finishFrame);
    connect(m_colorChoice, &ColorChoice::chosen, session, [session] { session->setColorChanged(true); });
}

void TForm1::loadStoredSettings()
{
    if (!m_optionForm)
        return;
    // A store that cannot be read is reported; the window keeps what it has and start-up goes on.
    std::optional<settings::StoredSettings> stored;
    try {
        stored = m_optionForm->LoadSettings();
    } catch (...) {
        platform::showCurrentException();
        return;
    }
    if (!stored)
        return;
    NameEdit->setText(stored->ownName);
    if (stored->ownColor)
        setOwnColor(*stored->ownColor);
    setCurrentSkinPath(stored->currentSkinPath);
}

void TForm1::Button1Click()
{
    if (m_optionForm)
        m_optionForm->exec();
}

void TForm1::SendButtonClick()
{
    if (!SendButton->isEnabled()) {
        platform::Application::beep();
        return;
    }
    // A request that does not fit behind the waiting lines is refused whole; the message stays.
    if (!m_session->send(NameEdit->text(), ComboBoxMode->currentText(), MessageEdit->text(),
                         m_colorChoice->lineColor())) {
        platform::Application::beep();
        return;
    }

    // The message stays; selected, it is replaced by the next keystroke.
    if (MessageEdit->isEnabled() && MessageEdit->hasFocus()) {
        MessageEdit->selectAll();
    } else if (!MessageEdit->isEnabled() &&
               (ComboBoxMode->hasFocus() || ComboBoxMode->lineEdit()->hasFocus())) {
        ComboBoxMode->lineEdit()->selectAll();
    }
}

void TForm1::closeSession()
{
    m_session->close(NameEdit->text(), m_colorChoice->lineColor());
}

void TForm1::askAboutSender(const QString &sender)
{
    const QString question =
        QStringLiteral("Es ist eine Nachricht von dem Computer \"%1\" angekommen. Dieser "
                       "Computer befindet sich aber noch nicht in Ihrer Empfänger-Liste. "
                       "Soll er dort hinzugefügt werden?")
            .arg(sender);
    // The line asked about is in view while the box is open.
    MessageMemo->finishFrame();
    const QPointer<TForm1> self(this);
    const bool yes = platform::dialogs().confirmation(question);
    if (!self)
        return;
    if (!yes)
        m_session->declineSender(sender);
    else if (m_optionForm)
        m_optionForm->appendReceiver(sender);
}

bool TForm1::DisplayText(const QByteArray &payload)
{
    m_led->beginLine();
    const auto displayed = qScopeGuard([this] { m_led->endLine(); });

    const std::optional<chat::ChatLine> line = chat::ChatLine::fromPayload(payload);
    if (!line)
        return false;
    const bool frameFull = MessageMemo->appendChatLine(*line, m_session->receivedLines().isDraining());
    if (frameFull)
        m_session->receivedLines().endFrame();
    return true;
}
