#include "app/ReceivedLineQueue.h"

#include <QMetaObject>
#include <QScopeGuard>

ReceivedLineQueue::ReceivedLineQueue(QObject *parent) : QObject(parent) {}

ReceivedLineQueue::~ReceivedLineQueue() = default;

void ReceivedLineQueue::push(const QByteArray &sFrom, const QByteArray &sMsg)
{
    bool wake = false;
    {
        std::unique_lock lock(m_mutex);
        m_lines.push_back({sFrom, sMsg});
        wake = !m_wakePending;
        m_wakePending = true;
    }
    if (wake)
        scheduleDrain();
}

void ReceivedLineQueue::scheduleDrain()
{
    QMetaObject::invokeMethod(this, &ReceivedLineQueue::drain, Qt::QueuedConnection);
}

qsizetype ReceivedLineQueue::pending() const
{
    std::unique_lock lock(m_mutex);
    return static_cast<qsizetype>(m_lines.size());
}

bool ReceivedLineQueue::take(Line &line)
{
    std::unique_lock lock(m_mutex);
    // Lines pushed from here on need a wake-up of their own should this drain be nested.
    m_wakePending = false;
    if (m_lines.empty())
        return false;
    line = std::move(m_lines.front());
    m_lines.pop_front();
    return true;
}

void ReceivedLineQueue::drain()
{
    if (m_draining)
        return;
    m_draining = true;
    auto done = qScopeGuard([this] {
        m_draining = false;
        // After an error in the handler the rest still has to be shown.
        if (pending() > 0) {
            std::unique_lock lock(m_mutex);
            m_wakePending = true;
            lock.unlock();
            scheduleDrain();
        }
    });
    Line line;
    while (take(line)) {
        if (m_handler)
            m_handler(line.from, line.msg);
    }
}
