#include "app/MessagerQ.h"

#include "app/ChatHistory.h"
#include "app/ChatWidgets.h"
#include "assets/StandardLook.h"
#include "chat/ChatSession.h"
#include "controls/AccessibleControls.h"
#include "controls/KeyColor.h"
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
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

#include <algorithm>

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
      MessageSender(m_session->messageSender()), MessageGetter(m_session->messageGetter()),
      ImageListStatusbar{QPixmap::fromImage(keyedBitmap(StandardLook::LedUnlit)),
                         QPixmap::fromImage(keyedBitmap(StandardLook::LedLit))},
      LEDTimer(new QTimer(this)), m_randomSeed(setup.randomSeed), m_skinPlaces(setup.skinPlaces)
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
    setFont(platform::productFont());
    setAutoFillBackground(true);
    setColors(this, QPalette::Window, QColor(128, 128, 128), QPalette::WindowText, kFontColor);
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
        "Plauderdeck %1 – Chat im lokalen Netz, von Fernwald Softwerkbau (Klick: Infos und Anleitung)")
        .arg(QLatin1String(kProgramVersion)));

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
    // The arrow part of the box in the field's colour, not the desktop's button grey.
    setColors(ComboBoxMode, QPalette::Button, kFieldColor, QPalette::ButtonText, kFontColor);
    ComboBoxMode->setStatusTip(QStringLiteral(
        "Hier auswählen, wie man etwas spricht bzw. was man macht (Handlungen mit . am Ende!)"));

    MessageEdit->setGeometry(16, 170, 441, 23);
    MessageEdit->setText(QStringLiteral("Nachricht"));
    setColors(MessageEdit, QPalette::Base, kFieldColor, QPalette::Text, kFontColor);
    MessageEdit->setStatusTip(QStringLiteral("Hier die Nachricht eingeben, die gesendet werden soll."));

    MessageMemo->setGeometry(15, 35, 444, 103);
    MessageMemo->setReadOnly(true);
    // Nothing in the history is ever undone: an undo record per line would only grow with it.
    MessageMemo->setUndoRedoEnabled(false);
    {
        // Chat lines are Windows-1252 text: no script in it needs shaping, and skipping it
        // halves the cost of laying out each received line.
        QFont font = MessageMemo->font();
        font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::PreferNoShaping));
        MessageMemo->setFont(font);
    }
    MessageMemo->setFrameShape(QFrame::NoFrame);
    MessageMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MessageMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MessageMemo->setFocusPolicy(Qt::ClickFocus);
    setColors(MessageMemo, QPalette::Base, Qt::black, QPalette::Text, Qt::white);
    // A dark scroll bar that belongs to the black history rather than a white strip beside it.
    setColors(MessageMemo->verticalScrollBar(), QPalette::Window, QColor(16, 20, 18), QPalette::ButtonText,
              QColor(150, 170, 150));
    setColors(MessageMemo->verticalScrollBar(), QPalette::Button, QColor(52, 62, 56), QPalette::Base,
              QColor(16, 20, 18));
    MessageMemo->setStatusTip(QStringLiteral("Das sind die bisher empfangenen Nachrichten"));

    LEDTimer->setInterval(50);

    // What a screen reader calls each control; the hint, where there is one, describes it.
    controls::describeControls({
        {ImageMain, QStringLiteral("Hintergrund")},
        {LabelColor, QStringLiteral("Farbe")},
        {Move, QStringLiteral("Fenster verschieben")},
        {LED, QStringLiteral("Empfangsanzeige")},
        {ButtonClose, QStringLiteral("Beenden")},
        {ButtonMinimize, QStringLiteral("Minimieren")},
        {SendButton, QStringLiteral("Senden")},
        {LabelToMove, QStringLiteral("Fenster verschieben")},
        {BtnOptions, QStringLiteral("Optionen")},
        {ImagePlauderdeckLogo, QStringLiteral("Plauderdeck-Logo")},
        {NameEdit, QStringLiteral("Name")},
        {ComboBoxMode, QStringLiteral("Sprechweise")},
        {ComboBoxMode->lineEdit(), QStringLiteral("Sprechweise")},
        {MessageEdit, QStringLiteral("Nachricht")},
        {MessageMemo, QStringLiteral("Verlauf")},
    });

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
    if (handleWindowMouse(watched, event))
        return true;
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
    m_session->begin();
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
        ComboBoxModeChange();
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

void TForm1::LEDPaint(QPainter *painter)
{
    painter->drawPixmap(0, 0, ImageListStatusbar[m_ledState == 1 ? 1 : 0]);
}

void TForm1::FormKeyDown(QKeyEvent *event)
{
    // The key travels on to the focused control in every case.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (SendButton->isEnabled()) {
            afterThisKey(&TForm1::SendButtonClick);
        } else {
            setStatusText(SendButton->hint());
            platform::Application::beep();
        }
        break;
    case Qt::Key_F1:
        afterThisKey(&TForm1::ImagePlauderdeckLogoClick);
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

void TForm1::afterThisKey(void (TForm1::*command)())
{
    afterThisKey([this, command] { (this->*command)(); });
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

void TForm1::connectWindowHandling()
{
    for (QWidget *control :
         {static_cast<QWidget *>(Move), static_cast<QWidget *>(LabelToMove),
          static_cast<QWidget *>(LabelColor), static_cast<QWidget *>(ImagePlauderdeckLogo)})
        control->installEventFilter(this);
    connect(ButtonClose, &TStateButton::OnClick, this, &TForm1::ImageCloseClick);
    connect(ButtonMinimize, &TStateButton::OnClick, this, &TForm1::ImageMinimizeClick);
    connect(ComboBoxMode, &QComboBox::editTextChanged, this, &TForm1::ComboBoxModeChange);
}

// Mouse on the drag areas, the colour label and the logo. Returns true when the event is used up.
bool TForm1::handleWindowMouse(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
        type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);

    if (watched == Move || watched == LabelToMove) {
        dragMouseEvent(static_cast<QWidget *>(watched), mouse);
        return true;
    }
    if (watched == LabelColor) {
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
            LabelColorMouseDown();
        } else if (type == QEvent::MouseButtonRelease) {
            // The dialog opens before the frame is raised, so it stays lowered meanwhile.
            if (mouse->button() == Qt::LeftButton && LabelColor->rect().contains(mouse->position().toPoint()))
                ButtonColorClick();
            LabelColorMouseUp();
        }
        return true;
    }
    if (watched == ImagePlauderdeckLogo) {
        if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton &&
            ImagePlauderdeckLogo->rect().contains(mouse->position().toPoint()))
            ImagePlauderdeckLogoClick();
        return type != QEvent::MouseMove;
    }
    return false;
}

// Turns the mouse on a drag area into the three drag handlers. Coordinates are taken from the
// pointer's screen position and the window's own idea of where it is, so events queued before a
// move of the window cannot make it drift. After every move of the window the report that a
// window moving under a resting pointer produces follows at once, which the handlers expect in
// order to follow the pointer exactly.
void TForm1::dragMouseEvent(QWidget *control, QMouseEvent *mouse)
{
    const auto relative = [this, control](const QPointF &global) {
        return global.toPoint() - geometry().topLeft() - control->pos();
    };
    const QPoint at = relative(mouse->globalPosition());

    switch (mouse->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (mouse->button() != Qt::LeftButton || m_dragging)
            return;
        MoveMouseDown(at.x(), at.y());
        // Wayland lets no program place its own window: the desktop drags it instead.
        if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) && windowHandle())
            m_systemMove = windowHandle()->startSystemMove();
        return;
    case QEvent::MouseMove:
        if (m_systemMove) {
            // The desktop keeps the pointer for itself until the button goes up.
            if (!mouse->buttons().testFlag(Qt::LeftButton))
                MoveMouseUp(m_dragLastX, m_dragLastY);
            return;
        }
        MoveMouseMove(at.x(), at.y());
        if (m_dragging && m_dragToggle) {
            const QPoint after = relative(mouse->globalPosition());
            MoveMouseMove(after.x(), after.y());
        }
        return;
    case QEvent::MouseButtonRelease:
        if (mouse->button() != Qt::LeftButton)
            return;
        if (m_systemMove)
            MoveMouseUp(m_dragLastX, m_dragLastY);
        else
            MoveMouseUp(at.x(), at.y());
        return;
    default:
        return;
    }
}

void TForm1::exchangeRedAndBlueOfMove()
{
    Move->setPixmap(QPixmap::fromImage(Move->pixmap().toImage().rgbSwapped()));
}

void TForm1::MoveMouseDown(int X, int Y)
{
    m_dragLastX = X;
    m_dragLastY = Y;
    m_dragToggle = false;
    // A second press while held must not exchange the colours back.
    if (m_dragging)
        return;
    m_dragging = true;
    exchangeRedAndBlueOfMove();
}

void TForm1::MoveMouseMove(int X, int Y)
{
    if (!m_dragging)
        return;
    m_dragToggle = !m_dragToggle;
    if (m_dragToggle && (X != m_dragLastX || Y != m_dragLastY))
        move(pos() + QPoint(X - m_dragLastX, Y - m_dragLastY));
    m_dragLastX = X;
    m_dragLastY = Y;
}

void TForm1::MoveMouseUp(int X, int Y)
{
    // A release without its press would leave the handle with exchanged colours.
    if (!m_dragging)
        return;
    m_dragging = false;
    m_systemMove = false;
    if (X != m_dragLastX || Y != m_dragLastY)
        move(pos() + QPoint(X - m_dragLastX, Y - m_dragLastY));
    exchangeRedAndBlueOfMove();
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

void TForm1::ButtonColorClick()
{
    const std::optional<QColor> chosen = platform::dialogs().chooseColor(ownColor());
    if (!chosen)
        return;
    const int red = chosen->red();
    const int green = chosen->green();
    const int blue = chosen->blue();
    if (red <= 110 && green <= 90 && blue <= 130 && red + green + blue < 210) {
        platform::dialogs().warning(
            QStringLiteral("Die Farbe ist zu dunkel und wird deshalb nicht akzeptiert."));
        return;
    }
    const QColor color(red, green, blue);
    if (color == ownColor())
        return;
    setOwnColor(color);
    m_session->setColorChanged(true);
}

void TForm1::LabelColorMouseDown()
{
    BevelColor->setFrameShadow(QFrame::Sunken);
}

void TForm1::LabelColorMouseUp()
{
    BevelColor->setFrameShadow(QFrame::Raised);
}

void TForm1::ComboBoxModeChange()
{
    const QString mode = ComboBoxMode->currentText();
    if (mode.isEmpty())
        return;
    const QColor field = NameEdit->palette().color(QPalette::Base);
    const QColor text = NameEdit->palette().color(QPalette::Text);
    if (mode.endsWith(QLatin1Char('.'))) {
        // Actions need no message: the field goes dark. Each part darkens by 102, and stops at
        // black instead of borrowing from its neighbour.
        const auto darker = [](int part) { return std::max(part - 0x66, 0); };
        MessageEdit->setEnabled(false);
        setColors(MessageEdit, QPalette::Base,
                  QColor(darker(field.red()), darker(field.green()), darker(field.blue())), QPalette::Text,
                  text);
    } else {
        MessageEdit->setEnabled(true);
        setColors(MessageEdit, QPalette::Base, field, QPalette::Text, text);
    }
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
