#pragma once

#include "chat/ChatLine.h"
#include "chat/DeclinedSenders.h"
#include "chat/ReceivedLineQueue.h"
#include "chat/ReceiverListModel.h"
#include "net/MsgTransport.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>

namespace chat {

// One chat session: the message client that delivers the user's lines to every checked
// receiver, the message server that receives the lines of others, and the rules between them.
//
// The server listens from listen() on, which the view calls once it is wired. Received lines
// cross from the server's worker threads to this object's thread at the one received-line
// queue and are handled there one at a time in arrival order. The session decides; a view
// shows what it reports through the signals below and answers the questions it asks. What it
// remembers (whether the user has joined, the name last sent, the declined senders) lasts for
// one run and is never stored.
class ChatSession : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChatSession)

public:
    static constexpr int kChatPort = MsgWire::kDefaultPort;
    // Lines that may wait for a delivery that still runs.
    static constexpr qsizetype kMaxWaitingLines = 100;
    // From the close on, the lines still waiting and the farewell have this long to go out.
    static constexpr int kCloseGraceMs = 24000;

    // Whether a box was shown for the receiver being served.
    enum class ReportMark {
        Nothing,  // nothing reported for this receiver yet
        BoxShown, // a failure handler has shown this receiver's box
        Closing,  // the session is closing: no boxes at all
    };

    struct Setup
    {
        int port = kChatPort;
        int sendPort = kChatPort; // the receivers' port
        QByteArray listenAddress; // empty: every local address
        int closeGraceMs = kCloseGraceMs;
    };

    explicit ChatSession(const Setup &setup, QObject *parent = nullptr);
    ~ChatSession() override;

    void listen();

    TMsgClient *messageSender() const { return m_sender; }
    TMsgServer *messageGetter() const { return m_getter; }
    ReceivedLineQueue &receivedLines() { return m_receivedLines; }

    // The list lines go to (not owned). A line goes to the entries checked when it leaves.
    void setReceivers(ReceiverListModel *receivers);
    ReceiverListModel *receivers() const { return m_receivers.data(); }

    // A fresh session: nobody has joined, nothing declined.
    void begin();

    // A request of the user: the join, rename and new-colour lines it calls for, then what the
    // user says or does. False when it does not fit behind the waiting lines: then nothing of
    // it is sent.
    bool send(const QString &name, const QString &mode, const QString &message, LineColor color);
    void SendToAll(const QString &text, bool italic, LineColor color);
    // The last lines: a user who has joined says goodbye, without any box, after the lines
    // still waiting. Everything has closeGraceMs to go out; then the delivery under way is
    // cancelled and what is left stays unsent.
    void close(const QString &name, LineColor color);

    // A received line, on this object's thread.
    void MessageGetterMSG(TSockSession *Sender, const QByteArray &sFrom, const QByteArray &sMsg);
    // The view's answer about a sender it was asked about.
    void declineSender(const QString &sender) { m_declinedSenders.add(sender); }

    bool hasJoined() const { return m_hasJoined; }
    bool colorChanged() const { return m_colorChanged; }
    void setColorChanged(bool changed) { m_colorChanged = changed; }
    QString lastSentName() const { return m_lastSentName; }
    QString declinedSenders() const { return m_declinedSenders.text(); }
    // True while lines are being delivered; lines sent meanwhile wait in order.
    bool isSending() const { return m_sending; }
    qsizetype waitingLines() const { return static_cast<qsizetype>(m_outgoing.size()); }
    ReportMark reportMark() const { return m_reportMark; }
    void setReportMark(ReportMark mark) { m_reportMark = mark; }

    // The connection reports, each turned into a status text.
    void MessageProgStatus(TSockSession *Sender, const QString &Status);
    void MessageSenderHostResolved(TSockSession *Sender);
    void MessageSenderConnect(TSockSession *Sender);
    void MessageSenderMessageSent(TSockSession *Sender);
    void MessageSenderDisconnect(TSockSession *Sender);
    void MessageSenderInvalidHost(bool &Handled);
    void MessageSenderConnectionFailed(TSockSession *Sender);
    void MessageGetterClientContact(TSockSession *Sender);

Q_SIGNALS:
    // A received line reached this thread (raised by MessageGetterMSG before anything else).
    void lineArrived(const QByteArray &sFrom, const QByteArray &sMsg);
    // A line to show, sent or received, as it travelled.
    void lineToShow(const QByteArray &payload);
    // A shown received line the user may not have seen.
    void lineWantsAttention(const QByteArray &sFrom, const QByteArray &payload);
    // A sender not in the receiver list and not declined: the view asks the user and adds it
    // to the list or calls declineSender().
    void unknownSender(const QString &sender);
    void statusText(const QString &text);
    // A failure the user must see in a box.
    void warning(const QString &text);
    void sorry(const QString &text);
    // The received lines of a frame are handed over: what they changed can be finished now.
    void frameDone();
    // The name the user chats under changed with a request that went out (the join counts).
    void chatNameChanged(const QString &name);
    // The close is over: the farewell and the lines before it have gone out, or the close's
    // grace time gave up on them. Sent once.
    void closed();

private:
    void queueLine(const ChatLine &line);
    void deliverWaitingLines();
    void sendOneLine(const QString &receiver, const QByteArray &payload);
    void reportOnce(const QString &box);

    TMsgClient *const m_sender;
    TMsgServer *const m_getter;
    const int m_closeGraceMs;
    ReceivedLineQueue m_receivedLines;
    QPointer<ReceiverListModel> m_receivers;

    bool m_hasJoined = false;
    bool m_colorChanged = false;
    QString m_lastSentName;
    DeclinedSenders m_declinedSenders;
    bool m_sending = false;
    std::deque<QByteArray> m_outgoing; // payloads waiting for the receiver loop
    bool m_closing = false;
    bool m_closed = false;
    bool m_closeTimeUp = false; // the close's grace time has passed: nothing more goes out
    ReportMark m_reportMark = ReportMark::Nothing;
};

} // namespace chat
