#include "platform/gui/Dialogs.h"
#include "support/FakeDialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

using platform::DialogKind;

TEST(FakeDialogs, RecordsEveryBoxAndAnswersFromTheScript)
{
    FakeDialogs fake;
    fake.answerConfirmation(true);
    fake.answerColor(QColor(7, 200, 45));
    int seenWhileOpen = 0;
    fake.setWhileOpen([&](const FakeDialogs::Box &) { ++seenWhileOpen; });

    platform::Dialogs &boxes = platform::dialogs();
    boxes.warning(QStringLiteral("w"));
    EXPECT_TRUE(boxes.confirmation(QStringLiteral("q1")));
    EXPECT_FALSE(boxes.confirmation(QStringLiteral("q2"))); // unscripted: "Nein"
    boxes.sorry(QStringLiteral("Es gab Probleme."));
    boxes.information(QStringLiteral("i"));
    boxes.error(QStringLiteral("e"));
    EXPECT_EQ(boxes.chooseColor(Qt::red), QColor(7, 200, 45));
    EXPECT_EQ(boxes.chooseColor(Qt::red), std::nullopt); // unscripted: cancelled

    const QList<FakeDialogs::Box> expected{
        {DialogKind::Warning, QStringLiteral("Warnung"), QStringLiteral("w")},
        {DialogKind::Confirmation, QStringLiteral("Bestätigung"), QStringLiteral("q1")},
        {DialogKind::Confirmation, QStringLiteral("Bestätigung"), QStringLiteral("q2")},
        {DialogKind::Sorry, QStringLiteral("Sorry"), QStringLiteral("Es gab Probleme.")},
        {DialogKind::Information, QStringLiteral("Information"), QStringLiteral("i")},
        {DialogKind::Error, QStringLiteral("Plauderdeck"), QStringLiteral("e")},
        {DialogKind::Color, QStringLiteral("Farbe"), QStringLiteral("#ff0000")},
        {DialogKind::Color, QStringLiteral("Farbe"), QStringLiteral("#ff0000")},
    };
    EXPECT_EQ(fake.boxes(), expected);
    EXPECT_EQ(fake.boxesOf(DialogKind::Confirmation).size(), 2);
    EXPECT_EQ(seenWhileOpen, expected.size());
}

namespace {

struct SeenBox
{
    QString caption, text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
};

} // namespace

TEST(QtDialogs, ShowTheProgramsCaptionsButtonsAndPlainText)
{
    platform::QtDialogs boxes;
    auto check = [](auto show, const QString &press, const SeenBox &want) {
        SeenBox seen;
        QTimer::singleShot(0, qApp, [&seen, press] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen = {box->windowTitle(), box->text(), box->textFormat(), box->icon(), {}};
            QAbstractButton *target = nullptr;
            for (QAbstractButton *button : box->buttons()) {
                seen.buttons.append(button->text());
                if (button->text() == press)
                    target = button;
            }
            ASSERT_NE(target, nullptr);
            target->click();
        });
        show();
        EXPECT_EQ(seen.caption, want.caption);
        EXPECT_EQ(seen.text, want.text);
        EXPECT_EQ(seen.format, Qt::PlainText);
        EXPECT_EQ(seen.icon, want.icon);
        EXPECT_EQ(seen.buttons, want.buttons);
    };
    const QString markup = QStringLiteral("<b>fett</b> & \"zitiert\"");
    check([&] { boxes.warning(markup); }, QStringLiteral("OK"),
          {QStringLiteral("Warnung"), markup, Qt::PlainText, QMessageBox::Warning, {QStringLiteral("OK")}});
    check([&] { boxes.information(markup); }, QStringLiteral("OK"),
          {QStringLiteral("Information"),
           markup,
           Qt::PlainText,
           QMessageBox::Information,
           {QStringLiteral("OK")}});
    check([&] { boxes.sorry(QStringLiteral("Es gab Probleme.")); }, QStringLiteral("OK"),
          {QStringLiteral("Sorry"),
           QStringLiteral("Es gab Probleme."),
           Qt::PlainText,
           QMessageBox::Warning,
           {QStringLiteral("OK")}});
    check([&] { boxes.error(markup); }, QStringLiteral("OK"),
          {QStringLiteral("Plauderdeck"),
           markup,
           Qt::PlainText,
           QMessageBox::Critical,
           {QStringLiteral("OK")}});

    bool answer = true;
    const SeenBox question{QStringLiteral("Bestätigung"),
                           markup,
                           Qt::PlainText,
                           QMessageBox::Question,
                           {QStringLiteral("&Ja"), QStringLiteral("&Nein")}};
    check([&] { answer = boxes.confirmation(markup); }, QStringLiteral("&Nein"), question);
    EXPECT_FALSE(answer);
    check([&] { answer = boxes.confirmation(markup); }, QStringLiteral("&Ja"), question);
    EXPECT_TRUE(answer);
}
