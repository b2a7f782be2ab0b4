#include "app/MessagerQ.h"

#include "app/ChatWidgets.h"
#include "assets/StandardLook.h"
#include "controls/KeyColor.h"
#include "controls/StateButton.h"
#include "net/MsgTransport.h"
#include "platform/Application.h"
#include "platform/Fonts.h"
#include "platform/Pictures.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "settings/OptionsQ.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>

namespace {

const QString kNoReceiversHint = QStringLiteral("Es wurden noch keine Empfänger angegeben!!!");
const QString kSendHint = QStringLiteral("Senden!");
const QColor kFieldColor(192, 216, 184);
const QColor kFontColor(55, 55, 67);

void setColors(QWidget *widget, QPalette::ColorRole backgroundRole, const QColor &background,
               QPalette::ColorRole textRole, const QColor &text)
{
    QPalette palette = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, backgroundRole, background);
        palette.setColor(group, textRole, text);
    }
    widget->setPalette(palette);
}

void setTextColor(QWidget *widget, const QColor &text)
{
    QPalette palette = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::WindowText, text);
    widget->setPalette(palette);
}

// A label that only shows a picture at its own size.
QLabel *pictureLabel(QWidget *parent, const QImage &picture)
{
    auto *label = new QLabel(parent);
    label->setPixmap(QPixmap::fromImage(picture));
    return label;
}

// A bitmap of the standard look with its key colour (bottom-left pixel) made transparent.
QImage keyedBitmap(const QString &resource)
{
    return controls::keyedTransparent(platform::loadBitmap(resource));
}

TStateButton *bitmapButton(QWidget *parent, const QString &bitmaps, bool withDisabled = false)
{
    auto *button = new TStateButton(parent);
    button->setBitmapUp(platform::loadBitmap(StandardLook::up(bitmaps)));
    button->setBitmapOver(platform::loadBitmap(StandardLook::over(bitmaps)));
    button->setBitmapDown(platform::loadBitmap(StandardLook::down(bitmaps)));
    if (withDisabled)
        button->setBitmapDisabled(platform::loadBitmap(StandardLook::disabled(bitmaps)));
    return button;
}

} // namespace

TForm1::TForm1(QWidget *parent) : TForm1(Setup(), parent)
{
}

TForm1::TForm1(const Setup &setup, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      ImageMain(pictureLabel(this, platform::loadPicture(StandardLook::MainBackground))),
      BevelColor(new QFrame(this)), LabelColor(new QLabel(QStringLiteral("Farbe..."), this)),
      Move(pictureLabel(this, keyedBitmap(StandardLook::DragHandle))), LED(new PaintBox(this)),
      StatusLabel(new QLabel(this)), ButtonClose(bitmapButton(this, StandardLook::CloseButton)),
      ButtonMinimize(bitmapButton(this, StandardLook::MinimizeButton)),
      SendButton(bitmapButton(this, StandardLook::SendButton, true)), LabelToMove(new QLabel(this)),
      BtnOptions(bitmapButton(this, StandardLook::OptionsButton)),
      ImagePlauderdeckLogo(pictureLabel(this, platform::loadPicture(StandardLook::Logo))),
      NameEdit(new ChatLineEdit(this)), ComboBoxMode(new QComboBox(this)),
      MessageEdit(new ChatLineEdit(this)), MessageMemo(new QTextEdit(this)),
      MessageSender(new TMsgClient(this)), MessageGetter(new TMsgServer(this)),
      ImageListStatusbar{QPixmap::fromImage(keyedBitmap(StandardLook::LedUnlit)),
                         QPixmap::fromImage(keyedBitmap(StandardLook::LedLit))},
      LEDTimer(new QTimer(this)), m_randomSeed(setup.randomSeed)
{
    setUpWindow();
    setUpComponents();
    setUpMessageComponents(setup);
}

TForm1::~TForm1()
{
    // The server's workers push into the line queue: they must be gone before it is.
    delete MessageGetter;
}

void TForm1::setUpWindow()
{
    setWindowTitle(QStringLiteral("Plauderdeck"));
    setGeometry(195, 105, 474, 255);
    setFixedSize(474, 255);
    setFont(platform::productFont());
    setAutoFillBackground(true);
    setColors(this, QPalette::Window, QColor(128, 128, 128), QPalette::WindowText, kFontColor);
}

void TForm1::setUpComponents()
{
    ImageMain->setGeometry(0, 0, 474, 255);

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
    connect(LED, &PaintBox::OnPaint, this, &TForm1::LEDPaint);

    StatusLabel->move(32, 230);
    StatusLabel->setTextFormat(Qt::PlainText);
    StatusLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextColor(StatusLabel, QColor(172, 255, 145));
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
    ImagePlauderdeckLogo->setStatusTip(QStringLiteral(
        "Plauderdeck 4.6.0.7 – Chat im lokalen Netz, von Fernwald Softwerkbau (Klick: Infos und Anleitung)"));

    NameEdit->setGeometry(101, 147, 124, 21);
    NameEdit->setText(QStringLiteral("Name"));
    setColors(NameEdit, QPalette::Base, kFieldColor, QPalette::Text, kFontColor);

    ComboBoxMode->setGeometry(232, 147, 145, 21);
    ComboBoxMode->setEditable(true);
    ComboBoxMode->setLineEdit(new ChatLineEdit(ComboBoxMode));
    ComboBoxMode->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxMode->addItems(
        {QStringLiteral("röchelt:"), QStringLiteral("flüstert:"), QStringLiteral("sagt:"),
         QStringLiteral("ruft:"), QStringLiteral("schreit:"), QStringLiteral("brüllt:"),
         QStringLiteral("pöbelt:"), QStringLiteral("schwadroniert:"), QStringLiteral("(lachend):"),
         QStringLiteral("(ironisch):"), QStringLiteral("(wütend):"), QStringLiteral("(schadenfroh):"),
         QStringLiteral("lacht."), QStringLiteral("grinst."), QStringLiteral("lächelt."),
         QStringLiteral("ist sauer."), QStringLiteral("denkt nach."), QStringLiteral("findet das ... .")});
    ComboBoxMode->setCurrentIndex(2);
    ComboBoxMode->setMaxVisibleItems(ComboBoxMode->count());
    setColors(ComboBoxMode, QPalette::Base, kFieldColor, QPalette::Text, kFontColor);
    ComboBoxMode->setStatusTip(QStringLiteral(
        "Hier auswählen, wie man etwas spricht bzw. was man macht (Handlungen mit . am Ende!)"));

    MessageEdit->setGeometry(16, 170, 441, 23);
    MessageEdit->setText(QStringLiteral("Nachricht"));
    setColors(MessageEdit, QPalette::Base, kFieldColor, QPalette::Text, kFontColor);
    MessageEdit->setStatusTip(QStringLiteral("Hier die Nachricht eingeben, die gesendet werden soll."));

    MessageMemo->setGeometry(15, 35, 444, 103);
    MessageMemo->setReadOnly(true);
    MessageMemo->setFrameShape(QFrame::NoFrame);
    MessageMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MessageMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MessageMemo->setFocusPolicy(Qt::ClickFocus);
    setColors(MessageMemo, QPalette::Base, Qt::black, QPalette::Text, Qt::white);
    MessageMemo->setStatusTip(QStringLiteral("Das sind die bisher empfangenen Nachrichten"));

    LEDTimer->setInterval(50);

    // Key preview: the window sees every key before the control that has the focus.
    for (QWidget *control :
         {static_cast<QWidget *>(this), static_cast<QWidget *>(NameEdit),
          static_cast<QWidget *>(ComboBoxMode), static_cast<QWidget *>(ComboBoxMode->lineEdit()),
          static_cast<QWidget *>(MessageEdit), static_cast<QWidget *>(MessageMemo)})
        control->installEventFilter(this);

    setTabOrder(NameEdit, ComboBoxMode);
    setTabOrder(ComboBoxMode, MessageEdit);
    NameEdit->setFocus(Qt::OtherFocusReason);
}

void TForm1::setUpMessageComponents(const Setup &setup)
{
    MessageSender->setPort(setup.sendPort);
    MessageSender->setTimeOut(20000);
    MessageSender->setReportLevel(2);

    MessageGetter->setPort(setup.port);
    if (!setup.listenAddress.isEmpty())
        MessageGetter->setListenAddress(setup.listenAddress);
    MessageGetter->setReportLevel(2);
    // Raised on the connection's worker thread; the line is handled on ours.
    connect(
        MessageGetter, &TMsgServer::OnMSG, MessageGetter,
        [this](TSockSession *, const QByteArray &sFrom, const QByteArray &sMsg) {
            m_receivedLines.push(sFrom, sMsg);
        },
        Qt::DirectConnection);
    m_receivedLines.setHandler([this](const QByteArray &sFrom, const QByteArray &sMsg) {
        MessageGetterMSG(MessageGetter, sFrom, sMsg);
    });
    connectMessageEvents();
    MessageGetter->Loaded();
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

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (m_keyPreview && event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        // A key event climbs from the focused control to its parents; look at it once, where
        // it starts.
        auto *target = static_cast<QWidget *>(watched);
        QWidget *focus = QApplication::focusWidget();
        if (target->window() == this && target == (focus ? focus : this))
            FormKeyDown(static_cast<QKeyEvent *>(event));
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::FormShow()
{
    // 1. Hints go to the status line.
    if (auto *app = platform::Application::instance())
        connect(app, &platform::Application::OnHint, this, &TForm1::DisplayHint);

    // 2. A fresh session.
    m_dragging = false;
    m_dragToggle = false;
    m_hasJoined = false;
    m_colorChanged = false;
    m_lastSentName.clear();
    m_declinedSenders.clear();
    m_currentSkinPath.clear();
    m_blinkCounter = 0;
    m_displaying = false;

    // 3. A random light colour.
    m_random.seed(m_randomSeed.value_or(static_cast<quint32>(QDateTime::currentMSecsSinceEpoch())));
    const int red = random(138) + 117;
    const int green = random(138) + 117;
    const int blue = random(138) + 117;
    setOwnColor(QColor(red, green, blue));

    // 4. The computer's name is the sender field of every line.
    platform::Registry machine(platform::RootKey::LocalMachine);
    if (machine.openKey(QStringLiteral("System\\CurrentControlSet\\control\\ComputerName\\ComputerName"),
                        false))
        MessageSender->setFromName(
            platform::toWindows1252(machine.readString(QStringLiteral("ComputerName"))));
    machine.closeKey();

    // 5. Greet it.
    const QString computerName = platform::fromWindows1252(MessageSender->fromName());
    NameEdit->setText(computerName);
    QString greeting = QStringLiteral("Hallo ") + computerName + QStringLiteral("!");
    if (!MessageGetter->isListening()) {
        greeting +=
            QStringLiteral(" Achtung: Port %1 ist belegt – es können keine Nachrichten empfangen werden.")
                .arg(MessageGetter->port());
    }
    setStatusText(greeting);

    // 6. The stored settings, if any, replace what steps 3 to 5 set.
    loadStoredSettings();

    // 7. The send button follows the checked receivers.
    if (m_optionForm)
        m_optionForm->ActualizeSendButtonState();
    else
        setSendButtonReady(false);

    // The skin dialog is created here: it applies the stored skin.
}

void TForm1::FormClose()
{
    // 1. The options window's OK handler saves the settings when saving is on. A save that fails
    // is reported, but the farewell still goes out.
    if (m_optionForm) {
        try {
            m_optionForm->ButtonOKClick();
        } catch (...) {
            platform::showCurrentException();
        }
    }

    // 2. A user who has joined says goodbye to every checked receiver, without any box.
    if (m_hasJoined) {
        MessageSender->setTag(2);
        SendToAll(NameEdit->text() + QStringLiteral(" hat den Chatroom verlassen."), true);
    }
}

void TForm1::DisplayHint()
{
    if (auto *app = platform::Application::instance())
        setStatusText(platform::longHint(app->hint()));
}

void TForm1::LEDPaint(QPainter *painter)
{
    painter->drawPixmap(0, 0, ImageListStatusbar[m_ledState == 1 ? 1 : 0]);
}

void TForm1::FormKeyDown(QKeyEvent *)
{
    // The window's keyboard commands (Enter sends, F1 shows the info window, Alt+S the skins)
    // hook in here.
}

void TForm1::setSendButtonReady(bool anyReceiverChecked)
{
    SendButton->setEnabled(anyReceiverChecked);
    SendButton->setStatusTip(anyReceiverChecked ? kSendHint : kNoReceiversHint);
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

QColor TForm1::ownColor() const
{
    return LabelColor->palette().color(QPalette::Window);
}

void TForm1::setOwnColor(const QColor &color)
{
    const QColor inverse(255 - color.red(), 255 - color.green(), 255 - color.blue());
    setColors(LabelColor, QPalette::Window, color, QPalette::WindowText, inverse);
}

int TForm1::random(int range)
{
    return range > 0 ? static_cast<int>(m_random.bounded(static_cast<quint32>(range))) : 0;
}
