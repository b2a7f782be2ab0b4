#include "skins/SkinIni.h"

#include "platform/core/Error.h"
#include "platform/core/RegularFile.h"
#include "platform/core/Text.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace skins {
namespace {

QString cannotOpen(const QString &fileName)
{
    return QStringLiteral("Datei %1 kann nicht geöffnet werden").arg(fileName);
}

// Decimal digits only: a number converter would also take blanks around the digits and a sign,
// so "12 045678" would pass as red 12.
int groupValue(const QString &group)
{
    const bool digits = !group.isEmpty() && std::all_of(group.cbegin(), group.cend(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    if (!digits)
        throw platform::Exception(QStringLiteral("'%1' ist kein gültiger Integerwert").arg(group));
    return group.toInt() & 0xff;
}

} // namespace

SkinIni SkinIni::load(const QString &fileName)
{
    const platform::FileContent file = platform::readRegularFile(fileName, kMaxSkinIniSize);
    if (!file.ok())
        throw platform::Exception(cannotOpen(fileName));
    return parse(file.bytes);
}

SkinIni SkinIni::parse(const QByteArray &bytes)
{
    SkinIni ini;
    const QString text = platform::fromWindows1252(bytes);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text.at(end) != QLatin1Char('\r') && text.at(end) != QLatin1Char('\n'))
            ++end;
        ini.m_lines << text.mid(start, end - start);
        if (end + 1 < text.size() && text.at(end) == QLatin1Char('\r') &&
            text.at(end + 1) == QLatin1Char('\n'))
            ++end;
        start = end + 1;
    }
    return ini;
}

QString SkinIni::value(const QString &key) const
{
    for (const QString &line : m_lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals >= 0 && QStringView(line).left(equals).compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(equals + 1);
    }
    return {};
}

QColor parseSkinColor(const QString &value)
{
    const int blue = groupValue(value.mid(6, 3));
    const int green = groupValue(value.mid(3, 3));
    const int red = groupValue(value.mid(0, 3));
    return QColor(red, green, blue);
}

QStringList infoLines(const SkinIni &ini)
{
    QStringList lines{QLatin1Char('\t') + ini.value(QStringLiteral("Name")),
                      QStringLiteral("    von: ") + ini.value(QStringLiteral("Author")), QString()};
    for (int i = 1;; ++i) {
        const QString info = ini.value(QStringLiteral("Info%1").arg(i));
        if (info.isEmpty())
            break;
        lines << info;
    }
    return lines;
}

QString slashSep(const QString &dir, const QString &name)
{
    return dir.endsWith(QLatin1Char('/')) ? dir + name : dir + QLatin1Char('/') + name;
}

QString findNoCase(const QString &folder, const QString &relative)
{
    QString name = relative;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString asWritten = folder + name;
    if (QFileInfo::exists(asWritten) || name.isEmpty())
        return asWritten;
    QString found = folder;
    const QStringList parts = name.split(QLatin1Char('/'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString &part = parts.at(i);
        const QString exact = slashSep(found, part);
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..") ||
            QFileInfo::exists(exact)) {
            found = exact;
            continue;
        }
        const QStringList entries =
            QDir(found).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        const auto match = std::find_if(entries.cbegin(), entries.cend(), [&](const QString &entry) {
            return entry.compare(part, Qt::CaseInsensitive) == 0;
        });
        if (match == entries.cend())
            return asWritten;
        found = slashSep(found, *match);
    }
    return found;
}

} // namespace skins
