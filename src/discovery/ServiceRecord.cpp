#include "discovery/ServiceRecord.h"

namespace discovery::ServiceRecord {

namespace {

constexpr qsizetype kMaxLabel = 63;
constexpr qsizetype kMaxTxtEntry = 255;

// The longest start of `text` whose UTF-8 form fits in `maxBytes`, ending between characters.
QByteArray utf8Prefix(const QString &text, qsizetype maxBytes)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= maxBytes)
        return bytes;
    qsizetype end = maxBytes;
    // Back up over continuation bytes (10xxxxxx) to the start of the character that was cut.
    while (end > 0 && (static_cast<unsigned char>(bytes.at(end)) & 0xC0) == 0x80)
        --end;
    bytes.truncate(end);
    return bytes;
}

} // namespace

QString instanceName(const QString &chatName, const QString &computerName)
{
    const QByteArray suffix = " auf " + computerName.toUtf8();
    if (suffix.size() >= kMaxLabel)
        return QString::fromUtf8(utf8Prefix(chatName + QString::fromUtf8(suffix), kMaxLabel));
    return QString::fromUtf8(utf8Prefix(chatName, kMaxLabel - suffix.size()) + suffix);
}

QByteArrayList txt(const QString &chatName, const QString &version)
{
    const QByteArray name = "name=";
    const QByteArray ver = "version=";
    return {name + utf8Prefix(chatName, kMaxTxtEntry - name.size()),
            ver + utf8Prefix(version, kMaxTxtEntry - ver.size())};
}

QString txtValue(const QByteArrayList &txt, const QByteArray &key)
{
    for (const QByteArray &entry : txt) {
        const qsizetype eq = entry.indexOf('=');
        const QByteArray entryKey = eq < 0 ? entry : entry.left(eq);
        if (entryKey.compare(key, Qt::CaseInsensitive) != 0)
            continue;
        return eq < 0 ? QString(QLatin1String("")) : QString::fromUtf8(entry.mid(eq + 1));
    }
    return {};
}

} // namespace discovery::ServiceRecord
