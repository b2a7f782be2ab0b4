#include "platform/core/Registry.h"

#include "platform/core/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QSettings>
#include <QStandardPaths>

namespace platform {

namespace {

QString g_settingsRoot;
std::optional<std::optional<QString>> g_computerName; // outer empty: ask the system

const QStringList &computerNameKey()
{
    static const QStringList parts{QStringLiteral("System"), QStringLiteral("CurrentControlSet"),
                                   QStringLiteral("control"), QStringLiteral("ComputerName"),
                                   QStringLiteral("ComputerName")};
    return parts;
}

const QString kDwordPrefix = QStringLiteral("dword:");
const QString kStringPrefix = QStringLiteral("sz:");

std::optional<QString> computerName()
{
    if (g_computerName)
        return *g_computerName;
    return QHostInfo::localHostName();
}

bool isComputerNamePrefix(const QStringList &parts)
{
    const QStringList &full = computerNameKey();
    if (parts.size() > full.size())
        return false;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (parts[i].compare(full[i], Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

// A name that the file layout cannot hold: it would become a path or a group separator.
bool isBadName(const QString &name)
{
    return name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
           name == QLatin1String(".") || name == QLatin1String("..");
}

Exception writeFailure(const QString &name)
{
    return Exception(QStringLiteral("Konnte Daten für '%1' nicht setzen").arg(name));
}

// A file's settings object that replaces the file as a whole on every save.
std::unique_ptr<QSettings> openFile(const QString &file)
{
    auto settings = std::make_unique<QSettings>(file, QSettings::NativeFormat);
    settings->setAtomicSyncRequired(true);
    settings->setFallbacksEnabled(false);
    return settings;
}

void removeFile(const QString &file)
{
    if (!QFileInfo(file).isFile())
        return;
    // Empty it through QSettings first so that the process-wide settings cache forgets it too.
    {
        auto settings = openFile(file);
        settings->clear();
        settings->sync();
    }
    QFile::remove(file);
}

} // namespace

void setSettingsRoot(const QString &folder)
{
    g_settingsRoot = folder;
}

QString settingsRoot()
{
    if (!g_settingsRoot.isEmpty())
        return g_settingsRoot;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

void setComputerNameOverride(std::optional<QString> name)
{
    g_computerName = std::move(name);
}

void clearComputerNameOverride()
{
    g_computerName.reset();
}

// Where a key of the per-user root lives on disk.
struct Registry::Location
{
    enum Level { Root, Software, Maker, ProgramKey };
    Level level = Root;
    QString folder; // the maker's folder
    QString file;   // the file that holds the key's values; empty where a key holds none
    QString group;  // the group inside `file` ("" for the program's own key)
};

Registry::Registry(RootKey root) : m_root(root)
{
}

Registry::~Registry() = default;

QStringList Registry::resolve(const QString &key) const
{
    QStringList parts = key.startsWith(QLatin1Char('\\')) ? QStringList() : m_path;
    for (const QString &part : key.split(QLatin1Char('\\'), Qt::SkipEmptyParts))
        parts.append(part);
    return parts;
}

std::optional<Registry::Location> Registry::locate(const QStringList &parts) const
{
    Location loc;
    if (parts.isEmpty())
        return loc;
    if (parts[0].compare(QLatin1String("Software"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    loc.level = Location::Software;
    if (parts.size() == 1)
        return loc;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (isBadName(parts[i]))
            return std::nullopt;
    }
    const QString root = settingsRoot();
    loc.folder = root + QLatin1Char('/') + parts[1];
    if (parts.size() == 2) {
        loc.level = Location::Maker;
        loc.file = loc.folder + QLatin1String(".conf");
        return loc;
    }
    loc.level = Location::ProgramKey;
    loc.file = loc.folder + QLatin1Char('/') + parts[2] + QLatin1String(".conf");
    loc.group = parts.mid(3).join(QLatin1Char('/'));
    return loc;
}

bool Registry::exists(const QStringList &parts) const
{
    if (m_root == RootKey::LocalMachine)
        return isComputerNamePrefix(parts) && (parts.size() < computerNameKey().size() || computerName());
    const auto loc = locate(parts);
    if (!loc)
        return false;
    switch (loc->level) {
    case Location::Root:
    case Location::Software:
        return true;
    case Location::Maker:
        return QFileInfo(loc->folder).isDir();
    case Location::ProgramKey:
        break;
    }
    if (!QFileInfo(loc->file).isFile())
        return false;
    if (loc->group.isEmpty())
        return true;
    auto settings = openFile(loc->file);
    const QStringList groups = loc->group.split(QLatin1Char('/'));
    for (const QString &group : groups) {
        if (!settings->childGroups().contains(group))
            return false;
        settings->beginGroup(group);
    }
    return true;
}

bool Registry::create(const QStringList &parts) const
{
    if (m_root == RootKey::LocalMachine)
        return false;
    const auto loc = locate(parts);
    if (!loc)
        return false;
    switch (loc->level) {
    case Location::Root:
    case Location::Software:
        return true;
    case Location::Maker:
        return QDir().mkpath(loc->folder);
    case Location::ProgramKey:
        break;
    }
    if (!QDir().mkpath(loc->folder))
        return false;
    if (!QFileInfo(loc->file).isFile()) {
        QFile file(loc->file);
        if (!file.open(QIODevice::WriteOnly))
            return false;
    }
    // A group inside the file comes into being with its first value.
    return true;
}

bool Registry::openKey(const QString &key, bool canCreate)
{
    const QStringList parts = resolve(key);
    if (!exists(parts) && !(canCreate && create(parts)))
        return false;
    m_path = parts;
    return true;
}

void Registry::closeKey()
{
    m_path.clear();
}

QString Registry::currentPath() const
{
    return m_path.join(QLatin1Char('\\'));
}

namespace {

std::optional<QString> storedValue(const QString &file, const QString &group, const QString &name)
{
    if (isBadName(name) || !QFileInfo(file).isFile())
        return std::nullopt;
    auto settings = openFile(file);
    if (!group.isEmpty())
        settings->beginGroup(group);
    const QVariant value = settings->value(name);
    if (!value.isValid())
        return std::nullopt;
    // A hand-edited line with unquoted commas reads as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

} // namespace

bool Registry::valueExists(const QString &name) const
{
    if (m_root == RootKey::LocalMachine)
        return m_path.size() == computerNameKey().size() && exists(m_path) &&
               name.compare(QLatin1String("ComputerName"), Qt::CaseInsensitive) == 0;
    const auto loc = locate(m_path);
    return loc && !loc->file.isEmpty() && storedValue(loc->file, loc->group, name).has_value();
}

QString Registry::readString(const QString &name) const
{
    if (m_root == RootKey::LocalMachine)
        return valueExists(name) ? computerName().value_or(QString()) : QString();
    const auto loc = locate(m_path);
    if (!loc || loc->file.isEmpty())
        return {};
    const QString stored = storedValue(loc->file, loc->group, name).value_or(QString());
    if (stored.startsWith(kDwordPrefix))
        return {};
    if (stored.startsWith(kStringPrefix))
        return stored.mid(kStringPrefix.size());
    return stored;
}

std::optional<qint32> Registry::readInteger(const QString &name) const
{
    if (m_root == RootKey::LocalMachine)
        return std::nullopt;
    const auto loc = locate(m_path);
    if (!loc || loc->file.isEmpty())
        return std::nullopt;
    const QString stored = storedValue(loc->file, loc->group, name).value_or(QString());
    if (!stored.startsWith(kDwordPrefix))
        return std::nullopt;
    const QString digits = stored.mid(kDwordPrefix.size());
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok || digits.size() != 8)
        return std::nullopt;
    return static_cast<qint32>(value);
}

void Registry::writeValue(const QString &name, const QString &stored)
{
    const auto loc = m_root == RootKey::CurrentUser ? locate(m_path) : std::nullopt;
    if (!loc || loc->file.isEmpty() || isBadName(name))
        throw writeFailure(name);
    auto settings = openFile(loc->file);
    if (!settings->isWritable())
        throw writeFailure(name);
    if (m_batching) {
        m_batch.push_back({loc->file, loc->group, name, stored});
        return;
    }
    if (!loc->group.isEmpty())
        settings->beginGroup(loc->group);
    settings->setValue(name, stored);
    settings->sync();
    if (settings->status() != QSettings::NoError)
        throw writeFailure(name);
}

void Registry::beginBatch()
{
    m_batch.clear();
    m_batching = true;
}

void Registry::commitBatch()
{
    std::vector<PendingWrite> batch;
    batch.swap(m_batch);
    m_batching = false;
    // One settings object per file, synced once: the file is replaced with all its new values.
    std::vector<bool> done(batch.size(), false);
    for (std::size_t first = 0; first < batch.size(); ++first) {
        if (done[first])
            continue;
        auto settings = openFile(batch[first].file);
        for (std::size_t i = first; i < batch.size(); ++i) {
            if (done[i] || batch[i].file != batch[first].file)
                continue;
            done[i] = true;
            if (!batch[i].group.isEmpty())
                settings->beginGroup(batch[i].group);
            settings->setValue(batch[i].name, batch[i].stored);
            if (!batch[i].group.isEmpty())
                settings->endGroup();
        }
        settings->sync();
        if (settings->status() != QSettings::NoError)
            throw writeFailure(batch[first].name);
    }
}

void Registry::writeString(const QString &name, const QString &value)
{
    const bool looksTyped = value.startsWith(kDwordPrefix) || value.startsWith(kStringPrefix);
    writeValue(name, looksTyped ? kStringPrefix + value : value);
}

void Registry::writeInteger(const QString &name, qint32 value)
{
    writeValue(name,
               kDwordPrefix + QStringLiteral("%1").arg(static_cast<quint32>(value), 8, 16, QLatin1Char('0')));
}

bool Registry::deleteKey(const QString &key)
{
    if (m_root == RootKey::LocalMachine)
        return false;
    const QStringList parts = resolve(key);
    const auto loc = locate(parts);
    if (!loc || !exists(parts))
        return false;
    switch (loc->level) {
    case Location::Root:
    case Location::Software:
        return false;
    case Location::Maker: {
        const QDir folder(loc->folder);
        for (const QString &name : folder.entryList({QStringLiteral("*.conf")}, QDir::Files))
            removeFile(folder.filePath(name));
        removeFile(loc->file);
        return QDir(loc->folder).removeRecursively();
    }
    case Location::ProgramKey:
        break;
    }
    if (loc->group.isEmpty()) {
        removeFile(loc->file);
        return !QFileInfo::exists(loc->file);
    }
    auto settings = openFile(loc->file);
    settings->remove(loc->group);
    settings->sync();
    return settings->status() == QSettings::NoError;
}

bool Registry::hasSubKeys() const
{
    if (m_root == RootKey::LocalMachine)
        return isComputerNamePrefix(m_path) && m_path.size() < computerNameKey().size();
    const auto loc = locate(m_path);
    if (!loc)
        return false;
    switch (loc->level) {
    case Location::Root:
        return true;
    case Location::Software:
        return !QDir(settingsRoot()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty();
    case Location::Maker:
        return !QDir(loc->folder).entryList({QStringLiteral("*.conf")}, QDir::Files).isEmpty() ||
               !QDir(loc->folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty();
    case Location::ProgramKey:
        break;
    }
    if (!QFileInfo(loc->file).isFile())
        return false;
    auto settings = openFile(loc->file);
    if (!loc->group.isEmpty())
        settings->beginGroup(loc->group);
    return !settings->childGroups().isEmpty();
}

} // namespace platform
