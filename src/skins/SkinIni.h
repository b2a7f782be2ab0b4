#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QStringList>

// Reading a skin folder's `Skin.ini` and the files it names.
//
// The file is Windows-1252 text; lines end with CR, LF or CR LF. A line Key=Value sets Key (the
// text before the first "=", nothing trimmed); lines without "=" (section headers among them)
// mean nothing, so a key may stand under any section, and the first line setting a key wins,
// the key compared without regard to letter case. A key no line sets, or sets to nothing, is
// missing.
namespace skins {

// Larger files are no skin description; reading them whole would only waste memory.
inline constexpr qint64 kMaxSkinIniSize = 1024 * 1024;

class SkinIni
{
public:
    SkinIni() = default;

    // Throws platform::Exception "Datei %s kann nicht geöffnet werden" for a file that cannot be
    // read, is no regular file (a pipe, a device, a folder) or is too large to be a skin
    // description.
    static SkinIni load(const QString &fileName);
    static SkinIni parse(const QByteArray &bytes);

    QString value(const QString &key) const;
    const QStringList &lines() const { return m_lines; }

private:
    QStringList m_lines;
};

// A colour written RRRGGGBBB: three groups of three decimal digits (no blanks, no signs), red,
// green, blue; only their low eight bits count and characters after the ninth are ignored. The groups are read
// blue first, so in a short value the blue group fails first. Throws platform::Exception
// "'%s' ist kein gültiger Integerwert" with the offending group (empty when missing).
QColor parseSkinColor(const QString &value);

// The info box of the skin dialog: a tab and the name, "    von: " and the author, an empty line,
// then Info1, Info2, ... up to the first missing one.
QStringList infoLines(const SkinIni &ini);

// Dir and Name with exactly one '/' between them.
QString slashSep(const QString &dir, const QString &name);

// A file named inside a skin folder, found the way a skin made on a system that ignores letter
// case expects: each element of `relative` (a backslash counts as '/') matches an entry of that
// letter case or, failing that, one in other letter case. Returns the path found, or folder +
// relative as written when nothing matches.
QString findNoCase(const QString &folder, const QString &relative);

} // namespace skins
