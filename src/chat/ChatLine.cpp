#include "chat/ChatLine.h"

#include "platform/core/Text.h"

namespace chat {
namespace {

constexpr qsizetype kGroupDigits = 3;
constexpr qsizetype kStyleAt = 9;

const QString kJoinSuffix = QStringLiteral(" hat den Chatroom betreten.");

std::optional<int> colorGroup(const QByteArray &payload, int index)
{
    bool ok = false;
    const int value = payload.mid(index * kGroupDigits, kGroupDigits).toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value & 0xFF;
}

} // namespace

ChatLine::ChatLine(LineColor color, bool italic, QString text)
    : m_color(color), m_italic(italic), m_text(std::move(text))
{
}

QByteArray ChatLine::payload() const
{
    QByteArray bytes =
        QString::asprintf("%.3u%.3u%.3u", static_cast<unsigned>(m_color.red),
                          static_cast<unsigned>(m_color.green), static_cast<unsigned>(m_color.blue))
            .toLatin1();
    bytes += m_italic ? '1' : '0';
    bytes += platform::toWindows1252(m_text);
    return bytes;
}

std::optional<ChatLine> ChatLine::fromPayload(const QByteArray &payload)
{
    const std::optional<int> red = colorGroup(payload, 0);
    const std::optional<int> green = colorGroup(payload, 1);
    const std::optional<int> blue = colorGroup(payload, 2);
    if (!red || !green || !blue)
        return std::nullopt;
    const bool italic = payload.size() > kStyleAt && payload.at(kStyleAt) == '1';
    return ChatLine({*red, *green, *blue}, italic, visibleText(payload));
}

bool ChatLine::isReadable(const QByteArray &payload)
{
    return colorGroup(payload, 0) && colorGroup(payload, 1) && colorGroup(payload, 2);
}

QString ChatLine::visibleText(const QByteArray &payload)
{
    return platform::fromWindows1252(payload.mid(kHeaderSize));
}

bool ChatLine::announcesJoin(const QByteArray &payload)
{
    static const QByteArray suffix = platform::toWindows1252(kJoinSuffix);
    return payload.size() >= kHeaderSize && payload.at(kStyleAt) == '1' && payload.endsWith(suffix);
}

ChatLine ChatLine::joined(const QString &name, LineColor color)
{
    return {color, true, name + kJoinSuffix};
}

ChatLine ChatLine::left(const QString &name, LineColor color)
{
    return {color, true, name + QStringLiteral(" hat den Chatroom verlassen.")};
}

ChatLine ChatLine::renamed(const QString &oldName, const QString &newName, LineColor color)
{
    return {color, true, oldName + QStringLiteral(" heißt ab jetzt ") + newName + QLatin1Char('.')};
}

ChatLine ChatLine::newColor(const QString &name, LineColor color)
{
    return {color, true, QStringLiteral("Das hier ist die neue Farbe von ") + name};
}

ChatLine ChatLine::spoken(const QString &name, const QString &mode, const QString &message, LineColor color)
{
    const QString line = name + QLatin1Char(' ') + mode;
    if (line.endsWith(QLatin1Char('.')))
        return {color, true, line};
    return {color, false, line + QLatin1Char(' ') + message};
}

} // namespace chat
