#pragma once

#include <QString>

namespace chat {

// One line of the receiver list: a computer name or IP address as typed, and its check mark.
struct ReceiverEntry
{
    QString name;
    bool checked = false;

    bool operator==(const ReceiverEntry &) const = default;
};

} // namespace chat
