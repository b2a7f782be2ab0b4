#pragma once

#include <QApplication>
#include <QTranslator>

namespace platform {

// The program's application object.
//
// An exception that escapes an event handler ends that handler only: it is shown in the error
// box (platform::dialogs().error) and the event loop goes on. Hints travel the way status tips
// do: whenever the control under the mouse pointer changes, its status tip (empty over a control
// without one) becomes hint() and OnHint is raised; the chat window shows it in its status line.
// Tooltip bubbles are off: only a control marked with setShowHint() shows the short part of its
// hint in one while the pointer rests on it. The font names the windows ask for ("MS Sans
// Serif", ...) are mapped to installed fonts, so text looks the same on every machine. The
// toolkit's own texts (standard context menus, colour and file dialogs, standard buttons) are
// German whatever the user's locale, as the rest of the program is.
class Application : public QApplication
{
    Q_OBJECT
    Q_PROPERTY(QString Hint READ hint NOTIFY OnHint)

public:
    Application(int &argc, char **argv);
    ~Application() override;
    Q_DISABLE_COPY_MOVE(Application)

    QString hint() const { return m_hint; }
    void setHint(const QString &hint);

    // Whether the toolkit's German texts were found and are in use.
    bool speaksGerman() const { return m_toolkitGerman; }

    // The application object, or nullptr when the running one is a plain QApplication.
    static Application *instance();

    // The platform's standard beep.
    static void beep();
    // How often beep() has sounded since the program started.
    static int beepCount();

    bool notify(QObject *receiver, QEvent *event) override;

Q_SIGNALS:
    void OnHint();

private:
    QString m_hint;
    QTranslator m_toolkitTexts;
    bool m_toolkitGerman = false;
};

// The part of a hint the status line shows: the text after the first "|", else the whole hint.
QString longHint(const QString &hint);
// The part of a hint a hint window shows: the text before the first "|", else the whole hint.
QString shortHint(const QString &hint);

// Whether `control`'s hint (its status tip) also shows in a hint window while the pointer rests
// on the control. Off for every control unless switched on.
void setShowHint(QWidget *control, bool show);
bool showsHint(const QWidget *control);

// Shows the error that ended an event handler in the error box. Call it from a catch block.
void showCurrentException();

} // namespace platform
