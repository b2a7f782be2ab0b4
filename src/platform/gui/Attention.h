#pragma once

class QString;
class QWidget;

namespace platform {

// Asks the user to look at a window that is not in front: the window system's urgency hint and,
// where the desktop runs a notification service, a desktop notification. Callers decide when
// attention is due; this only asks.
class Attention
{
public:
    virtual ~Attention() = default;

    // `title` heads the notification (the sender), `text` is its body (the line).
    virtual void requestAttention(QWidget *window, const QString &title, const QString &text) = 0;
};

// QApplication::alert for the window, and org.freedesktop.Notifications on the session bus.
// Without a session bus or notification service only the urgency hint is given.
class DesktopAttention final : public Attention
{
public:
    void requestAttention(QWidget *window, const QString &title, const QString &text) override;

private:
    // A new line replaces the previous notification so a busy chat does not pile them up.
    unsigned m_lastNotification = 0;
};

// The program's attention requests; DesktopAttention unless replaced.
Attention &attention();
// Replaces the attention requests (not owned); nullptr restores the desktop's. Returns the
// replacement that was in place before (nullptr for the desktop's).
Attention *setAttention(Attention *attention);

} // namespace platform
