#include "app/ChatHistory.h"

#include "chat/ChatLine.h"

#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>

#include <algorithm>

ChatHistory::ChatHistory(const Bounds &bounds, QWidget *parent)
    : QTextEdit(parent), m_characters(bounds.characters), m_lines(bounds.lines),
      m_frameCeiling(bounds.frameCharacters),
      m_frameBudget(std::min(kFrameCharacters / 4, bounds.frameCharacters))
{
}

bool ChatHistory::appendLine(const QString &text, const QTextBlockFormat &paragraph,
                             const QTextCharFormat &chars, bool partOfFrame)
{
    QTextCursor cursor(document());
    // The lines of one frame go into one edit, so the history is laid out once for all of them
    // when the frame is done and not once per line; they come into view together.
    if (partOfFrame && !m_frame) {
        m_frame.emplace(document());
        m_frame->beginEditBlock();
        m_frameWork = 0;
        m_frameClock.start();
    }
    cursor.movePosition(QTextCursor::End);
    if (m_started) {
        cursor.insertBlock(paragraph, chars);
    } else {
        cursor.setBlockFormat(paragraph);
        cursor.setBlockCharFormat(chars);
        m_started = true;
    }
    cursor.insertText(text, chars);

    if (partOfFrame) {
        m_frameWork += text.size() + kLineCharacters;
        return m_frameWork >= m_frameBudget;
    }
    dropOldestLines();
    // The new line comes into view; the focus stays where the user is typing.
    showNewestLine();
    return false;
}

bool ChatHistory::appendChatLine(const chat::ChatLine &line, bool partOfFrame)
{
    const bool italic = line.isItalic();
    QTextCharFormat chars;
    chars.setForeground(QColor(line.color().red, line.color().green, line.color().blue));
    chars.setFontItalic(italic);
    chars.setFontWeight(QFont::Normal);
    chars.setFontUnderline(false);
    chars.setFontStrikeOut(false);

    const auto pixels = [this](qreal points) { return points * logicalDpiX() / 72.0; };
    const qreal firstLine = italic ? 5.0 : 0.0;
    QTextBlockFormat paragraph;
    paragraph.setLeftMargin(pixels(firstLine + 10.0));
    paragraph.setTextIndent(pixels(-10.0));
    return appendLine(withBreakOpportunities(line.text()), paragraph, chars, partOfFrame);
}

QString ChatHistory::withBreakOpportunities(const QString &text)
{
    QString shown;
    qsizetype copied = 0;   // text before this is in `shown`
    qsizetype runStart = 0; // of the run without a blank that ends at i
    for (qsizetype i = 0; i <= text.size(); ++i) {
        // A no-break space joins its neighbours like any other character.
        if (i < text.size() && (!text[i].isSpace() || text[i] == QChar::Nbsp))
            continue;
        if (i - runStart > kLongestPlainRun) {
            shown += QStringView(text).sliced(copied, runStart - copied);
            for (qsizetype at = runStart; at < i; at += kBreakEvery) {
                if (at > runStart)
                    shown += kBreakOpportunity;
                shown += QStringView(text).sliced(at, std::min(kBreakEvery, i - at));
            }
            copied = i;
        }
        runStart = i + 1;
    }
    if (copied == 0)
        return text;
    shown += QStringView(text).sliced(copied);
    return shown;
}

QMimeData *ChatHistory::createMimeDataFromSelection() const
{
    const QTextDocumentFragment selection = textCursor().selection();
    auto *data = new QMimeData;
    data->setHtml(selection.toHtml().remove(kBreakOpportunity));
    data->setText(selection.toPlainText().remove(kBreakOpportunity));
    return data;
}

void ChatHistory::finishFrame()
{
    if (!m_frame)
        return;
    m_frame->endEditBlock();
    m_frame.reset();
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

void ChatHistory::dropOldestLines()
{
    QTextDocument *history = document();
    // A frame's lines are counted when the frame is done.
    if (m_frame || (history->characterCount() <= m_characters && history->blockCount() <= m_lines))
        return;
    // The first line kept is the oldest one that leaves three quarters of both bounds; the
    // newest line stays however long it is.
    const int fromLines = static_cast<int>(history->blockCount() - std::max<qsizetype>(m_lines * 3 / 4, 1));
    const int fromCharacters = static_cast<int>(history->characterCount() - m_characters * 3 / 4);
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

void ChatHistory::showNewestLine()
{
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    setTextCursor(end);
    ensureCursorVisible();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}
