#include "settings/SettingsStore.h"
#include "SettingsPrinters.h"
#include "platform/core/Error.h"
#include "platform/core/Registry.h"
#include "platform/core/Text.h"
#include "support/TempSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <cstdint>
#include <functional>

using platform::Registry;
using settings::DeleteSettings;
using settings::LoadSettings;
using settings::ReceiverEntry;
using settings::SaveSettings;
using settings::StoredSettings;

namespace {

const QString kMaker = QStringLiteral("Fernwald Softwerkbau");
const QString kProduct = QStringLiteral("Plauderdeck");

// The product's key opened the way another program of the maker would, to look at the values.
std::unique_ptr<Registry> openKey(bool create, const QString &product = kProduct)
{
    auto registry = std::make_unique<Registry>();
    if (!registry->openKey(QStringLiteral("Software"), false) || !registry->openKey(kMaker, create) ||
        !registry->openKey(product, create))
        return nullptr;
    return registry;
}

// How often the file `path` was replaced by a new one while `action` ran.
int timesReplaced(const QString &path, const std::function<void()> &action)
{
    const QFileInfo file(path);
    // Both halves of each rename: the kernel merges an event into an identical one before it,
    // so replacements watched alone could be counted as one.
    constexpr std::uint32_t kRenames = IN_MOVED_FROM | IN_MOVED_TO;
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    const auto closeWatch = qScopeGuard([watch] {
        if (watch >= 0)
            ::close(watch);
    });
    if (watch < 0 ||
        ::inotify_add_watch(watch, QFile::encodeName(file.absolutePath()).constData(), kRenames) < 0)
        return -1;
    action();
    // The kernel queued the events while the action ran.
    int count = 0;
    alignas(inotify_event) char buffer[8192];
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
        for (const char *p = buffer; p < buffer + n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(p);
            if ((event->mask & IN_MOVED_TO) && event->len > 0 &&
                QFile::decodeName(event->name) == file.fileName())
                ++count;
            p += sizeof(inotify_event) + event->len;
        }
    }
    return count;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

StoredSettings sample()
{
    StoredSettings s;
    s.receivers = {{"PC1", true}, {"pc2", false}, {"", true}, {" Jörgs-PC", true}, {"192.168.0.7", false}};
    s.ownName = QStringLiteral("Jörg Müßiggang");
    s.ownColor = QColor(0x11, 0x22, 0x33);
    s.currentSkinPath = QStringLiteral("/opt/plauderdeck/Skins/Grün/");
    return s;
}

class SettingsStore : public ::testing::Test
{
protected:
    TempSettings temp;
};

} // namespace

TEST_F(SettingsStore, NothingIsLoadedOrCreatedWithoutTheKey)
{
    EXPECT_FALSE(LoadSettings().has_value());
    EXPECT_TRUE(QDir(temp.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());

    // The maker's key alone is not enough.
    ASSERT_TRUE(Registry().openKey(QStringLiteral("Software\\") + kMaker, true));
    EXPECT_FALSE(LoadSettings().has_value());
}

TEST_F(SettingsStore, SaveThenLoadGivesBackEverything)
{
    const StoredSettings saved = sample();
    SaveSettings(saved);
    const std::optional<StoredSettings> loaded = LoadSettings();
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->receivers, saved.receivers);
    EXPECT_EQ(loaded->ownName, saved.ownName);
    EXPECT_EQ(loaded->ownColor, saved.ownColor);
    EXPECT_EQ(loaded->currentSkinPath, saved.currentSkinPath);
}

TEST_F(SettingsStore, ValuesHaveTheirStoredTypesAndEncodings)
{
    StoredSettings saved;
    saved.receivers = {{"PC1", true}, {"PC2", false}, {"PC3", true}};
    saved.ownName = QStringLiteral("Anna");
    saved.ownColor = QColor(0x11, 0x22, 0x33);
    SaveSettings(saved);

    const auto key = openKey(false);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->readString(QStringLiteral("ReceiverList")), QStringLiteral("PC1\r\nPC2\r\nPC3\r\n"));
    EXPECT_EQ(key->readString(QStringLiteral("ReceiverListChecked")), QStringLiteral("101"));
    EXPECT_EQ(key->readString(QStringLiteral("OwnName")), QStringLiteral("Anna"));
    EXPECT_EQ(key->readInteger(QStringLiteral("OwnColor")), 0x332211);
    EXPECT_TRUE(key->valueExists(QStringLiteral("CurrentSkinPath")));
    EXPECT_EQ(key->readString(QStringLiteral("CurrentSkinPath")), QString());
    EXPECT_EQ(key->readString(QStringLiteral("ProgPath")), QCoreApplication::applicationFilePath());
}

TEST_F(SettingsStore, EmptyListIsStoredAsTwoEmptyStrings)
{
    StoredSettings saved = sample();
    saved.receivers.clear();
    SaveSettings(saved);
    const auto key = openKey(false);
    ASSERT_TRUE(key);
    EXPECT_TRUE(key->valueExists(QStringLiteral("ReceiverList")));
    EXPECT_EQ(key->readString(QStringLiteral("ReceiverList")), QString());
    EXPECT_TRUE(key->valueExists(QStringLiteral("ReceiverListChecked")));
    EXPECT_EQ(key->readString(QStringLiteral("ReceiverListChecked")), QString());
    EXPECT_TRUE(LoadSettings()->receivers.isEmpty());
}

TEST_F(SettingsStore, EveryWindows1252CharacterSurvivesInAReadableUtf8File)
{
    // All printable characters of the code page, umlauts and the euro sign among them.
    QByteArray codePage;
    for (int b = 0x20; b < 0x100; ++b) {
        if (b != 0x7F)
            codePage.append(static_cast<char>(b));
    }
    StoredSettings saved = sample();
    saved.ownName = platform::fromWindows1252(codePage);
    saved.receivers = {{QStringLiteral("ÄÖÜäöüß€"), true}};
    SaveSettings(saved);

    const std::optional<StoredSettings> loaded = LoadSettings();
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(platform::toWindows1252(loaded->ownName), codePage);
    EXPECT_EQ(loaded->receivers, saved.receivers);
    // The file holds the umlauts as UTF-8 text, so it stays readable in an editor.
    EXPECT_TRUE(fileBytes(temp.productFile(kMaker, kProduct)).contains(QStringLiteral("ÄÖÜäöüß€").toUtf8()));
}

TEST_F(SettingsStore, SavingAgainOverwritesValueByValueAndKeepsForeignValues)
{
    SaveSettings(sample());
    openKey(false)->writeString(QStringLiteral("ProgPath"), QStringLiteral("/old/place/plauderdeck"));
    openKey(false)->writeString(QStringLiteral("Extra"), QStringLiteral("bleibt"));

    StoredSettings second;
    second.receivers = {{"Neu", false}};
    second.ownColor = QColor(Qt::white);
    // All values reach the file together: a reader, or a save cut short, sees the old ones or
    // the new ones, never a mix.
    EXPECT_EQ(timesReplaced(temp.productFile(kMaker, kProduct), [&] { SaveSettings(second); }), 1);

    const auto key = openKey(false);
    EXPECT_EQ(key->readString(QStringLiteral("ReceiverList")), QStringLiteral("Neu\r\n"));
    EXPECT_EQ(key->readString(QStringLiteral("OwnName")), QString());
    EXPECT_EQ(key->readInteger(QStringLiteral("OwnColor")), 0xFFFFFF);
    EXPECT_EQ(key->readString(QStringLiteral("ProgPath")), QCoreApplication::applicationFilePath());
    EXPECT_EQ(key->readString(QStringLiteral("Extra")), QStringLiteral("bleibt"));
}

struct StoredListCase
{
    const char *what;
    QString list;
    QString checks;
    QList<ReceiverEntry> expected;
};

class StoredLists : public SettingsStore, public ::testing::WithParamInterface<StoredListCase>
{
};

TEST_P(StoredLists, LoadAsEntriesWithCheckMarks)
{
    const StoredListCase &c = GetParam();
    const auto key = openKey(true);
    ASSERT_TRUE(key);
    key->writeString(QStringLiteral("ReceiverList"), c.list);
    key->writeString(QStringLiteral("ReceiverListChecked"), c.checks);
    EXPECT_EQ(LoadSettings()->receivers, c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredLists,
    ::testing::Values(
        StoredListCase{"case kept", "Anna\r\nBERND\r\n", "11", {{"Anna", true}, {"BERND", true}}},
        StoredListCase{"empty line", "A\r\n\r\nB\r\n", "101", {{"A", true}, {"", false}, {"B", true}}},
        StoredListCase{"no final line break", "A\r\nB", "01", {{"A", false}, {"B", true}}},
        StoredListCase{"one 1 for three", "A\r\nB\r\nC\r\n", "1", {{"A", true}, {"B", true}, {"C", true}}},
        StoredListCase{"010", "A\r\nB\r\nC\r\n", "010", {{"A", false}, {"B", true}, {"C", false}}},
        StoredListCase{"no check marks", "A\r\nB\r\n", "", {{"A", false}, {"B", false}}},
        StoredListCase{"empty list", "", "111", {}}),
    [](const ::testing::TestParamInfo<StoredListCase> &info) { return "Case" + std::to_string(info.index); });

TEST_F(SettingsStore, MissingOrWrongTypedValuesGiveTheirEmptyForm)
{
    // An existing key without values.
    ASSERT_TRUE(openKey(true));
    std::optional<StoredSettings> loaded = LoadSettings();
    ASSERT_TRUE(loaded.has_value());
    EXPECT_TRUE(loaded->receivers.isEmpty());
    EXPECT_TRUE(loaded->ownName.isEmpty());
    EXPECT_FALSE(loaded->ownColor.has_value());
    EXPECT_TRUE(loaded->currentSkinPath.isEmpty());

    // Integers where strings belong and the other way round.
    const auto key = openKey(false);
    key->writeInteger(QStringLiteral("ReceiverList"), 7);
    key->writeInteger(QStringLiteral("OwnName"), 7);
    key->writeString(QStringLiteral("OwnColor"), QStringLiteral("16777215"));
    key->writeInteger(QStringLiteral("CurrentSkinPath"), 7);
    loaded = LoadSettings();
    ASSERT_TRUE(loaded.has_value());
    EXPECT_TRUE(loaded->receivers.isEmpty());
    EXPECT_TRUE(loaded->ownName.isEmpty());
    EXPECT_FALSE(loaded->ownColor.has_value());
    EXPECT_TRUE(loaded->currentSkinPath.isEmpty());

    // A system colour is no colour of one's own.
    key->writeInteger(QStringLiteral("OwnColor"), static_cast<qint32>(0x8000000F));
    EXPECT_FALSE(LoadSettings()->ownColor.has_value());
}

TEST_F(SettingsStore, DamagedFileStillLoadsWhatItCan)
{
    SaveSettings(sample());
    const QString path = temp.productFile(kMaker, kProduct);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    static const char damaged[] = "[General]\nOwnName=Anna\nOwnColor=dword:12\x00\xff\nReceiverList="
                                  "\"A\\r\\nB\n\x01\x02garbage=\n[broken\n";
    file.write(damaged, sizeof(damaged) - 1);
    file.close();

    const std::optional<StoredSettings> loaded = LoadSettings();
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->ownName, QStringLiteral("Anna"));
    EXPECT_FALSE(loaded->ownColor.has_value());
    EXPECT_TRUE(loaded->currentSkinPath.isEmpty());
}

TEST_F(SettingsStore, DeleteRemovesTheMakerKeyWhenNoOtherProductRemains)
{
    SaveSettings(sample());
    DeleteSettings();
    EXPECT_FALSE(LoadSettings().has_value());
    Registry registry;
    ASSERT_TRUE(registry.openKey(QStringLiteral("Software"), false));
    EXPECT_FALSE(registry.openKey(kMaker, false));
}

TEST_F(SettingsStore, DeleteKeepsAnotherProductOfTheSameMaker)
{
    SaveSettings(sample());
    const auto sibling = openKey(true, QStringLiteral("Wortwerk"));
    ASSERT_TRUE(sibling);
    sibling->writeString(QStringLiteral("Lizenz"), QStringLiteral("1234"));

    DeleteSettings();
    EXPECT_FALSE(LoadSettings().has_value());
    const auto stillThere = openKey(false, QStringLiteral("Wortwerk"));
    ASSERT_TRUE(stillThere);
    EXPECT_EQ(stillThere->readString(QStringLiteral("Lizenz")), QStringLiteral("1234"));
}

TEST_F(SettingsStore, DeleteWithoutStoredSettingsChangesNothing)
{
    DeleteSettings();
    EXPECT_TRUE(QDir(temp.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    SaveSettings(sample());
    EXPECT_TRUE(LoadSettings().has_value()) << "saving after a delete stores everything anew";
}

TEST_F(SettingsStore, UnwritableKeyRaisesTheFirstValueName)
{
    // A folder where the product's file belongs: the key can be neither made nor written.
    ASSERT_TRUE(QDir().mkpath(temp.productFile(kMaker, kProduct)));
    try {
        SaveSettings(sample());
        FAIL() << "no error";
    } catch (const platform::Exception &error) {
        EXPECT_EQ(error.message(), QStringLiteral("Konnte Daten für 'ReceiverList' nicht setzen"));
    }
    // Nothing went to the maker's key instead.
    EXPECT_FALSE(QFile::exists(temp.root() + QLatin1Char('/') + kMaker + QLatin1String(".conf")));
}

TEST_F(SettingsStore, AFailedFirstSaveLeavesNoKeyBehind)
{
    // A settings folder so deep that the maker's folder can be made but the product's file
    // cannot be named.
    QString deep = temp.root();
    const QString step = QLatin1Char('/') + QString(200, QLatin1Char('d'));
    const qsizetype makerPart = 1 + kMaker.size();
    while (deep.size() + step.size() + makerPart < 4095 - 8)
        deep += step;
    deep += QLatin1Char('/') + QString(4095 - 4 - makerPart - deep.size(), QLatin1Char('e'));
    ASSERT_TRUE(QDir().mkpath(deep));
    platform::setSettingsRoot(deep);
    EXPECT_THROW(SaveSettings(sample()), platform::Exception);
    EXPECT_TRUE(QDir(deep).isEmpty());
    EXPECT_FALSE(LoadSettings().has_value());
    platform::setSettingsRoot(temp.root());

    // A maker's key that was there before stays, with its other product.
    const auto sibling = openKey(true, QStringLiteral("Wortwerk"));
    ASSERT_TRUE(sibling);
    sibling->writeString(QStringLiteral("Lizenz"), QStringLiteral("1234"));
    ASSERT_TRUE(QDir().mkpath(temp.productFile(kMaker, kProduct)));
    EXPECT_THROW(SaveSettings(sample()), platform::Exception);
    EXPECT_TRUE(openKey(false, QStringLiteral("Wortwerk")));
}
