#pragma once

#include <QLineEdit>
#include <QTextEdit>
#include <QWidget>

class QPainter;

// An edit that keeps its caret and selection when it receives the focus: the chat window's
// fields do not select their whole text on entry, whichever way the focus arrives.
class ChatLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit ChatLineEdit(QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(ChatLineEdit)

protected:
    void focusInEvent(QFocusEvent *event) override;
};

// A plain drawing surface whose painting is done by its owner through OnPaint.
class PaintBox : public QWidget
{
    Q_OBJECT

public:
    explicit PaintBox(QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(PaintBox)

Q_SIGNALS:
    void OnPaint(QPainter *painter);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The chat history: a read-only rich-text box that shows every line as it was sent.
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
    explicit ChatHistory(QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(ChatHistory)

    static constexpr qsizetype kLongestPlainRun = 200;
    static constexpr qsizetype kBreakEvery = 8;
    static constexpr QChar kBreakOpportunity = QChar(0x200B); // zero width space

    // `text` as it goes into the history.
    static QString withBreakOpportunities(const QString &text);

protected:
    QMimeData *createMimeDataFromSelection() const override;
};
