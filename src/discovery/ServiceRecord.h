#pragma once

#include <QByteArrayList>
#include <QString>

// How a copy describes itself in DNS-SD: the service type, its instance name and its TXT record.
namespace discovery::ServiceRecord {

inline constexpr char kType[] = "_plauderdeck._tcp";

// "<chat name> auf <computer name>", cut to the 63 bytes of UTF-8 a DNS label holds. The chat
// name gives way first so that the computer stays recognisable; only a computer name too long
// for a label of its own cuts the end. No character is ever split.
QString instanceName(const QString &chatName, const QString &computerName);

// "name=<chat name>" and "version=<version>", each entry within the 255 bytes TXT allows.
QByteArrayList txt(const QString &chatName, const QString &version);

// The value of `key` in a TXT record: keys compare without regard to letter case, the first
// occurrence counts, an entry without "=" has an empty value. A null string when it is missing.
QString txtValue(const QByteArrayList &txt, const QByteArray &key);

} // namespace discovery::ServiceRecord
