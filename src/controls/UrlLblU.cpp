#include "controls/UrlLblU.h"

#include "controls/AccessibleControls.h"
#include "platform/gui/Application.h"
#include "platform/gui/Shell.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QUrl>

#include <algorithm>

namespace {

bool isBlank(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 32; });
}

} // namespace

TUrlLabel::TUrlLabel(QWidget *parent) : QLabel(parent), m_popupMenu(new QMenu(this))
{
    controls::installAccessibleFactory();
    setText(QStringLiteral("www.fernwald.example.org"));
    setCursor(Qt::PointingHandCursor);
    setStatusTip(QStringLiteral("ACCESS TO INFORMATION"));
    // A link says where it leads before it is pressed, so its hint also shows beside it.
    platform::setShowHint(this, true);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setFontColor(QColor(0, 0, 255));
    connect(m_popupMenu->addAction(QStringLiteral("&Copy")), &QAction::triggered, this, &TUrlLabel::CopyLink);
}

TUrlLabel::~TUrlLabel() = default;

void TUrlLabel::setClick(bool click)
{
    m_click = click;
    setCursor(click ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

QColor TUrlLabel::fontColor() const
{
    return palette().color(QPalette::WindowText);
}

void TUrlLabel::setFontColor(const QColor &color)
{
    QPalette colors = palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        colors.setColor(group, QPalette::WindowText, color);
    setPalette(colors);
}

QString TUrlLabel::linkTarget() const
{
    return isBlank(m_goURL) ? text() : m_goURL;
}

bool TUrlLabel::isWebAddress(const QString &target)
{
    const QUrl url = QUrl::fromUserInput(target.trimmed());
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

void TUrlLabel::CopyLink()
{
    platform::setClipboardText(isBlank(m_goURL) ? text() : m_goURL);
}

void TUrlLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_savedFontColor = fontColor();
        setFontColor(m_fontDownColor);
        const QString target = linkTarget();
        if (!isBlank(target) && isWebAddress(target))
            platform::openUrl(target);
    }
    QLabel::mousePressEvent(event);
}

void TUrlLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_savedFontColor.isValid())
        setFontColor(m_savedFontColor);
    QLabel::mouseReleaseEvent(event);
}

void TUrlLabel::contextMenuEvent(QContextMenuEvent *event)
{
    m_popupMenu->popup(event->globalPos());
    event->accept();
}
