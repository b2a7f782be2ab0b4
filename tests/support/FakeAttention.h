#pragma once

#include "platform/gui/Attention.h"

#include <QList>
#include <QString>

class QWidget;

// Stands in for the desktop's attention requests: records every request in order. Installs itself
// as the program's attention requests for its lifetime and then puts back what was there.
class FakeAttention final : public platform::Attention
{
public:
    struct Request
    {
        QWidget *window;
        QString title;
        QString text;
        bool operator==(const Request &) const = default;
    };

    FakeAttention() : m_previous(platform::setAttention(this)) {}
    ~FakeAttention() override { platform::setAttention(m_previous); }
    FakeAttention(const FakeAttention &) = delete;
    FakeAttention &operator=(const FakeAttention &) = delete;

    void requestAttention(QWidget *window, const QString &title, const QString &text) override
    {
        m_requests.append({window, title, text});
    }

    const QList<Request> &requests() const { return m_requests; }
    void clear() { m_requests.clear(); }

private:
    platform::Attention *const m_previous;
    QList<Request> m_requests;
};
