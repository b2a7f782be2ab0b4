#pragma once

#include <QObject>

class QTimer;

// One-shot time-out timer of a session: fires OnTimer every Interval ms while Enabled; the
// session stops it at the first tick.
class TThreadTimer : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TThreadTimer)
    Q_PROPERTY(bool Enabled READ enabled WRITE setEnabled)
    Q_PROPERTY(uint Interval READ interval WRITE setInterval)

public:
    explicit TThreadTimer(QObject *owner = nullptr);

    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    uint interval() const { return m_interval; }
    void setInterval(uint interval);

Q_SIGNALS:
    void OnTimer(TThreadTimer *sender);

private:
    void UpdateTimer();

    QTimer *const m_timer;
    bool m_enabled = true;
    uint m_interval = 1000;
};
