#include "skins/SkinIni.h"
#include "platform/core/Error.h"
#include "skins/SkinCatalogue.h"
#include "support/SpecialFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

void writeFile(const QString &fileName, const QByteArray &bytes = "Name=x\r\n")
{
    QDir().mkpath(QFileInfo(fileName).path());
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QString errorOf(const QString &value)
{
    try {
        skins::parseSkinColor(value);
    } catch (const platform::Exception &error) {
        return error.message();
    }
    return {};
}

} // namespace

TEST(SkinIni, FirstLineOfAKeyWinsWhateverTheSectionAndLetterCase)
{
    const skins::SkinIni ini = skins::SkinIni::parse("[Farben]\r\nname=Erster\nAuthor= mit Blank \r"
                                                     "[Skin]\r\nNAME=Zweiter\n"
                                                     "Info1 =kein Info1\nInfo1=a=b\n\xe4=\xfc\nLeer=\n");
    EXPECT_EQ(ini.value(QStringLiteral("Name")), QStringLiteral("Erster"));
    EXPECT_EQ(ini.value(QStringLiteral("Author")), QStringLiteral(" mit Blank "));
    EXPECT_EQ(ini.value(QStringLiteral("Info1")), QStringLiteral("a=b"));
    EXPECT_EQ(ini.value(QStringLiteral("ä")), QStringLiteral("ü")); // Windows-1252
    EXPECT_EQ(ini.value(QStringLiteral("Leer")), QString());
    EXPECT_EQ(ini.value(QStringLiteral("[Skin]")), QString());
}

TEST(SkinIni, ColoursUseTheLowEightBitsAndNameTheBadGroupBlueFirst)
{
    struct Case
    {
        const char *value;
        QColor color;
        const char *error;
    };
    const Case cases[] = {
        {"255128000", {255, 128, 0}, ""},
        {"300000256", {44, 0, 0}, ""},
        {"0100200301234", {10, 20, 30}, ""}, // after the ninth character nothing counts
        {"0010020", {1, 2, 0}, ""},          // a short blue group is still a number
        {"123456", {}, "'' ist kein gültiger Integerwert"},
        {"aaabbbccc", {}, "'ccc' ist kein gültiger Integerwert"},
        {"aaabbb000", {}, "'bbb' ist kein gültiger Integerwert"},
        {"12 045678", {}, "'12 ' ist kein gültiger Integerwert"},
        {"255 12000", {}, "' 12' ist kein gültiger Integerwert"},
        {"0010020 ", {}, "'0 ' ist kein gültiger Integerwert"},
        {"255-12000", {}, "'-12' ist kein gültiger Integerwert"},
        {"+12000000", {}, "'+12' ist kein gültiger Integerwert"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        const QString value = QString::fromLatin1(c.value);
        EXPECT_EQ(errorOf(value), QString::fromUtf8(c.error));
        if (!*c.error) {
            EXPECT_EQ(skins::parseSkinColor(value), c.color);
        }
    }
}

TEST(SkinIni, InfoLinesStopAtTheFirstGapAndKeepAnEmptyAuthor)
{
    const skins::SkinIni ini = skins::SkinIni::parse("Name=Nacht\nInfo1=eins\nInfo3=drei\n");
    EXPECT_EQ(skins::infoLines(ini), (QStringList{QStringLiteral("\tNacht"), QStringLiteral("    von: "),
                                                  QString(), QStringLiteral("eins")}));
}

TEST(SkinIni, FilesAreFoundInOtherLetterCaseAndBackslashesSeparate)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/Skin/");
    writeFile(folder + QStringLiteral("Bilder/Haupt.BMP"));
    EXPECT_EQ(skins::findNoCase(folder, QStringLiteral("bilder\\haupt.bmp")),
              folder + QStringLiteral("Bilder/Haupt.BMP"));
    EXPECT_EQ(skins::findNoCase(folder, QStringLiteral("fehlt.bmp")), folder + QStringLiteral("fehlt.bmp"));
}

TEST(SkinIni, UnreadableFilesNameThemselves)
{
    QTemporaryDir dir;
    const QString missing = dir.path() + QStringLiteral("/Skin.ini");
    EXPECT_THROW(
        {
            try {
                skins::SkinIni::load(missing);
            } catch (const platform::Exception &error) {
                EXPECT_EQ(error.message(),
                          QStringLiteral("Datei %1 kann nicht geöffnet werden").arg(missing));
                throw;
            }
        },
        platform::Exception);
    writeFile(missing, QByteArray(skins::kMaxSkinIniSize + 1, 'x'));
    EXPECT_THROW(skins::SkinIni::load(missing), platform::Exception);
    const QString pipe = dir.path() + QStringLiteral("/Rohr.ini");
    ASSERT_TRUE(makePipe(pipe));
    EXPECT_THROW(skins::SkinIni::load(pipe), platform::Exception);
}

TEST(SkinCatalogue, UnionOfThePlacesSortedByNameEarlierPlacesHidingLaterOnes)
{
    QTemporaryDir dir;
    const QString a = dir.path() + QStringLiteral("/A");
    const QString b = dir.path() + QStringLiteral("/B");
    const QString c = dir.path() + QStringLiteral("/C");
    writeFile(a + QStringLiteral("/beta/Skin.ini"));
    writeFile(a + QStringLiteral("/Gamma/SKIN.INI"));
    writeFile(a + QStringLiteral("/.versteckt/Skin.ini"));
    writeFile(a + QStringLiteral("/ohne/Main.jpg"));
    writeFile(a + QStringLiteral("/Skin.ini"));
    writeFile(b + QStringLiteral("/Beta/Skin.ini"));
    writeFile(b + QStringLiteral("/alpha/Skin.ini"));
    writeFile(c + QStringLiteral("/delta/skin.ini"));
    QDir().mkpath(c + QStringLiteral("/rohr"));
    ASSERT_TRUE(makePipe(c + QStringLiteral("/rohr/Skin.ini")));
    QDir().mkpath(c + QStringLiteral("/ordner/Skin.ini"));
    const QStringList expected{b + QStringLiteral("/alpha/"), a + QStringLiteral("/beta/"),
                               c + QStringLiteral("/delta/"), a + QStringLiteral("/Gamma/")};
    EXPECT_EQ(skins::discoverSkins({a, b, dir.path() + QStringLiteral("/fehlt"), c}), expected);
}
