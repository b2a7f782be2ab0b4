#pragma once

#include "chat/ReceiverEntry.h"

#include <QColor>
#include <QList>
#include <QString>

#include <optional>

// The per-user settings key Software\Fernwald Softwerkbau\Plauderdeck and what it holds.
// Storing is opt-in (the options window's save switch); these functions only read and write
// the key, the windows decide when.
namespace settings {

using ReceiverEntry = chat::ReceiverEntry;

// Everything the key holds apart from the program location, which is written on every save
// and never read back.
struct StoredSettings
{
    QList<ReceiverEntry> receivers;
    QString ownName;
    // Empty when the key holds no usable colour (value missing, not a number, or a system
    // colour): the chat window then keeps the colour it already has.
    std::optional<QColor> ownColor;
    QString currentSkinPath;
};

// The stored form of the receiver list: every name followed by CR LF, the last one too. Line
// breaks inside a name become blanks, so each entry stays one line.
QString joinReceiverList(const QList<ReceiverEntry> &receivers);
// One "1" or "0" per entry, in list order, without separators.
QString receiverCheckString(const QList<ReceiverEntry> &receivers);
// Reads both stored values back. Lines end at CR, LF or CR LF; a final line break makes no
// extra entry. With a non-empty check string an entry is unchecked exactly when its character
// is "0" (a character that is missing because the string is too short checks it); with an
// empty check string every entry is unchecked.
QList<ReceiverEntry> parseReceiverList(const QString &list, const QString &checks);

// Colour values keep red in the low byte, then green, then blue; the top byte is 0.
quint32 colorValue(const QColor &color);
// Empty for values with bits above the low 24: those name system colours, not a colour of
// one's own.
std::optional<QColor> colorFromValue(quint32 value);

// The store operations, on the per-user registry.
//
// LoadSettings() opens the key without creating anything and is empty when it is missing. A
// value that is missing or of the wrong type reads as its empty form: no receivers, an empty
// own name, no own colour, an empty skin path; so start-up always gets a complete answer.
std::optional<StoredSettings> LoadSettings();
// Writes all six values in their fixed order (receiver list, check marks, own name, own colour,
// skin path, program file), creating the key when needed; a value that cannot be written
// throws platform::Exception "Konnte Daten für '<name>' nicht setzen" and nothing is saved.
// The values reach the disk together in one replacement of the file, so an interrupted save
// leaves the previous settings readable.
// Without an own colour the stored one is left as it is.
void SaveSettings(const StoredSettings &settings);
// Removes the key; the maker's key goes too unless another product of the maker still has one.
void DeleteSettings();

} // namespace settings
