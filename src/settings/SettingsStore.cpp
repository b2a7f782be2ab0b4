#include "settings/SettingsStore.h"

namespace settings {

QString joinReceiverList(const QList<ReceiverEntry> &receivers)
{
    QString text;
    for (const ReceiverEntry &entry : receivers)
        text += entry.name + QLatin1String("\r\n");
    return text;
}

QString receiverCheckString(const QList<ReceiverEntry> &receivers)
{
    QString checks;
    checks.reserve(receivers.size());
    for (const ReceiverEntry &entry : receivers)
        checks += entry.checked ? QLatin1Char('1') : QLatin1Char('0');
    return checks;
}

QList<ReceiverEntry> parseReceiverList(const QString &list, const QString &checks)
{
    QList<ReceiverEntry> receivers;
    qsizetype start = 0;
    const qsizetype size = list.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = list.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        receivers.append({list.mid(start, i - start), false});
        if (c == QLatin1Char('\r') && i + 1 < size && list.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < size)
        receivers.append({list.mid(start), false});

    if (!checks.isEmpty()) {
        for (qsizetype i = 0; i < receivers.size(); ++i)
            receivers[i].checked = i >= checks.size() || checks.at(i) != QLatin1Char('0');
    }
    return receivers;
}

quint32 colorValue(const QColor &color)
{
    const QRgb rgb = color.rgb();
    return static_cast<quint32>(qRed(rgb)) | static_cast<quint32>(qGreen(rgb)) << 8 |
           static_cast<quint32>(qBlue(rgb)) << 16;
}

std::optional<QColor> colorFromValue(quint32 value)
{
    if ((value & 0xFF000000u) != 0)
        return std::nullopt;
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>(value >> 8 & 0xFF),
                  static_cast<int>(value >> 16 & 0xFF));
}

} // namespace settings
