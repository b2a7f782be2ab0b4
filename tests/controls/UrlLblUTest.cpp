#include "controls/UrlLblU.h"
#include "platform/gui/Shell.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QMenu>
#include <QTest>
#include <QUrl>

namespace {

// Stands in for the browser: records the addresses handed to the desktop.
class Browser : public QObject
{
    Q_OBJECT
public:
    Browser()
    {
        for (const char *scheme : {"http", "https", "file", "mailto", "javascript"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~Browser() override
    {
        for (const char *scheme : {"http", "https", "file", "mailto", "javascript"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    Q_INVOKABLE void open(const QUrl &url) { opened << url.toString(); }
    QStringList opened;
};

TEST(UrlLabel, PressOpensTheTargetAndColoursTheTextWhileHeld)
{
    Browser browser;
    TUrlLabel label;
    label.setGoURL(QStringLiteral("https://www.fernwald.example.org/"));
    label.setFontColor(QColor(0, 255, 0));
    label.setFontDownColor(QColor(0, 0, 128));
    label.show();

    QTest::mousePress(&label, Qt::LeftButton);
    EXPECT_EQ(browser.opened, QStringList{QStringLiteral("https://www.fernwald.example.org/")});
    EXPECT_EQ(label.fontColor(), QColor(0, 0, 128));
    QTest::mouseRelease(&label, Qt::LeftButton);
    EXPECT_EQ(label.fontColor(), QColor(0, 255, 0));

    QTest::mouseClick(&label, Qt::RightButton);
    EXPECT_EQ(browser.opened.size(), 1);
}

TEST(UrlLabel, OnlyWebAddressesOpen)
{
    // (GoURL, caption, what the browser gets)
    const std::tuple<QString, QString, QString> cases[] = {
        {QString(), QStringLiteral("http://caption.example.org/"),
         QStringLiteral("http://caption.example.org/")},
        {QStringLiteral(" \t"), QStringLiteral("www.example.org"), QStringLiteral("http://www.example.org")},
        {QString(), QString(), QString()},
        {QStringLiteral("file:///etc/passwd"), QString(), QString()},
        {QStringLiteral("javascript:alert(1)"), QString(), QString()},
        {QStringLiteral("mailto:info@fernwald.example.org"), QString(), QString()},
    };
    for (const auto &[url, caption, opened] : cases) {
        Browser browser;
        TUrlLabel label;
        label.setGoURL(url);
        label.setText(caption);
        label.setClick(false);
        QTest::mouseClick(&label, Qt::LeftButton);
        EXPECT_EQ(browser.opened, opened.isEmpty() ? QStringList() : QStringList{opened})
            << url.toStdString();
        EXPECT_EQ(label.cursor().shape(), Qt::ArrowCursor);
    }
}

TEST(UrlLabel, TheMenuCopiesTheAddress)
{
    TUrlLabel label;
    ASSERT_EQ(label.popupMenu()->actions().size(), 1);
    QAction *copy = label.popupMenu()->actions().first();
    EXPECT_EQ(copy->text(), QStringLiteral("&Copy"));

    label.setGoURL(QStringLiteral(" https://www.fernwald.example.org/ "));
    copy->trigger();
    EXPECT_EQ(platform::clipboardText(), QStringLiteral(" https://www.fernwald.example.org/ "));
    label.setGoURL(QString());
    label.setText(QStringLiteral("www.example.org"));
    copy->trigger();
    EXPECT_EQ(platform::clipboardText(), QStringLiteral("www.example.org"));
}

} // namespace

#include "UrlLblUTest.moc"
