#pragma once

#include "net/GeneralServer.h"
#include "net/SockSession.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <mutex>
#include <optional>

// One chat line travels over one short TCP connection: the sender writes two fields, each a
// four-digit decimal length followed by that many bytes (sender name, then text), the receiver
// answers with the 16 bytes "OK" + 14 blanks, and the sender closes.
namespace MsgWire {

constexpr int kDefaultPort = 6711;
// Largest field the four-digit length can announce.
constexpr int kMaxField = 9999;
extern const QByteArray kReply;

// "0004name": the length as at least four decimal digits, then the bytes.
QByteArray field(const QByteArray &bytes);

// The value of a four-character length field: leading blanks, an optional sign, then decimal
// digits, or hexadecimal ones after "$", "x", "X", "0x" or "0X", up to the end of the field.
// Anything else is no number.
std::optional<int> lengthFieldValue(QByteArrayView text);

struct Delivery
{
    QByteArray from;
    QByteArray message;
};
// Reads both fields through `read(count)`, which answers exactly `count` bytes or throws.
// A length of 0 or below is an empty field; a malformed length throws ESockError.
Delivery readDelivery(const std::function<QByteArray(int)> &read);

} // namespace MsgWire

// Delivers one chat line to one host (Host, Port 6711).
class TMsgClient : public TSockSession
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMsgClient)
    Q_PROPERTY(QByteArray FromName READ fromName WRITE setFromName)

public:
    explicit TMsgClient(QObject *owner = nullptr);
    ~TMsgClient() override;

    // The sender name sent with every line, in Windows-1252 bytes.
    QByteArray fromName() const { return m_fromName; }
    void setFromName(const QByteArray &name) { m_fromName = name; }

    // Connects, sends the sender name and `text`, waits for the receiver's acknowledgement,
    // disconnects and returns the 16 reply bytes. Throws ESockError on every failure.
    // A call made while another delivery of this client is still running (from an event
    // handled inside its wait) is refused with ESockError "Bereits verbunden".
    QByteArray SendMsg(const QByteArray &text);
    // True while SendMsg runs.
    bool isBusy() const { return m_busy; }

    void Abort() override;

Q_SIGNALS:
    void OnMessageSent(TSockSession *sender);

private:
    QByteArray m_fromName;
    bool m_busy = false;
};

// Receives chat lines on Port 6711 and raises OnMSG for each.
class TMsgServer : public TGeneralServer
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMsgServer)

public:
    explicit TMsgServer(QObject *owner = nullptr);
    ~TMsgServer() override;

    // Asked on a worker thread, before a line of `bytes` bytes is acknowledged, whether the
    // line can be taken now; a line refused is not acknowledged and its connection is closed.
    using LineGate = std::function<bool(qsizetype bytes)>;
    void setLineGate(LineGate gate);

Q_SIGNALS:
    // Raised on the worker thread of the connection, after the acknowledgement was written;
    // lines of one sender are raised in the order they were sent. Receivers connect with
    // Qt::DirectConnection and hand the line over to their own thread without waiting.
    void OnMSG(TSockSession *sender, const QByteArray &sFrom, const QByteArray &sMsg);

protected:
    void Serve(TServerSession &session) override;

private:
    // Acknowledge-and-raise, one line at a time.
    std::mutex m_handOverOrder;
    LineGate m_lineGate; // guarded by m_handOverOrder
};
