#include "app/ChatWidgets.h"

#include <QFocusEvent>
#include <QMimeData>
#include <QPainter>
#include <QTextDocumentFragment>

#include <algorithm>

ChatLineEdit::ChatLineEdit(QWidget *parent) : QLineEdit(parent)
{
}

void ChatLineEdit::focusInEvent(QFocusEvent *event)
{
    // QLineEdit selects everything when the focus comes by keyboard; pass the event on as one of
    // no particular reason so the caret and selection stay where they were.
    QFocusEvent neutral(event->type(), Qt::OtherFocusReason);
    QLineEdit::focusInEvent(&neutral);
}

PaintBox::PaintBox(QWidget *parent) : QWidget(parent)
{
}

void PaintBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    Q_EMIT OnPaint(&painter);
}

ChatHistory::ChatHistory(QWidget *parent) : QTextEdit(parent)
{
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
