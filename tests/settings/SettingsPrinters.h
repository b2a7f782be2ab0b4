#pragma once

#include "settings/SettingsStore.h"

#include <QString>

#include <ostream>

// Readable failure output for the settings types and Qt strings.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace settings {

inline void PrintTo(const ReceiverEntry &entry, std::ostream *out)
{
    *out << '{' << '"' << entry.name.toStdString() << "\", " << (entry.checked ? "checked" : "unchecked")
         << '}';
}

} // namespace settings
