// The chat window's side of the traffic: the session's lines shown in the history, its reports
// in the status line and its questions in boxes, and the LED that blinks for every shown line.

#include "app/ChatHistory.h"
#include "app/ChatWidgets.h"
#include "app/LineAttention.h"
#include "app/MessagerQ.h"
#include "chat/ChatLine.h"
#include "chat/ChatSession.h"
#include "chat/ReceiverListModel.h"
#include "controls/StateButton.h"
#include "net/MsgTransport.h"
#include "platform/core/Text.h"
#include "platform/gui/Application.h"
#include "platform/gui/Dialogs.h"
#include "settings/OptionsQ.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>

namespace {

chat::LineColor lineColor(const QColor &color)
{
    return {color.red(), color.green(), color.blue()};
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
    m_session->setReceivers(form ? form->receiverModel() : nullptr);
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

    chat::ChatSession *session = m_session;
    connect(session, &chat::ChatSession::lineArrived, this, &TForm1::lineArrived);
    connect(session, &chat::ChatSession::lineToShow, this, &TForm1::DisplayText);
    connect(session, &chat::ChatSession::lineWantsAttention, this,
            [this](const QByteArray &sFrom, const QByteArray &payload) {
                requestAttentionForLine(this, sFrom, payload);
            });
    connect(session, &chat::ChatSession::unknownSender, this, &TForm1::askAboutSender);
    connect(session, &chat::ChatSession::statusText, this, &TForm1::setStatusText);
    connect(session, &chat::ChatSession::warning, this,
            [](const QString &text) { platform::dialogs().warning(text); });
    connect(session, &chat::ChatSession::sorry, this,
            [](const QString &text) { platform::dialogs().sorry(text); });
    connect(session, &chat::ChatSession::frameDone, MessageMemo, &ChatHistory::finishFrame);

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
    // A request that does not fit behind the waiting lines is refused whole; the message stays.
    if (!m_session->send(NameEdit->text(), ComboBoxMode->currentText(), MessageEdit->text(),
                         lineColor(ownColor()))) {
        platform::Application::beep();
        return;
    }

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
    m_session->SendToAll(text, italic, lineColor(ownColor()));
}

void TForm1::closeSession()
{
    m_session->close(NameEdit->text(), lineColor(ownColor()));
}

void TForm1::MessageGetterMSG(TSockSession *Sender, const QByteArray &sFrom, const QByteArray &sMsg)
{
    m_session->MessageGetterMSG(Sender, sFrom, sMsg);
}

void TForm1::MessageProgStatus(TSockSession *Sender, const QString &Status)
{
    m_session->MessageProgStatus(Sender, Status);
}

void TForm1::askAboutSender(const QString &sender)
{
    const QString question = QStringLiteral("Es ist eine Nachricht von dem Computer \"") + sender +
                             QStringLiteral("\" angekommen. ") +
                             QStringLiteral("Dieser Computer befindet sich aber noch nicht in Ihrer "
                                            "Empfänger-Liste. ") +
                             QStringLiteral("Soll er dort hinzugefügt werden?");
    // The line asked about is in view while the box is open.
    MessageMemo->finishFrame();
    const QPointer<TForm1> self(this);
    const bool yes = platform::dialogs().confirmation(question);
    if (!self)
        return;
    if (!yes)
        m_session->declineSender(sender);
    else if (m_optionForm)
        m_optionForm->appendReceiver(sender);
}

bool TForm1::DisplayText(const QByteArray &payload)
{
    m_blinkCounter = 0;
    m_displaying = true;
    if (!LEDTimer->isActive())
        LEDTimer->start();
    const auto displayed = qScopeGuard([this] { m_displaying = false; });

    const std::optional<chat::ChatLine> line = chat::ChatLine::fromPayload(payload);
    if (!line)
        return false;
    const bool italic = line->isItalic();

    QTextCharFormat chars;
    chars.setForeground(QColor(line->color().red, line->color().green, line->color().blue));
    chars.setFontItalic(italic);
    chars.setFontWeight(QFont::Normal);
    chars.setFontUnderline(false);
    chars.setFontStrikeOut(false);

    // Wrapped lines sit 10 pt further in than the first; an italic line starts 5 pt in.
    const qreal firstLine = italic ? 5.0 : 0.0;
    QTextBlockFormat paragraph;
    paragraph.setLeftMargin(pointsToPixels(MessageMemo, firstLine + 10.0));
    paragraph.setTextIndent(pointsToPixels(MessageMemo, -10.0));

    const bool frameFull = MessageMemo->appendLine(ChatHistory::withBreakOpportunities(line->text()),
                                                   paragraph, chars, m_session->receivedLines().isDraining());
    if (frameFull)
        m_session->receivedLines().endFrame();
    return true;
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
