#include "chat/DeclinedSenders.h"

namespace chat {

bool DeclinedSenders::covers(const QString &sender) const
{
    return m_text.toLower().contains(sender.toLower() + kSeparator);
}

} // namespace chat
