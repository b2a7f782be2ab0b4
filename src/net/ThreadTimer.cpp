#include "net/ThreadTimer.h"

#include <QTimer>

#include <climits>

TThreadTimer::TThreadTimer(QObject *owner) : QObject(owner), m_timer(new QTimer(this))
{
    connect(m_timer, &QTimer::timeout, this, [this] { Q_EMIT OnTimer(this); });
    UpdateTimer();
}

void TThreadTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    UpdateTimer();
}

void TThreadTimer::setInterval(uint interval)
{
    if (interval == m_interval)
        return;
    m_interval = interval;
    UpdateTimer();
}

void TThreadTimer::UpdateTimer()
{
    m_timer->stop();
    if (m_interval != 0 && m_enabled)
        m_timer->start(static_cast<int>(qMin<uint>(m_interval, INT_MAX)));
}
