#include "net/MsgTransport.h"

#include "net/ServerSession.h"
#include "net/TransportTexts.h"

#include <QScopeGuard>

namespace MsgWire {

const QByteArray kReply = QByteArrayLiteral("OK              ");

QByteArray field(const QByteArray &bytes)
{
    return QByteArray::number(bytes.size()).rightJustified(4, '0') + bytes;
}

std::optional<int> lengthFieldValue(QByteArrayView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return std::nullopt;
    int value = 0;
    for (; i < n; ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        if (value > (INT_MAX - digit) / base)
            return std::nullopt;
        value = value * base + digit;
    }
    return negative ? -value : value;
}

Delivery readDelivery(const std::function<QByteArray(int)> &read)
{
    Delivery delivery;
    for (QByteArray *target : {&delivery.from, &delivery.message}) {
        const std::optional<int> length = lengthFieldValue(read(4));
        if (!length)
            throw ESockError(TransportTexts::badLengthField());
        if (*length > 0)
            *target = read(*length);
    }
    return delivery;
}

} // namespace MsgWire

TMsgClient::TMsgClient(QObject *owner) : TSockSession(owner)
{
    setPort(MsgWire::kDefaultPort);
    // The reply is all a client reads: whatever a receiver sends beyond it is not kept.
    setReceiveLimit(MsgWire::kReply.size());
}

TMsgClient::~TMsgClient()
{
    beginDestruction();
    try {
        Abort();
    } catch (const ESockError &) {
        // The socket goes with the session whatever its close reported.
    }
}

void TMsgClient::Abort()
{
    if (isConnected()) {
        Cancel();
        Disconnect();
    }
}

QByteArray TMsgClient::SendMsg(const QByteArray &text)
{
    // The four-digit length cannot announce more; refuse before anything goes out.
    if (m_fromName.size() > MsgWire::kMaxField || text.size() > MsgWire::kMaxField)
        throw ESockError(TransportTexts::messageTooLong());
    // One client carries one delivery at a time.
    if (m_busy)
        throw ESockError(TransportTexts::alreadyConnected());
    m_busy = true;
    const auto idle = qScopeGuard([this] {
        setExchangeDeadline(std::nullopt);
        m_busy = false;
    });
    Connect();
    // A receiver that takes the fields but never answers, or never takes them, must not hold
    // the sender: the whole exchange gets the time a connection may take to be made.
    if (timeOut() > 0)
        setExchangeDeadline(Clock::now() + std::chrono::milliseconds(timeOut()));
    QByteArray reply;
    try {
        // Each field goes out whole, zero bytes included, so its length always matches.
        ReportStatus(TransportTexts::Status::Write);
        SendBuffer(MsgWire::field(m_fromName));
        ReportStatus(TransportTexts::Status::Write);
        SendBuffer(MsgWire::field(text));
        Q_EMIT OnMessageSent(this);
        reply = Read(MsgWire::kReply.size());
    } catch (...) {
        try {
            Disconnect();
        } catch (const ESockError &) {
            // The delivery's own failure is the one to report.
        }
        throw;
    }
    try {
        Disconnect();
    } catch (const ESockError &) {
        // The receiver has acknowledged the line: it is delivered whatever the close reports.
    }
    return reply;
}

TMsgServer::TMsgServer(QObject *owner) : TGeneralServer(owner)
{
    setPort(MsgWire::kDefaultPort);
}

TMsgServer::~TMsgServer()
{
    beginDestruction();
    // The workers raise this server's OnMSG under its hand-over lock: both must outlive them.
    stopServing();
}

void TMsgServer::setLineGate(LineGate gate)
{
    std::lock_guard lock(m_handOverOrder);
    m_lineGate = std::move(gate);
}

void TMsgServer::Serve(TServerSession &session)
{
    const MsgWire::Delivery delivery =
        MsgWire::readDelivery([&session](int count) { return session.Read(count); });
    {
        // The acknowledgement goes out and the line is raised under the hand-over lock: a
        // sender opens its next connection only after this acknowledgement, so the worker of its
        // next line waits here until this line has been raised, and lines of one sender are
        // raised in the order they were sent.
        std::lock_guard order(m_handOverOrder);
        // A line with no room to wait in is not acknowledged: its sender learns that it failed
        // instead of the line being dropped unseen.
        if (m_lineGate && !m_lineGate(delivery.from.size() + delivery.message.size()))
            throw ESockError(TransportTexts::receiverBusy());
        session.Write(MsgWire::kReply);
        // A session that was cancelled (the server is going, or it had to make room) delivers
        // nothing more.
        if (!session.isCanceled())
            Q_EMIT OnMSG(&session, delivery.from, delivery.message);
    }
    session.waitForClientClose();
}
