#include "discovery/PeerName.h"

namespace discovery {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kControlPictures = 0x2400;
constexpr char32_t kDelete = 0x7F;
constexpr char32_t kDeletePicture = 0x2421;

void append(QString &text, char32_t code)
{
    for (QChar unit : QChar::fromUcs4(code))
        text.append(unit);
}

} // namespace

QString visibleName(const QString &name)
{
    QString shown;
    shown.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar unit = name.at(i);
        char32_t code = unit.unicode();
        if (unit.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate())
            code = QChar::surrogateToUcs4(unit, name.at(++i));
        else if (unit.isSurrogate())
            code = kReplacement;

        switch (QChar::category(code)) {
        case QChar::Other_Format:
            break;
        case QChar::Other_Control:
            if (code < 0x20)
                append(shown, kControlPictures + code);
            else
                append(shown, code == kDelete ? kDeletePicture : kReplacement);
            break;
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            append(shown, kReplacement);
            break;
        default:
            append(shown, code);
        }
    }
    return shown;
}

} // namespace discovery
