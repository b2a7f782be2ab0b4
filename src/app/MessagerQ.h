#pragma once

#include "app/ChatHistory.h"
#include "chat/ChatSession.h"

#include <QPointer>
#include <QRandomGenerator>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class ChatLineEdit;
class ColorChoice;
class ModeChoice;
class PaintBox;
class QComboBox;
class QFrame;
class QKeyEvent;
class QLabel;
class ReceiveLed;
class TFormSkinSelect;
class TOptionForm;
class TStateButton;
class WindowDragger;
namespace skins {
struct SkinLook;
}

// The main chat window: a borderless 474 x 255 window drawn from pictures, holding the chat
// history, the input fields, the status line with its LED. It is a view of its chat session: it
// shows the session's lines and reports and hands it what the user sends. The session's server
// listens from the moment the window exists; received lines are handled on the window's thread one
// at a time in arrival order. The session state lives for one run and is never stored.
class TForm1 : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString CurrentSkinPath READ currentSkinPath WRITE setCurrentSkinPath)
    Q_PROPERTY(bool KeyPreview READ keyPreview WRITE setKeyPreview)

    // Deleted first, by the destructor: the session reports until it is gone, and the window is
    // whole then.
    chat::ChatSession *const m_session;

public:
    // The program ends within this long of the close: the session's grace time for the last
    // lines, and time for tearing down.
    static constexpr int kCloseLimitMs = 25000;

    // Tests listen on a free loopback port and draw the colour from a known seed instead of the
    // clock.
    struct Setup
    {
        int port = chat::ChatSession::kChatPort;
        int sendPort = chat::ChatSession::kChatPort; // the receivers' port
        QByteArray listenAddress;                    // empty: every local address
        std::optional<quint32> randomSeed;
        int closeGraceMs = chat::ChatSession::kCloseGraceMs;
        std::optional<QStringList> skinPlaces; // the folders searched for skins; none: the program's
        qsizetype frameCharacters = ChatHistory::kFrameCharacters; // the most a frame lays out
        qsizetype historyCharacters = ChatHistory::kHistoryCharacters;
        qsizetype historyLines = ChatHistory::kHistoryLines;
    };

    explicit TForm1(QWidget *parent = nullptr);
    explicit TForm1(const Setup &setup, QWidget *parent = nullptr);
    ~TForm1() override;
    Q_DISABLE_COPY_MOVE(TForm1)

    // Handlers.
    void FormShow();
    void FormClose();
    void DisplayHint();
    void FormKeyDown(QKeyEvent *event);

    // Sending and showing; the session does the rest.
    void SendButtonClick();
    // False when the payload's colour code is no number: then nothing is shown.
    bool DisplayText(const QByteArray &payload);
    void Button1Click();

    // Window handling.
    void ImageMinimizeClick();
    void ImageCloseClick();
    void ImagePlauderdeckLogoClick();

    // The send button's state for whether any receiver is checked: enabled with the hint
    // "Senden!", or disabled with the hint that no receivers are given.
    void setSendButtonReady(bool anyReceiverChecked);

    // Every writer of the status line goes through here: the label sizes itself to its text.
    void setStatusText(const QString &text);
    QString statusText() const;
    // The name in the name field, which the user's next line goes out under.
    QString chatName() const;

    // The own colour: background of LabelColor, with the inverse as its caption colour. A colour
    // the user chooses there marks the session's colour as changed.
    QColor ownColor() const;
    void setOwnColor(const QColor &color);

    // The session's random numbers (seeded at window show): 0 .. range - 1.
    int random(int range);

    QString currentSkinPath() const { return m_currentSkinPath; }
    void setCurrentSkinPath(const QString &path) { m_currentSkinPath = path; }
    bool keyPreview() const { return m_keyPreview; }
    void setKeyPreview(bool on) { m_keyPreview = on; }

    chat::ChatSession &session() const { return *m_session; }

    // The options window (not owned; it lives as long as this window). Its receiver list is the
    // one lines go to, it decides the send button's state and it saves this window's values.
    TOptionForm *optionForm() const;
    void setOptionForm(TOptionForm *form);
    // The skin dialog, made when the window is first shown; null before.
    TFormSkinSelect *skinDialog() const;
    // Takes the parts of a skin's look that belong to this window: its background, the bitmaps
    // of its four buttons, the colours of its fields, its text, its status line and its
    // background. A field shown darkened after an action stays so in the skin's colour.
    void applySkin(const skins::SkinLook &look);

Q_SIGNALS:
    // The window has closed and hidden itself; the waiting lines and the farewell go out now.
    void closing();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

    // The windows the chat window opens modally that live elsewhere: the info window of the
    // logo and F1, and the skin dialog of Alt+S. Until they exist nothing opens.
    virtual void showInfoWindow();
    virtual void showSkinDialog();

private:
    // Components, in stacking order (bottom first), each with its name as its object name.
    QLabel *const ImageMain;
    QFrame *const BevelColor;
    QLabel *const LabelColor;
    QLabel *const Move;
    PaintBox *const LED;
    QLabel *const StatusLabel;
    TStateButton *const ButtonClose;
    TStateButton *const ButtonMinimize;
    TStateButton *const SendButton;
    QLabel *const LabelToMove;
    TStateButton *const BtnOptions;
    QLabel *const ImagePlauderdeckLogo;
    ChatLineEdit *const NameEdit;
    QComboBox *const ComboBoxMode;
    ChatLineEdit *const MessageEdit;
    ChatHistory *const MessageMemo;

    void setUpWindow();
    void setUpComponents();
    void connectMessageEvents();
    void loadStoredSettings();
    void askAboutSender(const QString &sender);
    void closeSession();
    void afterThisKey(std::function<void()> command);
    void connectWindowHandling();
    void createSkinDialog();

    // The parts of the window's handling that have classes of their own.
    ReceiveLed *const m_led;
    ColorChoice *const m_colorChoice;
    ModeChoice *const m_modeChoice;
    WindowDragger *const m_dragger;

    const std::optional<quint32> m_randomSeed;
    const std::optional<QStringList> m_skinPlaces;
    QRandomGenerator m_random;
    bool m_shown = false;
    bool m_keyPreview = true;

    // Session state.
    QString m_currentSkinPath;
    bool m_closing = false;

    QPointer<TOptionForm> m_optionForm;
    // A window of its own, not one of this window's components.
    std::unique_ptr<TFormSkinSelect> m_skinDialog;
};
