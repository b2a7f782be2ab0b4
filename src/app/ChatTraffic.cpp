// The chat window's traffic: composing and sending lines, receiving and showing them, the
// connection reports in the status line, and the LED that blinks for every shown line.

#include "app/ChatWidgets.h"
#include "app/LineAttention.h"
#include "app/MessagerQ.h"
#include "controls/StateButton.h"
#include "net/MsgTransport.h"
#include "platform/core/Text.h"
#include "platform/gui/Application.h"
#include "platform/gui/Dialogs.h"
#include "settings/OptionsQ.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>

namespace {

const QLatin1Char kQuote('"');
// Ends every name the user declined to add; a name that merely ends with the sender's also
// covers the sender.
const QString kDeclinedSeparator = QStringLiteral("\\*\\ ");
const QByteArray kJoinSuffix = platform::toWindows1252(QStringLiteral(" hat den Chatroom betreten."));

QString quoted(const QString &host)
{
    return kQuote + host + kQuote;
}

// Points are converted with the history's own resolution so the indents look the same on any
// screen.
qreal pointsToPixels(const QWidget *widget, qreal points)
{
    return points * widget->logicalDpiX() / 72.0;
}

} // namespace

TOptionForm *TForm1::optionForm() const
{
    return m_optionForm.data();
}

void TForm1::setOptionForm(TOptionForm *form)
{
    if (m_optionForm)
        disconnect(m_optionForm, nullptr, this, nullptr);
    m_optionForm = form;
    if (!form)
        return;
    connect(form, &TOptionForm::sendButtonStateChanged, this, &TForm1::setSendButtonReady);
    const QPointer<TForm1> self(this);
    form->setSessionValues([self](settings::StoredSettings &values) {
        if (!self)
            return;
        values.ownName = self->NameEdit->text();
        values.ownColor = self->ownColor();
        values.currentSkinPath = self->currentSkinPath();
    });
}

void TForm1::connectMessageEvents()
{
    connect(SendButton, &TStateButton::OnClick, this, &TForm1::SendButtonClick);
    connect(BtnOptions, &TStateButton::OnClick, this, &TForm1::Button1Click);

    connect(MessageSender, &TSockSession::OnStatus, this, &TForm1::MessageProgStatus);
    connect(MessageGetter, &TSockSession::OnStatus, this, &TForm1::MessageProgStatus);
    connect(MessageSender, &TSockSession::OnHostResolved, this, &TForm1::MessageSenderHostResolved);
    connect(MessageSender, &TSockSession::OnConnect, this, &TForm1::MessageSenderConnect);
    connect(MessageSender, &TMsgClient::OnMessageSent, this, &TForm1::MessageSenderMessageSent);
    connect(MessageSender, &TSockSession::OnDisconnect, this, &TForm1::MessageSenderDisconnect);
    connect(MessageSender, &TSockSession::OnInvalidHost, this, &TForm1::MessageSenderInvalidHost,
            Qt::DirectConnection);
    connect(MessageSender, &TSockSession::OnConnectionFailed, this, &TForm1::MessageSenderConnectionFailed);
    connect(MessageGetter, &TGeneralServer::OnClientContact, this, &TForm1::MessageGetterClientContact);

    connect(LEDTimer, &QTimer::timeout, this, &TForm1::LEDTimerTimer);
}

void TForm1::loadStoredSettings()
{
    if (!m_optionForm)
        return;
    // A store that cannot be read is reported; the window keeps what it has and start-up goes on.
    std::optional<settings::StoredSettings> stored;
    try {
        stored = m_optionForm->LoadSettings();
    } catch (...) {
        platform::showCurrentException();
        return;
    }
    if (!stored)
        return;
    NameEdit->setText(stored->ownName);
    if (stored->ownColor)
        setOwnColor(*stored->ownColor);
    setCurrentSkinPath(stored->currentSkinPath);
}

void TForm1::Button1Click()
{
    if (m_optionForm)
        m_optionForm->exec();
}

void TForm1::SendButtonClick()
{
    if (!SendButton->isEnabled()) {
        platform::Application::beep();
        return;
    }

    // The request's lines are made now, from the name, way of speaking, message and colour as
    // they are now, even when they have to wait for a delivery that still runs.
    const QString name = NameEdit->text();
    QList<std::pair<QString, bool>> lines;
    if (!m_hasJoined)
        lines.append({name + QStringLiteral(" hat den Chatroom betreten."), true});
    if (m_hasJoined && m_lastSentName != name)
        lines.append(
            {m_lastSentName + QStringLiteral(" heißt ab jetzt ") + name + QStringLiteral("."), true});
    if (m_hasJoined && m_colorChanged)
        lines.append({QStringLiteral("Das hier ist die neue Farbe von ") + name, true});
    const QString line = name + QLatin1Char(' ') + ComboBoxMode->currentText();
    if (line.endsWith(QLatin1Char('.')))
        lines.append({line, true});
    else
        lines.append({line + QLatin1Char(' ') + MessageEdit->text(), false});

    // A request that does not fit behind the waiting lines is refused whole; the message stays.
    if (m_outgoing.size() + lines.size() > kMaxWaitingLines) {
        platform::Application::beep();
        return;
    }
    m_colorChanged = false;
    m_lastSentName = name;
    m_hasJoined = true;
    for (const auto &[text, italic] : lines)
        queueLine(text, italic);
    deliverWaitingLines();

    // The message stays; selected, it is replaced by the next keystroke.
    if (MessageEdit->isEnabled() && MessageEdit->hasFocus()) {
        MessageEdit->selectAll();
    } else if (!MessageEdit->isEnabled() &&
               (ComboBoxMode->hasFocus() || ComboBoxMode->lineEdit()->hasFocus())) {
        ComboBoxMode->lineEdit()->selectAll();
    }
}

void TForm1::SendToAll(const QString &text, bool italic)
{
    queueLine(text, italic);
    deliverWaitingLines();
}

void TForm1::queueLine(const QString &text, bool italic)
{
    const QColor color = ownColor();
    QByteArray payload =
        QString::asprintf("%.3u%.3u%.3u", static_cast<unsigned>(color.red()),
                          static_cast<unsigned>(color.green()), static_cast<unsigned>(color.blue()))
            .toLatin1();
    payload += italic ? '1' : '0';
    payload += platform::toWindows1252(text);
    m_outgoing.push_back(payload);
}

void TForm1::deliverWaitingLines()
{
    // The one message client carries one delivery at a time: a line sent while one runs (from
    // an event handled inside its waits) waits here, and this loop takes it after the others.
    if (m_sending)
        return;
    m_sending = true;
    const auto done = qScopeGuard([this] { m_sending = false; });
    while (!m_outgoing.empty()) {
        const QByteArray payload = m_outgoing.front();
        m_outgoing.pop_front();
        // The list as it is now: a receiver added while this line travels gets the next one.
        const QList<settings::ReceiverEntry> receivers =
            m_optionForm ? m_optionForm->receivers() : QList<settings::ReceiverEntry>();
        for (const settings::ReceiverEntry &receiver : receivers) {
            if (receiver.checked && !m_closeTimeUp)
                sendOneLine(receiver.name, payload);
        }
        DisplayText(payload);
    }
}

void TForm1::sendOneLine(const QString &receiver, const QByteArray &payload)
{
    setStatusText(QStringLiteral("Sende an ") + receiver + QStringLiteral("..."));
    if (reportMark() != ReportMark::Closing)
        setReportMark(ReportMark::Nothing);
    MessageSender->setHost(receiver);
    try {
        MessageSender->SendMsg(payload);
        setStatusText(receiver + QStringLiteral(" hat die Nachricht erhalten."));
    } catch (const std::exception &) {
        // The failure handlers may already have shown this receiver's box.
        if (reportMark() == ReportMark::Nothing) {
            platform::dialogs().sorry(QStringLiteral("Es gab Probleme."));
            setStatusText(QStringLiteral("Es ist ein Fehler aufgetreten."));
        }
    }
}

TForm1::ReportMark TForm1::reportMark() const
{
    return static_cast<ReportMark>(MessageSender->tag());
}

void TForm1::setReportMark(ReportMark mark)
{
    MessageSender->setTag(static_cast<int>(mark));
}

void TForm1::MessageGetterMSG(TSockSession *, const QByteArray &sFrom, const QByteArray &sMsg)
{
    Q_EMIT lineArrived(sFrom, sMsg);

    if (sFrom == MessageSender->fromName()) {
        setStatusText(QStringLiteral("Toll! Du hast eine Nachricht von Dir selbst erhalten. Die zeige "
                                     "ich aber nicht nochmal an."));
        return;
    }
    if (!DisplayText(sMsg))
        return;
    requestAttentionForLine(this, sFrom, sMsg);
    if (sFrom.isEmpty())
        return;
    // A computer that only announced itself is asked about with its next line.
    if (sMsg.size() >= 10 && sMsg.at(9) == '1' && sMsg.endsWith(kJoinSuffix))
        return;

    const QString sender = platform::fromWindows1252(sFrom);
    if (m_declinedSenders.toLower().contains(sender.toLower() + kDeclinedSeparator))
        return;
    if (!m_optionForm || m_optionForm->hasReceiver(sender))
        return;

    const QString question = QStringLiteral("Es ist eine Nachricht von dem Computer ") + quoted(sender) +
                             QStringLiteral(" angekommen. ") +
                             QStringLiteral("Dieser Computer befindet sich aber noch nicht in Ihrer "
                                            "Empfänger-Liste. ") +
                             QStringLiteral("Soll er dort hinzugefügt werden?");
    // The line asked about is in view while the box is open.
    finishFrame();
    const QPointer<TForm1> self(this);
    const bool yes = platform::dialogs().confirmation(question);
    if (!self)
        return;
    if (yes) {
        if (m_optionForm)
            m_optionForm->appendReceiver(sender);
    } else {
        m_declinedSenders += sender + kDeclinedSeparator;
    }
}

bool TForm1::DisplayText(const QByteArray &payload)
{
    m_blinkCounter = 0;
    m_displaying = true;
    if (!LEDTimer->isActive())
        LEDTimer->start();
    const auto displayed = qScopeGuard([this] { m_displaying = false; });

    int channels[3] = {};
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const int value = payload.mid(i * 3, 3).toInt(&ok, 10);
        if (!ok)
            return false;
        channels[i] = value & 0xFF;
    }
    const bool italic = payload.size() > 9 && payload.at(9) == '1';

    QTextCharFormat chars;
    chars.setForeground(QColor(channels[0], channels[1], channels[2]));
    chars.setFontItalic(italic);
    chars.setFontWeight(QFont::Normal);
    chars.setFontUnderline(false);
    chars.setFontStrikeOut(false);

    // Wrapped lines sit 10 pt further in than the first; an italic line starts 5 pt in.
    const qreal firstLine = italic ? 5.0 : 0.0;
    QTextBlockFormat paragraph;
    paragraph.setLeftMargin(pointsToPixels(MessageMemo, firstLine + 10.0));
    paragraph.setTextIndent(pointsToPixels(MessageMemo, -10.0));

    QTextCursor cursor(MessageMemo->document());
    // The lines of one frame go into one edit of the history, so it is laid out once for all of
    // them when the frame is done and not once per line; they come into view together.
    const bool burst = m_receivedLines.isDraining();
    if (burst && !m_burst) {
        m_burst.emplace(MessageMemo->document());
        m_burst->beginEditBlock();
        m_frameWork = 0;
        m_frameClock.start();
    }
    cursor.movePosition(QTextCursor::End);
    if (m_historyStarted) {
        cursor.insertBlock(paragraph, chars);
    } else {
        cursor.setBlockFormat(paragraph);
        cursor.setBlockCharFormat(chars);
        m_historyStarted = true;
    }
    // Always plain text: what the sender typed is shown as typed, never read as markup.
    const QString text = ChatHistory::withBreakOpportunities(platform::fromWindows1252(payload.mid(10)));
    cursor.insertText(text, chars);

    if (burst) {
        m_frameWork += text.size() + kLineCharacters;
        if (m_frameWork >= m_frameBudget)
            m_receivedLines.endFrame();
    } else {
        dropOldestLines();
        // The new line comes into view; the focus stays where the user is typing.
        showNewestLine();
    }
    return true;
}

void TForm1::finishFrame()
{
    if (!m_burst)
        return;
    m_burst->endEditBlock();
    m_burst.reset();
    // A frame that ran out of lines before its budget or its time says nothing about how much
    // would have fitted. Otherwise the next frame may take what this one would have done in
    // kFrameWorkMs at its pace, halfway from the budget it had, so one odd frame does not swing it.
    const qint64 took = std::max<qint64>(m_frameClock.nsecsElapsed(), 1);
    constexpr qint64 kWorkNs = kFrameWorkMs * qint64(1000000);
    if (m_frameWork >= m_frameBudget || took > kWorkNs) {
        const qsizetype fits = static_cast<qsizetype>(m_frameWork * kWorkNs / took);
        m_frameBudget = std::clamp((m_frameBudget + fits) / 2,
                                   std::min(kLeastFrameCharacters, m_frameCeiling), m_frameCeiling);
    }
    dropOldestLines();
    showNewestLine();
}

void TForm1::dropOldestLines()
{
    QTextDocument *history = MessageMemo->document();
    // A frame's lines are counted when the frame is done.
    if (m_burst ||
        (history->characterCount() <= m_historyCharacters && history->blockCount() <= m_historyLines))
        return;
    // The first line kept is the oldest one that leaves three quarters of both bounds; the
    // newest line stays however long it is.
    const int fromLines =
        static_cast<int>(history->blockCount() - std::max<qsizetype>(m_historyLines * 3 / 4, 1));
    const int fromCharacters = static_cast<int>(history->characterCount() - m_historyCharacters * 3 / 4);
    QTextBlock keep = history->findBlock(std::max(fromCharacters, 0));
    if (keep.position() < fromCharacters)
        keep = keep.next();
    if (keep.isValid() && keep.blockNumber() < fromLines)
        keep = history->findBlockByNumber(fromLines);
    if (!keep.isValid())
        keep = history->lastBlock();
    if (keep == history->firstBlock())
        return;

    const QTextCharFormat chars = keep.charFormat();
    QTextCursor cut(history);
    cut.beginEditBlock();
    cut.setPosition(keep.position(), QTextCursor::KeepAnchor);
    cut.removeSelectedText();
    // The first paragraph would keep the character format of the line dropped first.
    cut.setBlockCharFormat(chars);
    cut.endEditBlock();
}

void TForm1::showNewestLine()
{
    QTextCursor end(MessageMemo->document());
    end.movePosition(QTextCursor::End);
    MessageMemo->setTextCursor(end);
    MessageMemo->ensureCursorVisible();
    MessageMemo->verticalScrollBar()->setValue(MessageMemo->verticalScrollBar()->maximum());
}

void TForm1::MessageProgStatus(TSockSession *, const QString &Status)
{
    // Status events can still come while the window is being torn down.
    if (StatusLabel)
        setStatusText(Status);
}

void TForm1::MessageSenderHostResolved(TSockSession *)
{
    setStatusText(QStringLiteral("IP-Adresse vom Empfänger-PC ") + quoted(MessageSender->host()) +
                  QStringLiteral(" ermittelt (Empfänger existiert also)."));
}

void TForm1::MessageSenderConnect(TSockSession *)
{
    setStatusText(QStringLiteral("Mit Empfänger-PC ") + quoted(MessageSender->host()) +
                  QStringLiteral(" verbunden."));
}

void TForm1::MessageSenderMessageSent(TSockSession *)
{
    setStatusText(QStringLiteral("Nachricht an Empfänger-PC ") + quoted(MessageSender->host()) +
                  QStringLiteral(" erfolgreich gesendet."));
}

void TForm1::MessageSenderDisconnect(TSockSession *)
{
    setStatusText(QStringLiteral("Verbindung mit Empfänger-PC ") + quoted(MessageSender->host()) +
                  QStringLiteral(" getrennt."));
}

void TForm1::MessageSenderInvalidHost(bool &Handled)
{
    // Handled stays false: the send gives up with an error, which the sending loop catches.
    Q_UNUSED(Handled)
    const QString host = MessageSender->host();
    setStatusText(QStringLiteral("Konnte die Nachricht an ") + quoted(host) +
                  QStringLiteral(" nicht senden."));
    if (reportMark() == ReportMark::Nothing) {
        platform::dialogs().warning(QStringLiteral("Der Empfänger ") + quoted(host) +
                                    QStringLiteral(" ist nicht zu erreichen."));
        setReportMark(ReportMark::BoxShown);
    }
}

void TForm1::MessageSenderConnectionFailed(TSockSession *)
{
    const QString host = MessageSender->host();
    setStatusText(QStringLiteral("Verbindung mit Empfänger-PC ") + quoted(host) +
                  QStringLiteral(" konnte nicht hergestellt werden."));
    if (reportMark() == ReportMark::Nothing) {
        platform::dialogs().warning(QStringLiteral("Es konnte keine Verbindung zum PC ") + quoted(host) +
                                    QStringLiteral(" aufgebaut werden."));
        setReportMark(ReportMark::BoxShown);
    }
}

void TForm1::MessageGetterClientContact(TSockSession *Sender)
{
    // The listening server knows the caller's address once it has accepted the connection.
    const QString host = Sender ? Sender->peerAddress() : MessageGetter->peerAddress();
    setStatusText(QStringLiteral("Der PC ") + quoted(host) +
                  QStringLiteral(" verbindet sich mit diesem PC."));
}

void TForm1::LEDTimerTimer()
{
    ++m_blinkCounter;
    if (!m_displaying) {
        // A burst toggles at least three times and ends, unlit, by the seventh tick.
        const int r = random(4);
        if (m_blinkCounter >= r + 4) {
            LEDTimer->stop();
            if (m_ledState != 0) {
                m_ledState = 0;
                LED->update();
            }
            return;
        }
    }
    m_ledState = m_ledState == 1 ? 0 : 1;
    LED->update();
    LEDTimer->setInterval(5 + random(100));
}
