#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QSettings;

namespace platform {

// The two roots of the registry the program knows.
enum class RootKey {
    CurrentUser,  // the per-user settings
    LocalMachine, // machine-wide data; only the computer name is there
};

// A registry-shaped view of the per-user settings store, so the program's code keeps its shape.
//
// Layout below the per-user root: "Software" always exists; "Software\<maker>" is the folder
// <root>/<maker>, holding one file <root>/<maker>/<product>.conf per product key
// "Software\<maker>\<product>" (QSettings in native format); deeper keys are groups inside that
// file. Values of a maker key itself live in <root>/<maker>.conf, where QSettings keeps the
// organisation-wide settings. <root> is ~/.config unless setSettingsRoot() says otherwise.
//
// The machine-wide root holds only "System\CurrentControlSet\control\ComputerName\ComputerName"
// with the value "ComputerName", which reads the host name. Key names compare without regard to
// letter case there, as on the home platform.
//
// Strings and 32-bit integers keep their type in the file: integers are stored as
// "dword:<8 hex digits>". Every write goes to disk at once through a temporary file that
// replaces the old one, so a crash during a save leaves the previous file intact; a write that
// cannot be done throws platform::Exception "Konnte Daten für '<name>' nicht setzen". Several
// values that belong together are written as one batch (beginBatch/commitBatch).
class Registry
{
public:
    explicit Registry(RootKey root = RootKey::CurrentUser);
    ~Registry();
    Registry(const Registry &) = delete;
    Registry &operator=(const Registry &) = delete;

    RootKey rootKey() const { return m_root; }

    // Opens `key` relative to the open key (a leading backslash starts at the root). With
    // `canCreate` missing keys are created. Returns whether the key is open now; on failure the
    // previously open key stays open.
    bool openKey(const QString &key, bool canCreate);
    void closeKey();
    // The open key's path below the root, parts separated by backslashes; empty at the root.
    QString currentPath() const;

    bool valueExists(const QString &name) const;
    // A missing value, or one that is not a string, reads as the empty string.
    QString readString(const QString &name) const;
    // Empty when the value is missing or not a 32-bit integer.
    std::optional<qint32> readInteger(const QString &name) const;
    void writeString(const QString &name, const QString &value);
    void writeInteger(const QString &name, qint32 value);

    // Collects the writes that follow until commitBatch() puts them on disk together: every file
    // the batch touches is replaced once, as a whole, so a crash leaves either all the new values
    // or all the old ones, never a mix. Each write is checked when it is made and throws as
    // usual; a batch that is not committed changes nothing on disk. Reads during a batch see
    // the stored values, not the pending ones.
    void beginBatch();
    // Writes the pending values; a file that cannot be replaced throws the usual write error
    // naming its first pending value.
    void commitBatch();
    bool inBatch() const { return m_batching; }

    // Deletes `key` (relative to the open key) with all its values and subkeys.
    bool deleteKey(const QString &key);
    bool hasSubKeys() const;

private:
    struct Location;
    std::optional<Location> locate(const QStringList &parts) const;
    bool exists(const QStringList &parts) const;
    bool create(const QStringList &parts) const;
    QStringList resolve(const QString &key) const;
    void writeValue(const QString &name, const QString &stored);

    struct PendingWrite
    {
        QString file;
        QString group;
        QString name;
        QString stored;
    };

    RootKey m_root;
    QStringList m_path;
    bool m_batching = false;
    std::vector<PendingWrite> m_batch;
};

// Where the per-user store lives; an empty folder restores the standard location. Tests point
// it at a temporary folder.
void setSettingsRoot(const QString &folder);
QString settingsRoot();

// The computer name the machine-wide key reports; by default the host name. A test may replace
// it, and std::nullopt makes the key missing.
void setComputerNameOverride(std::optional<QString> name);
void clearComputerNameOverride();

} // namespace platform
