#pragma once

#include <QString>
#include <QStringList>

// Finding the skins: every folder in a skins folder that holds a `Skin.ini` (in any letter
// case) is one skin, as long as that `Skin.ini` is a regular file: a pipe by that name would
// hang every start that tries to read it. Hidden folders and a `Skin.ini` lying in the skins
// folder itself are no skins.
namespace skins {

// Where skins live, searched in this order: the folder "Skins" beside the program, the user's
// own skins folder and the installed data folder.
QStringList skinPlaces();

// The skins of all places as folder paths ending with '/', sorted by folder name without regard
// to letter case, so the list is the same on every machine. A folder name found in an earlier
// place hides the same name (in any letter case) in a later one.
QStringList discoverSkins(const QStringList &places);

// The skin folder's name: the last element of its path.
QString skinFolderName(const QString &path);

} // namespace skins
