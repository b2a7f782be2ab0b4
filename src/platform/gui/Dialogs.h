#pragma once

#include <QColor>
#include <QString>

#include <optional>

namespace platform {

// The kinds of box the program shows, each with its fixed caption, icon and buttons.
enum class DialogKind {
    Warning,      // "Warnung", warning icon, "OK"
    Information,  // "Information", information icon, "OK"
    Confirmation, // "Bestätigung", question icon, "&Ja" / "&Nein"
    Sorry,        // "Sorry", exclamation icon, "OK": the plain system message box
    Error,        // the application's box for errors no handler caught; captioned with the title
    Color,        // the colour picker
};

// The caption a box of this kind carries.
QString dialogCaption(DialogKind kind);

// Every modal box of the program goes through this interface, so tests can watch and answer
// them. Texts are shown as plain text, never as markup.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    virtual void warning(const QString &text) = 0;
    virtual void information(const QString &text) = 0;
    // True when the user answers "Ja".
    virtual bool confirmation(const QString &text) = 0;
    virtual void sorry(const QString &text) = 0;
    virtual void error(const QString &text) = 0;
    // The colour picker, preset with `preset`; empty when the user cancels.
    virtual std::optional<QColor> chooseColor(const QColor &preset) = 0;
};

// The boxes on screen, parented to the active window.
class QtDialogs final : public Dialogs
{
public:
    void warning(const QString &text) override;
    void information(const QString &text) override;
    bool confirmation(const QString &text) override;
    void sorry(const QString &text) override;
    void error(const QString &text) override;
    std::optional<QColor> chooseColor(const QColor &preset) override;
};

// The program's boxes; QtDialogs unless replaced.
Dialogs &dialogs();
// Replaces the boxes (not owned); nullptr restores the boxes on screen.
void setDialogs(Dialogs *dialogs);

} // namespace platform
