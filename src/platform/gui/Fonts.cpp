#include "platform/gui/Fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QStringList>

namespace platform {

namespace {

// The fonts the program names, each with the installed families that stand in for it, best
// first. The scripts install the DejaVu fonts; Liberation is taken when present.
struct Substitution
{
    const char *name;
    QStringList families;
};

const std::initializer_list<Substitution> &substitutions()
{
    static const std::initializer_list<Substitution> list{
        {"MS Sans Serif", {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")}},
        {"MS Shell Dlg", {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")}},
        {"MS Shell Dlg 2", {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")}},
        {"Arial", {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")}},
        {"Tahoma", {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")}},
        {"Verdana", {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")}},
        {"Times New Roman", {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")}},
        {"Courier New", {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")}},
    };
    return list;
}

} // namespace

void installProgramFonts()
{
    const QStringList installed = QFontDatabase::families();
    for (const Substitution &substitution : substitutions()) {
        const QString name = QString::fromLatin1(substitution.name);
        QStringList present;
        for (const QString &family : substitution.families) {
            if (installed.contains(family))
                present.append(family);
        }
        QFont::removeSubstitutions(name);
        if (!present.isEmpty())
            QFont::insertSubstitutions(name, present);
    }
    QApplication::setFont(programFont());
}

QFont programFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    return font;
}

} // namespace platform
