#include "chat/ReceivedLineQueue.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <system_error>

namespace {

int createWakeCounter()
{
    const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");
    return fd;
}

} // namespace

ReceivedLineQueue::ReceivedLineQueue(QObject *parent)
    : QObject(parent), m_wakeFd(createWakeCounter()),
      m_wakeNotifier(new QSocketNotifier(m_wakeFd, QSocketNotifier::Read, this)),
      m_frameTimer(new QTimer(this))
{
    connect(m_wakeNotifier, &QSocketNotifier::activated, this, &ReceivedLineQueue::onWake);
    m_frameTimer->setSingleShot(true);
    m_frameTimer->setTimerType(Qt::PreciseTimer);
    connect(m_frameTimer, &QTimer::timeout, this, &ReceivedLineQueue::drain);
}

ReceivedLineQueue::~ReceivedLineQueue()
{
    delete m_wakeNotifier;
    ::close(m_wakeFd);
}

void ReceivedLineQueue::push(const QByteArray &sFrom, const QByteArray &sMsg)
{
    {
        std::lock_guard lock(m_mutex);
        m_lines.push_back({sFrom, sMsg});
        m_bytes += sFrom.size() + sMsg.size();
    }
    wake();
}

bool ReceivedLineQueue::hasRoomFor(qsizetype bytes) const
{
    std::lock_guard lock(m_mutex);
    return static_cast<qsizetype>(m_lines.size()) < kMaxLines && m_bytes + bytes <= kMaxBytes;
}

void ReceivedLineQueue::wake()
{
    const std::uint64_t one = 1;
    // Only a counter at its maximum refuses, and then a wake-up is pending anyway.
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

void ReceivedLineQueue::onWake()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(m_wakeFd, &count, sizeof count);
    const qint64 sinceDrain = m_lastDrain.isValid() ? m_lastDrain.elapsed() : kFrameMs;
    if (sinceDrain >= kFrameMs)
        drain();
    else if (!m_frameTimer->isActive())
        m_frameTimer->start(static_cast<int>(kFrameMs - sinceDrain));
}

qsizetype ReceivedLineQueue::pending() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<qsizetype>(m_lines.size());
}

bool ReceivedLineQueue::take(Line &line)
{
    std::lock_guard lock(m_mutex);
    if (m_lines.empty())
        return false;
    line = std::move(m_lines.front());
    m_lines.pop_front();
    m_bytes -= line.from.size() + line.msg.size();
    return true;
}

void ReceivedLineQueue::drain()
{
    if (m_draining)
        return;
    m_draining = true;
    m_lastDrain.start();
    m_frameTimer->stop();
    auto done = qScopeGuard([this] {
        m_draining = false;
        // After an error in the handler the rest still has to be shown.
        if (pending() > 0)
            wake();
    });
    // A flood is taken in slices: what is left after one goes on after the events that came
    // meanwhile, so typing and painting never wait for a whole backlog.
    m_frameFull = false;
    QElapsedTimer slice;
    slice.start();
    Line line;
    bool handedOver = false;
    while (!m_frameFull && slice.elapsed() < kSliceMs && take(line)) {
        handedOver = true;
        if (m_handler)
            m_handler(line.from, line.msg);
    }
    if (handedOver)
        Q_EMIT frameDone();
}
