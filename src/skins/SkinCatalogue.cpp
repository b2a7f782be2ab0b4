#include "skins/SkinCatalogue.h"

#include "platform/core/RegularFile.h"
#include "skins/SkinIni.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <map>

namespace skins {

QStringList skinPlaces()
{
    return {
        QCoreApplication::applicationDirPath() + QStringLiteral("/Skins"),
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
            QStringLiteral("/Fernwald Softwerkbau/Plauderdeck/Skins"),
        QStringLiteral(PD_INSTALLED_SKINS_DIR),
    };
}

QStringList discoverSkins(const QStringList &places)
{
    std::map<QString, QString> byName; // case-folded folder name -> path
    for (const QString &place : places) {
        if (place.isEmpty())
            continue;
        const QDir dir(place);
        // Without QDir::Hidden and QDir::System, hidden folders and special files stay out.
        for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString path = slashSep(dir.path(), name) + QLatin1Char('/');
            if (!platform::isRegularFile(findNoCase(path, QStringLiteral("Skin.ini"))))
                continue;
            byName.try_emplace(name.toCaseFolded(), path);
        }
    }
    QStringList paths;
    for (const auto &entry : byName)
        paths << entry.second;
    std::stable_sort(paths.begin(), paths.end(), [](const QString &a, const QString &b) {
        const int folded = skinFolderName(a).compare(skinFolderName(b), Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : skinFolderName(a) < skinFolderName(b);
    });
    return paths;
}

QString skinFolderName(const QString &path)
{
    QString trimmed = path;
    while (trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace skins
