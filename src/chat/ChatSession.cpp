#include "chat/ChatSession.h"

#include "chat/ReceiverListModel.h"
#include "platform/core/Text.h"

#include <QPointer>
#include <QScopeGuard>
#include <QTimer>

namespace chat {
namespace {

const QLatin1Char kQuote('"');

QString quoted(const QString &host)
{
    return kQuote + host + kQuote;
}

} // namespace

ChatSession::ChatSession(const Setup &setup, QObject *parent)
    : QObject(parent), m_sender(new TMsgClient(this)), m_getter(new TMsgServer(this)),
      m_closeGraceMs(setup.closeGraceMs)
{
    m_sender->setPort(setup.sendPort);
    m_sender->setTimeOut(20000);
    m_sender->setReportLevel(2);

    m_getter->setPort(setup.port);
    if (!setup.listenAddress.isEmpty())
        m_getter->setListenAddress(setup.listenAddress);
    m_getter->setReportLevel(2);
    // Raised on the connection's worker thread; the line is handled on ours.
    connect(
        m_getter, &TMsgServer::OnMSG, m_getter,
        [this](TSockSession *, const QByteArray &sFrom, const QByteArray &sMsg) {
            m_receivedLines.push(sFrom, sMsg);
        },
        Qt::DirectConnection);
    m_getter->setLineGate([this](qsizetype bytes) { return m_receivedLines.hasRoomFor(bytes); });
    m_receivedLines.setHandler([this](const QByteArray &sFrom, const QByteArray &sMsg) {
        try {
            MessageGetterMSG(m_getter, sFrom, sMsg);
        } catch (...) {
            // The lines shown so far are finished before the error is reported.
            Q_EMIT frameDone();
            throw;
        }
    });
    connect(&m_receivedLines, &ReceivedLineQueue::frameDone, this, &ChatSession::frameDone);

    connect(m_sender, &TSockSession::OnStatus, this, &ChatSession::MessageProgStatus);
    connect(m_getter, &TSockSession::OnStatus, this, &ChatSession::MessageProgStatus);
    connect(m_sender, &TSockSession::OnHostResolved, this, &ChatSession::MessageSenderHostResolved);
    connect(m_sender, &TSockSession::OnConnect, this, &ChatSession::MessageSenderConnect);
    connect(m_sender, &TMsgClient::OnMessageSent, this, &ChatSession::MessageSenderMessageSent);
    connect(m_sender, &TSockSession::OnDisconnect, this, &ChatSession::MessageSenderDisconnect);
    connect(m_sender, &TSockSession::OnInvalidHost, this, &ChatSession::MessageSenderInvalidHost,
            Qt::DirectConnection);
    connect(m_sender, &TSockSession::OnConnectionFailed, this, &ChatSession::MessageSenderConnectionFailed);
    connect(m_getter, &TGeneralServer::OnClientContact, this, &ChatSession::MessageGetterClientContact);
}

void ChatSession::listen()
{
    m_getter->Loaded();
}

ChatSession::~ChatSession()
{
    // The server's workers push into the line queue: they must be gone before it is.
    delete m_getter;
}

void ChatSession::setReceivers(ReceiverListModel *receivers)
{
    m_receivers = receivers;
}

void ChatSession::begin()
{
    m_hasJoined = false;
    m_colorChanged = false;
    m_lastSentName.clear();
    m_declinedSenders.clear();
}

bool ChatSession::send(const QString &name, const QString &mode, const QString &message, LineColor color)
{
    // The request's lines are made now, from the name, way of speaking, message and colour as
    // they are now, even when they have to wait for a delivery that still runs.
    QList<ChatLine> lines;
    if (!m_hasJoined)
        lines.append(ChatLine::joined(name, color));
    if (m_hasJoined && m_lastSentName != name)
        lines.append(ChatLine::renamed(m_lastSentName, name, color));
    if (m_hasJoined && m_colorChanged)
        lines.append(ChatLine::newColor(name, color));
    lines.append(ChatLine::spoken(name, mode, message, color));

    if (m_outgoing.size() + lines.size() > kMaxWaitingLines)
        return false;
    m_colorChanged = false;
    const bool renamed = m_lastSentName != name;
    m_lastSentName = name;
    m_hasJoined = true;
    for (const ChatLine &line : lines)
        queueLine(line);
    if (renamed)
        Q_EMIT chatNameChanged(name);
    deliverWaitingLines();
    return true;
}

void ChatSession::SendToAll(const QString &text, bool italic, LineColor color)
{
    queueLine(ChatLine(color, italic, text));
    deliverWaitingLines();
}

void ChatSession::close(const QString &name, LineColor color)
{
    if (m_closing)
        return;
    m_closing = true;
    // When the close comes while a line is being delivered, the running delivery takes the rest.
    m_reportMark = ReportMark::Closing;
    if (m_hasJoined)
        queueLine(ChatLine::left(name, color));
    QTimer::singleShot(m_closeGraceMs, this, [this] {
        m_closeTimeUp = true;
        m_outgoing.clear();
        m_sender->Cancel();
    });
    deliverWaitingLines();
}

void ChatSession::queueLine(const ChatLine &line)
{
    m_outgoing.push_back(line.payload());
}

void ChatSession::deliverWaitingLines()
{
    // The one message client carries one delivery at a time: a line sent while one runs (from
    // an event handled inside its waits) waits here, and this loop takes it after the others.
    if (m_sending)
        return;
    {
        m_sending = true;
        const auto done = qScopeGuard([this] { m_sending = false; });
        while (!m_outgoing.empty()) {
            const QByteArray payload = m_outgoing.front();
            m_outgoing.pop_front();
            // The list as it is now: a receiver added while this line travels gets the next one.
            const QList<ReceiverEntry> receivers =
                m_receivers ? m_receivers->entries() : QList<ReceiverEntry>();
            for (const ReceiverEntry &receiver : receivers) {
                if (receiver.checked && !m_closeTimeUp)
                    sendOneLine(receiver.name, payload);
            }
            Q_EMIT lineToShow(payload);
        }
    }
    // Nothing can be queued after the close's lines, so the loop that took them ends the close.
    if (m_closing && !m_closed) {
        m_closed = true;
        Q_EMIT closed();
    }
}

void ChatSession::sendOneLine(const QString &receiver, const QByteArray &payload)
{
    Q_EMIT statusText(QStringLiteral("Sende an ") + receiver + QStringLiteral("..."));
    // Each receiver starts with nothing reported.
    if (m_reportMark != ReportMark::Closing)
        m_reportMark = ReportMark::Nothing;
    m_sender->setHost(receiver);
    try {
        m_sender->SendMsg(payload);
        Q_EMIT statusText(receiver + QStringLiteral(" hat die Nachricht erhalten."));
    } catch (const std::exception &) {
        // The failure handlers may already have shown this receiver's box.
        if (m_reportMark == ReportMark::Nothing) {
            Q_EMIT sorry(QStringLiteral("Es gab Probleme."));
            Q_EMIT statusText(QStringLiteral("Es ist ein Fehler aufgetreten."));
        }
    }
}

void ChatSession::MessageGetterMSG(TSockSession *, const QByteArray &sFrom, const QByteArray &sMsg)
{
    Q_EMIT lineArrived(sFrom, sMsg);

    if (sFrom == m_sender->fromName()) {
        Q_EMIT statusText(QStringLiteral("Toll! Du hast eine Nachricht von Dir selbst erhalten. Die zeige "
                                         "ich aber nicht nochmal an."));
        return;
    }
    const QPointer<ChatSession> self(this);
    Q_EMIT lineToShow(sMsg);
    if (!self || !ChatLine::isReadable(sMsg))
        return;
    Q_EMIT lineWantsAttention(sFrom, sMsg);
    if (!self || sFrom.isEmpty())
        return;
    // A computer that only announced itself is asked about with its next line.
    if (ChatLine::announcesJoin(sMsg))
        return;

    const QString sender = platform::fromWindows1252(sFrom);
    if (m_declinedSenders.covers(sender))
        return;
    if (!m_receivers || m_receivers->contains(sender))
        return;
    Q_EMIT unknownSender(sender);
}

void ChatSession::MessageProgStatus(TSockSession *, const QString &Status)
{
    Q_EMIT statusText(Status);
}

void ChatSession::MessageSenderHostResolved(TSockSession *)
{
    Q_EMIT statusText(QStringLiteral("IP-Adresse vom Empfänger-PC ") + quoted(m_sender->host()) +
                      QStringLiteral(" ermittelt (Empfänger existiert also)."));
}

void ChatSession::MessageSenderConnect(TSockSession *)
{
    Q_EMIT statusText(QStringLiteral("Mit Empfänger-PC ") + quoted(m_sender->host()) +
                      QStringLiteral(" verbunden."));
}

void ChatSession::MessageSenderMessageSent(TSockSession *)
{
    Q_EMIT statusText(QStringLiteral("Nachricht an Empfänger-PC ") + quoted(m_sender->host()) +
                      QStringLiteral(" erfolgreich gesendet."));
}

void ChatSession::MessageSenderDisconnect(TSockSession *)
{
    Q_EMIT statusText(QStringLiteral("Verbindung mit Empfänger-PC ") + quoted(m_sender->host()) +
                      QStringLiteral(" getrennt."));
}

void ChatSession::MessageSenderInvalidHost(bool &Handled)
{
    // Handled stays false: the send gives up with an error, which the sending loop catches.
    Q_UNUSED(Handled)
    const QString host = m_sender->host();
    Q_EMIT statusText(QStringLiteral("Konnte die Nachricht an ") + quoted(host) +
                      QStringLiteral(" nicht senden."));
    reportOnce(QStringLiteral("Der Empfänger ") + quoted(host) + QStringLiteral(" ist nicht zu erreichen."));
}

void ChatSession::MessageSenderConnectionFailed(TSockSession *)
{
    const QString host = m_sender->host();
    Q_EMIT statusText(QStringLiteral("Verbindung mit Empfänger-PC ") + quoted(host) +
                      QStringLiteral(" konnte nicht hergestellt werden."));
    reportOnce(QStringLiteral("Es konnte keine Verbindung zum PC ") + quoted(host) +
               QStringLiteral(" aufgebaut werden."));
}

void ChatSession::reportOnce(const QString &box)
{
    if (m_reportMark != ReportMark::Nothing)
        return;
    Q_EMIT warning(box);
    m_reportMark = ReportMark::BoxShown;
}

void ChatSession::MessageGetterClientContact(TSockSession *Sender)
{
    // The listening server knows the caller's address once it has accepted the connection.
    const QString host = Sender ? Sender->peerAddress() : m_getter->peerAddress();
    Q_EMIT statusText(QStringLiteral("Der PC ") + quoted(host) +
                      QStringLiteral(" verbindet sich mit diesem PC."));
}

} // namespace chat
