#pragma once

#include "platform/gui/Dialogs.h"

#include <QList>

#include <deque>
#include <functional>

// Stands in for the boxes on screen: records every box (kind, caption, text) in order and
// answers from a script. Installs itself as the program's dialogs for its lifetime.
class FakeDialogs final : public platform::Dialogs
{
public:
    struct Box
    {
        platform::DialogKind kind;
        QString caption;
        QString text;
        bool operator==(const Box &) const = default;
    };

    FakeDialogs();
    ~FakeDialogs() override;
    FakeDialogs(const FakeDialogs &) = delete;
    FakeDialogs &operator=(const FakeDialogs &) = delete;

    const QList<Box> &boxes() const { return m_boxes; }
    QList<Box> boxesOf(platform::DialogKind kind) const;
    void clear() { m_boxes.clear(); }

    // Answers for the questions to come, in order; an unscripted question is answered "Nein",
    // an unscripted colour picker is cancelled.
    void answerConfirmation(bool yes) { m_confirmations.push_back(yes); }
    void answerColor(std::optional<QColor> color) { m_colors.push_back(color); }

    // Runs while a box is "open", after it has been recorded: a test can let events run there
    // the way a modal box's own event loop would.
    void setWhileOpen(std::function<void(const Box &)> whileOpen) { m_whileOpen = std::move(whileOpen); }

    void warning(const QString &text) override;
    void information(const QString &text) override;
    bool confirmation(const QString &text) override;
    void sorry(const QString &text) override;
    void error(const QString &text) override;
    std::optional<QColor> chooseColor(const QColor &preset) override;

private:
    void record(platform::DialogKind kind, const QString &text);

    QList<Box> m_boxes;
    std::deque<bool> m_confirmations;
    std::deque<std::optional<QColor>> m_colors;
    std::function<void(const Box &)> m_whileOpen;
};
