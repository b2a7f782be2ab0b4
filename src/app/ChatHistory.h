#pragma once

#include <QElapsedTimer>
#include <QTextCursor>
#include <QTextEdit>

#include <optional>

namespace chat {
class ChatLine;
}

// The chat history: a read-only rich-text box that shows every line as it was sent.
//
// Received lines are shown a frame at a time, and a frame takes lines until it has laid out its
// budget of characters (a line counts kLineCharacters more for what it costs besides its text).
// The budget follows the time frames take so that a frame's work on them lasts about
// kFrameWorkMs, whatever the lines are like, and stays within the frame's ceiling.
//
// Any computer on the network can send lines, so the history keeps only the newest: up to
// 16 MB of text (8 Mi characters of two bytes) and kHistoryLines lines. Beyond either bound it
// drops its oldest whole lines, down to three quarters of both at once: lines dropped at the
// top make the history place every line below them anew, which is done seldom and in bulk.
//
// A run of characters without a blank that is longer than a few lines of the history gets an
// invisible break opportunity after every kBreakEvery characters. It still wraps anywhere (its
// lines end fewer than kBreakEvery characters before the edge), but without them each of its
// lines is laid out by first looking for the run's end and only then breaking inside it, which
// costs time with the square of the run's length: a 9,000-character run took 30 to 100 ms, with
// the break opportunities 4 ms. What is copied or dragged out of the history leaves them behind.
class ChatHistory : public QTextEdit
{
    Q_OBJECT

public:
    static constexpr int kFrameWorkMs = 12;
    static constexpr qsizetype kLineCharacters = 100;
    static constexpr qsizetype kFrameCharacters = 64 * 1024; // the ceiling
    static constexpr qsizetype kLeastFrameCharacters = 2 * 1024;
    static constexpr qsizetype kHistoryCharacters = 8 * 1024 * 1024;
    static constexpr qsizetype kHistoryLines = 100000;

    struct Bounds
    {
        qsizetype characters = kHistoryCharacters;
        qsizetype lines = kHistoryLines;
        qsizetype frameCharacters = kFrameCharacters; // the most a frame lays out
    };

    explicit ChatHistory(const Bounds &bounds, QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(ChatHistory)

    // Appends `text` as plain text in a paragraph of its own: what the sender typed is shown as
    // typed, never read as markup. A line of a frame goes into the frame's one edit, laid out
    // with the others by finishFrame(); the answer is whether the frame has used its budget. A
    // line on its own comes into view at once.
    bool appendLine(const QString &text, const QTextBlockFormat &paragraph, const QTextCharFormat &chars,
                    bool partOfFrame);
    // appendLine for a chat line: its text in its colour and style, wrapped lines 10 pt further in
    // than the first, an italic line's first line 5 pt in. Points follow the history's own
    // resolution, so the indents look the same on any screen.
    bool appendChatLine(const chat::ChatLine &line, bool partOfFrame);
    // Lays out the open frame's lines, brings them into view and adapts the next frame's budget.
    void finishFrame();

    static constexpr qsizetype kLongestPlainRun = 200;
    static constexpr qsizetype kBreakEvery = 8;
    static constexpr QChar kBreakOpportunity = QChar(0x200B); // zero width space

    // `text` as it goes into the history.
    static QString withBreakOpportunities(const QString &text);

protected:
    QMimeData *createMimeDataFromSelection() const override;

private:
    void dropOldestLines();
    void showNewestLine();

    bool m_started = false; // the first paragraph is taken
    // The edit block open while a frame's lines arrive.
    std::optional<QTextCursor> m_frame;
    const qsizetype m_characters;
    const qsizetype m_lines;
    const qsizetype m_frameCeiling;
    qsizetype m_frameBudget;    // characters the next frame may lay out
    qsizetype m_frameWork = 0;  // characters the open frame has taken
    QElapsedTimer m_frameClock; // since the open frame's first line
};
