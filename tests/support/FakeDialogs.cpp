#include "support/FakeDialogs.h"

using platform::DialogKind;

FakeDialogs::FakeDialogs()
{
    platform::setDialogs(this);
}

FakeDialogs::~FakeDialogs()
{
    platform::setDialogs(nullptr);
}

QList<FakeDialogs::Box> FakeDialogs::boxesOf(DialogKind kind) const
{
    QList<Box> result;
    for (const Box &box : m_boxes) {
        if (box.kind == kind)
            result.append(box);
    }
    return result;
}

void FakeDialogs::record(DialogKind kind, const QString &text)
{
    m_boxes.append({kind, platform::dialogCaption(kind), text});
    if (m_whileOpen)
        m_whileOpen(m_boxes.last());
}

void FakeDialogs::warning(const QString &text)
{
    record(DialogKind::Warning, text);
}

void FakeDialogs::information(const QString &text)
{
    record(DialogKind::Information, text);
}

bool FakeDialogs::confirmation(const QString &text)
{
    record(DialogKind::Confirmation, text);
    if (m_confirmations.empty())
        return false;
    const bool yes = m_confirmations.front();
    m_confirmations.pop_front();
    return yes;
}

void FakeDialogs::sorry(const QString &text)
{
    record(DialogKind::Sorry, text);
}

void FakeDialogs::error(const QString &text)
{
    record(DialogKind::Error, text);
}

std::optional<QColor> FakeDialogs::chooseColor(const QColor &preset)
{
    record(DialogKind::Color, preset.name());
    if (m_colors.empty())
        return std::nullopt;
    const std::optional<QColor> color = m_colors.front();
    m_colors.pop_front();
    return color;
}
