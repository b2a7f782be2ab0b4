#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace chat {

// A line's colour: red, green and blue, each 0 .. 255.
struct LineColor
{
    int red = 0;
    int green = 0;
    int blue = 0;

    bool operator==(const LineColor &) const = default;
};

// One chat line as it travels: nine digits of colour code (three per part, red first), a style
// flag ('1' italic, anything else upright) and the visible text in Windows-1252.
//
// Reading is lenient about everything but the colour: a payload whose three colour groups are
// numbers is a line, whatever follows. A group keeps only its low eight bits, so a peer's
// "256" or "-1" still gives a colour.
class ChatLine
{
public:
    static constexpr qsizetype kHeaderSize = 10;

    ChatLine() = default;
    ChatLine(LineColor color, bool italic, QString text);

    LineColor color() const { return m_color; }
    bool isItalic() const { return m_italic; }
    QString text() const { return m_text; }

    QByteArray payload() const;

    // Empty when a colour group is no number (also when the payload is too short to hold it).
    static std::optional<ChatLine> fromPayload(const QByteArray &payload);
    // Whether fromPayload() gives a line, without decoding the text.
    static bool isReadable(const QByteArray &payload);
    // The text after the header, whatever the header holds.
    static QString visibleText(const QByteArray &payload);
    // An italic line that ends like the line a computer joins with.
    static bool announcesJoin(const QByteArray &payload);

    // The lines a sender makes: joining, leaving, a new name, a new colour, and what it says
    // or does (a way of speaking that ends with '.' is an action: italic, without a message).
    static ChatLine joined(const QString &name, LineColor color);
    static ChatLine left(const QString &name, LineColor color);
    static ChatLine renamed(const QString &oldName, const QString &newName, LineColor color);
    static ChatLine newColor(const QString &name, LineColor color);
    static ChatLine spoken(const QString &name, const QString &mode, const QString &message, LineColor color);

    bool operator==(const ChatLine &) const = default;

private:
    LineColor m_color;
    bool m_italic = false;
    QString m_text;
};

} // namespace chat
