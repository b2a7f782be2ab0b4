#pragma once

#include <QString>

namespace chat {

// The senders the user chose not to add to the receiver list: they are not asked about again
// for as long as the session runs.
//
// They are kept as one text, every name followed by kSeparator. A sender is covered when its
// name and the separator occur anywhere in that text, without regard to letter case, so a
// declined name that ends with the sender's name covers the sender too ("Hauskeller" covers
// "Keller", not the other way round).
class DeclinedSenders
{
public:
    static inline const QString kSeparator = QStringLiteral("\\*\\ ");

    void add(const QString &sender) { m_text += sender + kSeparator; }
    bool covers(const QString &sender) const;
    void clear() { m_text.clear(); }
    QString text() const { return m_text; }

private:
    QString m_text;
};

} // namespace chat
