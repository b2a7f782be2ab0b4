// The animation script: its parser, the animator that holds it, and the screen's tick logic.
#include "lcd/LCDAnimator.h"

#include "lcd/LCDScreen.h"
#include "platform/core/Error.h"
#include "platform/core/Text.h"
#include "platform/gui/Application.h"

#include <QTimer>

#include <algorithm>

namespace {

constexpr int kMaxNameLength = 25;

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

QByteArray trimmed(const QByteArray &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

// A signed 32-bit decimal number, leading blanks allowed, nothing after the digits.
qint32 toInteger(const QByteArray &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == ' ' || text.at(i) == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == '-' || text.at(i) == '+'))
        negative = text.at(i++) == '-';
    const qsizetype digits = i;
    long long value = 0;
    for (; i < text.size() && text.at(i) >= '0' && text.at(i) <= '9'; ++i) {
        value = value * 10 + (text.at(i) - '0');
        if (value > 2147483648LL)
            break;
    }
    const bool inRange = negative ? value <= 2147483648LL : value <= 2147483647LL;
    if (i == digits || i != text.size() || !inRange)
        throw platform::Exception(
            QStringLiteral("'%1' ist kein gültiger Integerwert").arg(platform::fromWindows1252(text)));
    return static_cast<qint32>(negative ? -value : value);
}

} // namespace

std::vector<ScriptCommand> parseScriptLine(const QByteArray &line)
{
    const int count = static_cast<int>(line.count(';') % 256);
    QByteArray rest = line.size() > 2 ? line.mid(1, line.size() - 2) : QByteArray();
    for (char &c : rest) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    rest = trimmed(rest);

    std::vector<ScriptCommand> commands;
    commands.reserve(static_cast<size_t>(count));
    for (int n = 0; n < count; ++n) {
        // Dropping the line's last character may have taken a ";" that was counted: such a
        // command is empty, and its empty argument is refused below.
        const qsizetype end = rest.indexOf(';');
        const QByteArray text = trimmed(end < 0 ? QByteArray() : rest.left(end + 1));
        const qsizetype open = text.indexOf('(');
        ScriptCommand command;
        command.Name = trimmed(open < 0 ? QByteArray() : text.left(open)).left(kMaxNameLength);
        // The argument starts right after the name and "(", so a blank before "(" spoils it.
        const qsizetype start = command.Name.size() + 1;
        const qsizetype close = text.indexOf(')');
        command.Argument = toInteger(close >= start ? text.mid(start, close - start) : QByteArray());
        commands.push_back(command);
        rest = trimmed(rest.mid(text.isEmpty() ? 0 : end + 1));
    }
    return commands;
}

TLCDAnimator::TLCDAnimator(QObject *parent) : QObject(parent)
{
}

TLCDAnimator::~TLCDAnimator() = default;

void TLCDAnimator::setCode(const QList<QByteArray> &code)
{
    m_code = code.mid(0, kMaxLines);
}

void TLCDAnimator::setCurrentLine(int line)
{
    if (line == m_currentLine)
        return;
    if (line > m_code.size())
        line = std::max(0, static_cast<int>(m_code.size()) - 1);
    m_currentLine = static_cast<qint16>(std::max(line, -32768));
}

void TLCDScreen::setLCDAnimator(TLCDAnimator *animator)
{
    if (animator == m_animator)
        return;
    // There is no form designer here, so the warning about a faulty script never shows.
    m_wipeStep = 0;
    m_handler = TimerHandler::ExecuteLine;
    padLines();
    m_animator = animator;
}

void TLCDScreen::tick()
{
    // A script error opens a modal box whose event loop goes on delivering ticks; without this
    // guard every tick would stack another box on top of it.
    if (m_inTick)
        return;
    m_inTick = true;
    try {
        switch (m_handler) {
        case TimerHandler::ExecuteLine:
            ExecuteLine();
            break;
        case TimerHandler::WipeInStep:
            WipeInStep();
            break;
        case TimerHandler::WipeOutStep:
            WipeOutStep();
            break;
        }
    } catch (...) {
        platform::showCurrentException();
    }
    m_inTick = false;
}

void TLCDScreen::ExecuteLine()
{
    if (!m_animator)
        return;
    TLCDAnimator *const animator = m_animator;
    m_blinkPhase = !m_blinkPhase;
    const int count = static_cast<int>(animator->m_code.size());
    QByteArray line;
    if (count > 0) {
        // A line number set from outside may point past the script: take the nearest line.
        animator->m_currentLine = static_cast<qint16>(std::clamp<int>(animator->m_currentLine, 0, count - 1));
        line = animator->m_code.at(animator->m_currentLine);
    }
    const std::vector<ScriptCommand> commands = parseScriptLine(line);
    for (const ScriptCommand &command : commands) {
        if (!m_animator)
            return;
        runCommand(command);
    }
    if (!m_animator)
        return;
    Q_EMIT animator->OnLineExecuted(animator, static_cast<quint16>(animator->m_currentLine));
    if (animator->m_currentLine == count - 1) {
        animator->setCurrentLine(0);
        if (!m_animationRepeating)
            setAnimationEnabled(false);
        Q_EMIT animator->OnEndCode(animator);
    } else {
        animator->setCurrentLine(animator->m_currentLine + 1);
    }
    Paint();
}

void TLCDScreen::runCommand(const ScriptCommand &command)
{
    const QByteArray &name = command.Name;
    const qint32 n = command.Argument;
    if (name == "horzscroll") {
        scrollHorizontally(static_cast<qint8>(n & 0xff));
    } else if (name == "vertscroll") {
        scrollVertically(static_cast<qint8>(n & 0xff));
    } else if (name == "setintensity") {
        setIntensity(static_cast<qint8>(n & 0xff));
    } else if (name == "animationdelay") {
        setAnimationDelay(static_cast<quint32>(n));
    } else if (name == "gotoline") {
        // Below -1 a jump would leave the line number outside the script for several ticks;
        // -1 already means "start again at the first line".
        const int lines = static_cast<int>(m_animator->m_code.size());
        m_animator->setCurrentLine(static_cast<int>(std::clamp<qint64>(n, -1, lines)));
    } else if (name == "resetdisplay") {
        Reset(0);
    } else if (name == "infopanelon") {
        startWipe(TimerHandler::WipeInStep);
    } else if (name == "infopaneloff") {
        startWipe(TimerHandler::WipeOutStep);
    }
}

void TLCDScreen::scrollHorizontally(qint8 n)
{
    const int rows = std::min(static_cast<int>(m_noOfLines), static_cast<int>(m_displayLines.size()));
    const int shift = std::abs(static_cast<int>(n));
    for (int i = 0; i < rows; ++i) {
        QByteArray &s = m_displayLines[i];
        const int len = static_cast<int>(s.size());
        // Control codes among the characters that wrap around travel with them.
        if (n < 0) {
            const int k = shift + ControlCount(s.left(shift));
            if (k < len)
                s = s.mid(k) + s.left(k);
        } else {
            const int k = shift + ControlCount(s.right(shift));
            if (k < len)
                s = s.right(k) + s.left(len - k);
        }
    }
}

void TLCDScreen::scrollVertically(qint8 n)
{
    const auto size = m_displayLines.size();
    if (size == 0 || n == 0)
        return;
    const auto shift = std::abs(static_cast<int>(n)) % size;
    if (n < 0)
        std::rotate(m_displayLines.begin(), m_displayLines.begin() + shift, m_displayLines.end());
    else
        std::rotate(m_displayLines.begin(), m_displayLines.end() - shift, m_displayLines.end());
}

void TLCDScreen::startWipe(TimerHandler handler)
{
    if (m_wipeStep == 0)
        m_wipeStep = 1;
    m_handler = handler;
    if (handler == TimerHandler::WipeInStep)
        WipeInStep();
    else
        WipeOutStep();
}

void TLCDScreen::ensureDisplayRows()
{
    // After a resize while animating there may be more rows than lines.
    while (m_displayLines.size() < m_noOfLines)
        m_displayLines.append(QByteArray());
    m_wipeStep = std::max(m_wipeStep, 1);
}

void TLCDScreen::WipeInStep()
{
    ensureDisplayRows();
    const int w = m_wipeStep;
    for (int i = 0; i < m_noOfLines; ++i) {
        QByteArray &t = m_displayLines[i];
        if (t.size() < w)
            t.append(w - t.size(), ' ');
        t[w - 1] = ' ';
        if (i < m_lines.size() && w > 1) {
            const QByteArray &source = m_lines.at(i);
            t[w - 2] = source.size() >= w - 1 ? source.at(w - 2) : ' ';
        }
    }
    finishWipeStep();
}

void TLCDScreen::WipeOutStep()
{
    ensureDisplayRows();
    const int w = m_wipeStep;
    for (int i = 0; i < m_noOfLines; ++i) {
        QByteArray &t = m_displayLines[i];
        if (w < t.size())
            t[w - 1] = ' ';
        else
            t.append(' ');
        if (w > 1 && w - 1 < t.size())
            t[w - 2] = '\xff';
    }
    finishWipeStep();
}

void TLCDScreen::finishWipeStep()
{
    Paint();
    ++m_wipeStep;
    if (m_wipeStep >= m_noOfChars + 2) {
        m_handler = TimerHandler::ExecuteLine;
        m_wipeStep = 0;
    }
}
