#include "lcd/InfoQ.h"

#include "assets/StandardLook.h"
#include "controls/AccessibleControls.h"
#include "controls/UrlLblU.h"
#include "lcd/LCDScreen.h"
#include "pictures/Pictures.h"
#include "platform/gui/Fonts.h"

#include "Version.h"

#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>

namespace {

void setColor(QWidget *widget, QPalette::ColorRole role, const QColor &color)
{
    QPalette palette = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, role, color);
    widget->setPalette(palette);
}

} // namespace

TFormInfo::TFormInfo(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), ImageMainInfo(new QLabel(this)),
      BevelClose(new QFrame(this)), LEDInfo(new TLCDScreen(this)),
      LabelClose(new QLabel(QStringLiteral("Genug Info!"), this)), UrlLabelFWS(new TUrlLabel(this)),
      LCDAnimator1(new TLCDAnimator(this))
{
    setObjectName(QStringLiteral("FormInfo"));
    setWindowTitle(QStringLiteral("Plauderdeck - Info"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(422, 274);
    setFont(platform::programFont());

    ImageMainInfo->setGeometry(rect());
    ImageMainInfo->setScaledContents(true);
    ImageMainInfo->setPixmap(QPixmap::fromImage(platform::loadPicture(StandardLook::InfoBackground)));

    BevelClose->setGeometry(72, 245, 58, 15);
    BevelClose->setFrameShape(QFrame::Panel);
    BevelClose->setFrameShadow(QFrame::Raised);

    LCDAnimator1->setCode({QByteArrayLiteral("[VertScroll(-1); ]")});

    LEDInfo->move(21, 16);
    LEDInfo->setAnimationDelay(1125);
    LEDInfo->setAnimationRepeating(true);
    LEDInfo->setBorderColor(QColor(128, 128, 128));
    LEDInfo->setBorderStyle(TLCDBorder::bsSingle);
    LEDInfo->setColor(Qt::black);
    LEDInfo->setDotMatrixBorders(TDotMatrixBorder::mbBottom | TDotMatrixBorder::mbLeft |
                                 TDotMatrixBorder::mbTop);
    LEDInfo->setHorzScrollMode(THorzScrollMode::smDependant);
    LEDInfo->setPixelSize(TPixelSize::pix1x1);
    LEDInfo->setPixelShape(TPixelShape::psShaped);
    LEDInfo->setPixelOff(QColor(96, 128, 0));
    LEDInfo->setPixelOn(QColor(192, 255, 0));
    LEDInfo->setNoOfLines(12);
    LEDInfo->setNoOfChars(31);
    LEDInfo->setLines(infoLines());
    LEDInfo->setLCDAnimator(LCDAnimator1);

    LabelClose->setGeometry(73, 246, 56, 13);
    LabelClose->setAlignment(Qt::AlignCenter);
    LabelClose->setAutoFillBackground(true);
    // The installed stand-in for the window font may run wider than the label: shrink it
    // until the whole caption shows.
    QFont closeFont = platform::programFont();
    while (closeFont.pixelSize() > 8 &&
           QFontMetrics(closeFont).horizontalAdvance(LabelClose->text()) > LabelClose->width() - 2)
        closeFont.setPixelSize(closeFont.pixelSize() - 1);
    LabelClose->setFont(closeFont);
    setColor(LabelClose, QPalette::Window, QColor(192, 255, 0));
    setColor(LabelClose, QPalette::WindowText, QColor(0, 128, 0));
    LabelClose->installEventFilter(this);

    UrlLabelFWS->setText(QStringLiteral("www.fernwald.example.org"));
    UrlLabelFWS->setGoURL(QStringLiteral("https://www.fernwald.example.org/"));
    UrlLabelFWS->setStatusTip(QStringLiteral("Fernwald Softwerkbau - Website"));
    UrlLabelFWS->setFontDownColor(QColor(0, 0, 128));
    QFont linkFont = platform::programFont();
    linkFont.setBold(true);
    linkFont.setUnderline(true);
    UrlLabelFWS->setFont(linkFont);
    UrlLabelFWS->setFontColor(QColor(0, 255, 0));
    UrlLabelFWS->move(208, 245);
    UrlLabelFWS->adjustSize();

    // What a screen reader calls the pictures; the close label and the link by their texts.
    controls::describeControl(ImageMainInfo, QStringLiteral("Hintergrund"));
    controls::describeControl(LEDInfo, QStringLiteral("Info-Anzeige"));
    controls::describeControl(UrlLabelFWS);
}

TFormInfo::~TFormInfo() = default;

void TFormInfo::execute(QWidget *parent)
{
    QPointer<TFormInfo> info = new TFormInfo(parent);
    if (parent)
        info->move(parent->window()->geometry().center() - info->rect().center());
    info->LEDInfo->setAnimationEnabled(true);
    info->exec();
}

QList<QByteArray> TFormInfo::infoLines()
{
    // The panel's glyphs above code 127 are not those of the program's code page, so the texts
    // write umlauts as letter pairs.
    return {
        "",
        "",
        "",
        QByteArray("Plauderdeck ") + kProgramVersion,
        "",
        "von Jonas Kuehnhold",
        "(c) Fernwald Softwerkbau",
        "Alle Rechte vorbehalten.",
        "",
        "Dieses Programm ist zum",
        "chatten im LAN ueber TCP/IP",
        "gedacht.",
        "",
        "",
        "Eine kleine 'Anleitung':",
        "",
        "1. Einen Namen (Pseudonym)",
        "eingeben.",
        "",
        "2. Auf 'Farbe' klicken und",
        "sich eine Farbe aussuchen",
        "(nicht zu dunkel!)",
        "",
        "3. Auf 'Optionen' klicken und",
        "nacheinander die Computernamen",
        "oder IP-Adressen aller",
        "mitchattenden Computer zur",
        "Empfaenger-Liste hinzufuegen.",
        "",
        "4. Am Besten die CheckBox",
        "'alles in Registry speichern'",
        "abhaken.",
        "",
        "5. Auf 'OK' klicken und dann",
        "loschatten...",
        "",
        "",
        "Hinweise / Tips:",
        "-In dem Feld rechts neben dem",
        "Namen kann man auch eigene",
        "'Sprachweisen' eingeben. Auch",
        "Handlungen sind moeglich. Die",
        "sollten in der 3. Person",
        "geschrieben sein und muessen",
        "immer mit einem '.' aufhoeren.",
        "",
        "-Man muss nicht immer auf den",
        "'Senden'-Button klicken,",
        "sondern kann auch einfach",
        "nur [ENTER] druecken.",
        "",
        "",
        "Wer noch irgendwelche Fragen",
        "oder Anregungen hat, kann an",
        "info@fernwald.example.org",
        "mailen, ebenso, wer Bug's in",
        "dem Programm findet. Ende.",
        "Und nochmal von vorne :-)",
    };
}

void TFormInfo::LabelCloseClick()
{
    LEDInfo->setAnimationEnabled(false);
    close();
}

void TFormInfo::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        close();
        break;
    default:
        break;
    }
}

bool TFormInfo::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == LabelClose && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && LabelClose->rect().contains(mouse->position().toPoint())) {
            LabelCloseClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
