#include "settings/SettingsStore.h"

#include "platform/core/Error.h"
#include "platform/core/Registry.h"

#include <QCoreApplication>

namespace settings {

namespace {

const QString kSoftware = QStringLiteral("Software");
const QString kMaker = QStringLiteral("Fernwald Softwerkbau");
const QString kProduct = QStringLiteral("Plauderdeck");

const QString kReceiverList = QStringLiteral("ReceiverList");
const QString kReceiverListChecked = QStringLiteral("ReceiverListChecked");
const QString kOwnName = QStringLiteral("OwnName");
const QString kOwnColor = QStringLiteral("OwnColor");
const QString kCurrentSkinPath = QStringLiteral("CurrentSkinPath");
const QString kProgPath = QStringLiteral("ProgPath");

} // namespace

QString joinReceiverList(const QList<ReceiverEntry> &receivers)
{
    QString text;
    for (const ReceiverEntry &entry : receivers) {
        // A line break inside a name (a sender's name comes from the network) would split the
        // entry in two when loaded and shift every later check mark; it is stored as a blank.
        QString name = entry.name;
        name.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        text += name + QLatin1String("\r\n");
    }
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

std::optional<StoredSettings> LoadSettings()
{
    platform::Registry registry;
    if (!registry.openKey(kSoftware, false) || !registry.openKey(kMaker, false) ||
        !registry.openKey(kProduct, false))
        return std::nullopt;

    StoredSettings settings;
    const QString list = registry.readString(kReceiverList);
    // The check marks are read only for a list that has entries.
    const QString checks = list.isEmpty() ? QString() : registry.readString(kReceiverListChecked);
    settings.receivers = parseReceiverList(list, checks);
    settings.ownName = registry.readString(kOwnName);
    if (const std::optional<qint32> color = registry.readInteger(kOwnColor))
        settings.ownColor = colorFromValue(static_cast<quint32>(*color));
    settings.currentSkinPath = registry.readString(kCurrentSkinPath);
    return settings;
}

namespace {

bool keyExists(const QStringList &path)
{
    platform::Registry registry;
    for (const QString &key : path) {
        if (!registry.openKey(key, false))
            return false;
    }
    return true;
}

// Deletes the product's key, and the maker's key too when `withMaker` and no other product
// of the maker remains.
void deleteProductKey(bool withMaker)
{
    platform::Registry registry;
    if (!registry.openKey(kSoftware, false) || !registry.openKey(kMaker, false))
        return;
    registry.deleteKey(kProduct);
    if (!withMaker || registry.hasSubKeys())
        return;
    registry.closeKey();
    if (registry.openKey(kSoftware, false))
        registry.deleteKey(kMaker);
}

void writeSettings(const StoredSettings &settings)
{
    platform::Registry registry;
    // Writing into whatever key happened to open would scatter the values over the maker's key;
    // a key that cannot be made is reported like a value that cannot be written.
    if (!registry.openKey(kSoftware, false) || !registry.openKey(kMaker, true) ||
        !registry.openKey(kProduct, true))
        throw platform::Exception(QStringLiteral("Konnte Daten für '%1' nicht setzen").arg(kReceiverList));

    // All values reach the disk together or not at all.
    registry.beginBatch();
    registry.writeString(kReceiverList, joinReceiverList(settings.receivers));
    registry.writeString(kReceiverListChecked, receiverCheckString(settings.receivers));
    registry.writeString(kOwnName, settings.ownName);
    if (settings.ownColor)
        registry.writeInteger(kOwnColor, static_cast<qint32>(colorValue(*settings.ownColor)));
    registry.writeString(kCurrentSkinPath, settings.currentSkinPath);
    registry.writeString(kProgPath, QCoreApplication::applicationFilePath());
    registry.commitBatch();
}

} // namespace

void SaveSettings(const StoredSettings &settings)
{
    const bool hadMaker = keyExists({kSoftware, kMaker});
    const bool hadProduct = hadMaker && keyExists({kSoftware, kMaker, kProduct});
    try {
        writeSettings(settings);
    } catch (...) {
        // A first save that fails takes back the keys it made: an empty key would read as
        // stored settings at the next start, with an empty name and no receivers.
        if (!hadProduct)
            deleteProductKey(!hadMaker);
        throw;
    }
}

void DeleteSettings()
{
    // Other products of the same maker keep the maker's key.
    deleteProductKey(true);
}

} // namespace settings
