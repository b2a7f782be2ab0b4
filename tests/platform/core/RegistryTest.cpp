#include "platform/core/Error.h"
#include "platform/core/Registry.h"
#include "support/TempSettings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHostInfo>

using platform::Registry;
using platform::RootKey;

namespace {

const QString kMaker = QStringLiteral("Fernwald Softwerkbau");
const QString kProduct = QStringLiteral("Plauderdeck");

// Opens Software\<maker>\<product> one level at a time, as the settings code does.
bool openProduct(Registry &reg, bool canCreate, const QString &product = kProduct)
{
    return reg.openKey(QStringLiteral("Software"), false) && reg.openKey(kMaker, canCreate) &&
           reg.openKey(product, canCreate);
}

QString errorText(const std::function<void()> &action)
{
    try {
        action();
    } catch (const platform::Exception &error) {
        return error.message();
    }
    return QStringLiteral("<no error>");
}

} // namespace

TEST(Registry, ValuesKeepTextAndTypeAcrossObjects)
{
    TempSettings temp;
    {
        Registry reg;
        ASSERT_TRUE(openProduct(reg, true));
        EXPECT_EQ(reg.currentPath(), QStringLiteral("Software\\Fernwald Softwerkbau\\Plauderdeck"));
        reg.writeString(QStringLiteral("ReceiverList"), QStringLiteral("PC1\r\nPC2\r\n\r\nPC3\r\n"));
        reg.writeString(QStringLiteral("OwnName"), QStringLiteral("Jürgen, \"der Große\" & Co = 1;#"));
        reg.writeString(QStringLiteral("Looks"), QStringLiteral("dword:000000ff"));
        reg.writeString(QStringLiteral("Empty"), QString());
        reg.writeInteger(QStringLiteral("OwnColor"), 0x00ff8040);
        reg.writeInteger(QStringLiteral("Negative"), -2);
    }
    EXPECT_TRUE(QFile::exists(temp.productFile(kMaker, kProduct)));

    Registry reg;
    ASSERT_TRUE(openProduct(reg, false));
    EXPECT_EQ(reg.readString(QStringLiteral("ReceiverList")), QStringLiteral("PC1\r\nPC2\r\n\r\nPC3\r\n"));
    EXPECT_EQ(reg.readString(QStringLiteral("OwnName")), QStringLiteral("Jürgen, \"der Große\" & Co = 1;#"));
    EXPECT_EQ(reg.readString(QStringLiteral("Looks")), QStringLiteral("dword:000000ff"));
    EXPECT_EQ(reg.readInteger(QStringLiteral("Looks")), std::nullopt);
    EXPECT_TRUE(reg.valueExists(QStringLiteral("Empty")));
    EXPECT_EQ(reg.readString(QStringLiteral("Empty")), QString());
    EXPECT_EQ(reg.readInteger(QStringLiteral("OwnColor")), 0x00ff8040);
    EXPECT_EQ(reg.readInteger(QStringLiteral("Negative")), -2);

    // Wrong types and missing values.
    EXPECT_EQ(reg.readString(QStringLiteral("OwnColor")), QString());
    EXPECT_EQ(reg.readInteger(QStringLiteral("OwnName")), std::nullopt);
    EXPECT_FALSE(reg.valueExists(QStringLiteral("CurrentSkinPath")));
    EXPECT_EQ(reg.readString(QStringLiteral("CurrentSkinPath")), QString());
    EXPECT_EQ(reg.readInteger(QStringLiteral("Missing")), std::nullopt);

    // Overwriting keeps the other values.
    reg.writeString(QStringLiteral("OwnName"), QStringLiteral("Anna"));
    EXPECT_EQ(reg.readString(QStringLiteral("OwnName")), QStringLiteral("Anna"));
    EXPECT_EQ(reg.readInteger(QStringLiteral("OwnColor")), 0x00ff8040);
}

TEST(Registry, OpeningWithoutCreateFailsAndKeepsTheOpenKey)
{
    TempSettings temp;
    Registry reg;
    ASSERT_TRUE(reg.openKey(QStringLiteral("Software"), false));
    EXPECT_FALSE(reg.openKey(kMaker, false));
    EXPECT_EQ(reg.currentPath(), QStringLiteral("Software"));
    EXPECT_FALSE(QDir(temp.root() + QLatin1Char('/') + kMaker).exists());

    EXPECT_TRUE(reg.openKey(QStringLiteral("\\Software\\Fernwald Softwerkbau\\Plauderdeck"), true));
    reg.closeKey();
    EXPECT_EQ(reg.currentPath(), QString());
    EXPECT_TRUE(openProduct(reg, false));
    EXPECT_FALSE(reg.hasSubKeys());
    EXPECT_FALSE(reg.openKey(QStringLiteral("Nested"), false));

    // Subkeys of a product key live inside its file.
    ASSERT_TRUE(reg.openKey(QStringLiteral("Nested"), true));
    reg.writeInteger(QStringLiteral("Value"), 7);
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\Software\\Fernwald Softwerkbau\\Plauderdeck"), false));
    EXPECT_TRUE(reg.hasSubKeys());
    EXPECT_TRUE(reg.openKey(QStringLiteral("Nested"), false));
    EXPECT_EQ(reg.readInteger(QStringLiteral("Value")), 7);

    // Only "Software" exists below the per-user root.
    Registry other;
    EXPECT_FALSE(other.openKey(QStringLiteral("Control Panel"), true));
    EXPECT_FALSE(other.openKey(QStringLiteral("Software\\a/b"), true));
}

TEST(Registry, DeletingTheProductKeepsTheMakerWhileSiblingsRemain)
{
    TempSettings temp;
    Registry reg;
    ASSERT_TRUE(openProduct(reg, true));
    reg.writeString(QStringLiteral("OwnName"), QStringLiteral("Anna"));
    reg.closeKey();
    ASSERT_TRUE(openProduct(reg, true, QStringLiteral("Zeichenbrett")));
    reg.writeInteger(QStringLiteral("Size"), 3);
    reg.closeKey();

    // The steps of deleting the stored settings: product, then the maker if nothing is left.
    ASSERT_TRUE(reg.openKey(QStringLiteral("Software\\") + kMaker, false));
    EXPECT_TRUE(reg.deleteKey(kProduct));
    EXPECT_FALSE(QFile::exists(temp.productFile(kMaker, kProduct)));
    EXPECT_TRUE(reg.hasSubKeys());
    EXPECT_FALSE(reg.openKey(kProduct, false));

    Registry sibling;
    ASSERT_TRUE(openProduct(sibling, false, QStringLiteral("Zeichenbrett")));
    EXPECT_EQ(sibling.readInteger(QStringLiteral("Size")), 3);
    // A product key opened again after the delete starts empty.
    Registry fresh;
    ASSERT_TRUE(openProduct(fresh, true));
    EXPECT_EQ(fresh.readString(QStringLiteral("OwnName")), QString());
}

TEST(Registry, DeletingTheLastProductLetsTheMakerGo)
{
    TempSettings temp;
    Registry reg;
    ASSERT_TRUE(openProduct(reg, true));
    reg.writeString(QStringLiteral("OwnName"), QStringLiteral("Anna"));
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\Software\\") + kMaker, false));
    reg.writeString(QStringLiteral("MakerValue"), QStringLiteral("x"));
    EXPECT_TRUE(reg.deleteKey(kProduct));
    EXPECT_FALSE(reg.hasSubKeys());

    reg.closeKey();
    ASSERT_TRUE(reg.openKey(QStringLiteral("Software"), false));
    EXPECT_TRUE(reg.deleteKey(kMaker));
    EXPECT_FALSE(QDir(temp.root() + QLatin1Char('/') + kMaker).exists());
    EXPECT_FALSE(QFile::exists(temp.root() + QLatin1Char('/') + kMaker + QLatin1String(".conf")));
    EXPECT_FALSE(reg.openKey(kMaker, false));
    EXPECT_FALSE(reg.deleteKey(kMaker));
}

TEST(Registry, FailedWritesRaiseTheValueName)
{
    TempSettings temp;
    Registry reg;
    ASSERT_TRUE(openProduct(reg, true));
    // A folder where the product's file should be: nothing can be written there.
    ASSERT_TRUE(QFile::remove(temp.productFile(kMaker, kProduct)));
    ASSERT_TRUE(QDir().mkpath(temp.productFile(kMaker, kProduct)));
    EXPECT_EQ(errorText([&] { reg.writeString(QStringLiteral("OwnName"), QStringLiteral("Anna")); }),
              QStringLiteral("Konnte Daten für 'OwnName' nicht setzen"));
    EXPECT_EQ(errorText([&] { reg.writeInteger(QStringLiteral("OwnColor"), 1); }),
              QStringLiteral("Konnte Daten für 'OwnColor' nicht setzen"));

    // Keys that hold no values.
    reg.closeKey();
    EXPECT_EQ(errorText([&] { reg.writeString(QStringLiteral("X"), QString()); }),
              QStringLiteral("Konnte Daten für 'X' nicht setzen"));
    Registry machine(RootKey::LocalMachine);
    EXPECT_EQ(errorText([&] { machine.writeInteger(QStringLiteral("Y"), 1); }),
              QStringLiteral("Konnte Daten für 'Y' nicht setzen"));
}

TEST(Registry, SavesReplaceTheFileWhole)
{
    TempSettings temp;
    Registry reg;
    ASSERT_TRUE(openProduct(reg, true));
    for (int i = 0; i < 20; ++i)
        reg.writeInteger(QStringLiteral("Value%1").arg(i), i);
    // Only the finished file is left in the folder: no half-written copies beside it.
    const QStringList files = QDir(temp.root() + QLatin1Char('/') + kMaker).entryList(QDir::Files);
    EXPECT_EQ(files, QStringList{kProduct + QLatin1String(".conf")});
    QFile file(temp.productFile(kMaker, kProduct));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("Value19=dword:00000013"));
}

TEST(Registry, ComputerNameComesFromTheMachineKey)
{
    const QString path = QStringLiteral("System\\CurrentControlSet\\control\\ComputerName\\ComputerName");
    Registry reg(RootKey::LocalMachine);
    ASSERT_TRUE(reg.openKey(path, false));
    EXPECT_EQ(reg.readString(QStringLiteral("ComputerName")), QHostInfo::localHostName());
    EXPECT_EQ(reg.readString(QStringLiteral("Other")), QString());
    EXPECT_FALSE(reg.openKey(QStringLiteral("Deeper"), true));

    Registry anyCase(RootKey::LocalMachine);
    EXPECT_TRUE(anyCase.openKey(path.toUpper(), false));

    platform::setComputerNameOverride(QStringLiteral("WERKSTATT"));
    EXPECT_EQ(reg.readString(QStringLiteral("ComputerName")), QStringLiteral("WERKSTATT"));
    platform::setComputerNameOverride(std::nullopt);
    Registry missing(RootKey::LocalMachine);
    EXPECT_FALSE(missing.openKey(path, false));
    platform::clearComputerNameOverride();
}

TEST(Registry, ADamagedFileReadsEmptyAndIsWrittenAfresh)
{
    TempSettings temp;
    Registry reg;
    ASSERT_TRUE(openProduct(reg, true));
    {
        QFile file(temp.productFile(kMaker, kProduct));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("[General\nOwnName=\"unterminated\n\0\xff\xfe[[[=\n", 40));
    }
    EXPECT_EQ(reg.readInteger(QStringLiteral("OwnColor")), std::nullopt);
    reg.writeString(QStringLiteral("OwnName"), QStringLiteral("Anna"));
    reg.writeInteger(QStringLiteral("OwnColor"), 5);
    Registry again;
    ASSERT_TRUE(openProduct(again, false));
    EXPECT_EQ(again.readString(QStringLiteral("OwnName")), QStringLiteral("Anna"));
    EXPECT_EQ(again.readInteger(QStringLiteral("OwnColor")), 5);
}

TEST(Registry, ABatchReachesTheDiskWholeOrNotAtAll)
{
    TempSettings temp;
    {
        Registry reg;
        ASSERT_TRUE(openProduct(reg, true));
        reg.writeString(QStringLiteral("Name"), QStringLiteral("alt"));
        reg.writeInteger(QStringLiteral("Farbe"), 1);
    }
    const QString file = temp.productFile(kMaker, kProduct);
    QFile before(file);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray oldContents = before.readAll();
    before.close();

    // A batch that fails half way leaves the file as it was.
    {
        Registry reg;
        ASSERT_TRUE(openProduct(reg, false));
        reg.beginBatch();
        reg.writeString(QStringLiteral("Name"), QStringLiteral("neu"));
        EXPECT_EQ(errorText([&] { reg.writeString(QStringLiteral("a/b"), QStringLiteral("x")); }),
                  QStringLiteral("Konnte Daten für 'a/b' nicht setzen"));
        // Nothing is on disk before the commit, and the failed batch is dropped with the object.
        EXPECT_EQ(reg.readString(QStringLiteral("Name")), QStringLiteral("alt"));
    }
    QFile after(file);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), oldContents);

    // A committed batch brings every value.
    Registry reg;
    ASSERT_TRUE(openProduct(reg, false));
    reg.beginBatch();
    reg.writeString(QStringLiteral("Name"), QStringLiteral("neu"));
    reg.writeInteger(QStringLiteral("Farbe"), 2);
    reg.writeString(QStringLiteral("Pfad"), QStringLiteral("/skins/"));
    EXPECT_TRUE(reg.inBatch());
    reg.commitBatch();
    EXPECT_FALSE(reg.inBatch());
    Registry reader;
    ASSERT_TRUE(openProduct(reader, false));
    EXPECT_EQ(reader.readString(QStringLiteral("Name")), QStringLiteral("neu"));
    EXPECT_EQ(reader.readInteger(QStringLiteral("Farbe")), 2);
    EXPECT_EQ(reader.readString(QStringLiteral("Pfad")), QStringLiteral("/skins/"));
}
