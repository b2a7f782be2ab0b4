#include "platform/gui/Dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

namespace {

Dialogs *g_dialogs = nullptr;

QMessageBox::StandardButton plainBox(QMessageBox::Icon icon, DialogKind kind, const QString &text)
{
    QMessageBox box(icon, dialogCaption(kind), text, QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

QString dialogCaption(DialogKind kind)
{
    switch (kind) {
    case DialogKind::Warning:
        return QStringLiteral("Warnung");
    case DialogKind::Information:
        return QStringLiteral("Information");
    case DialogKind::Confirmation:
        return QStringLiteral("Bestätigung");
    case DialogKind::Sorry:
        return QStringLiteral("Sorry");
    case DialogKind::Error:
        return QStringLiteral("Plauderdeck");
    case DialogKind::Color:
        return QStringLiteral("Farbe");
    }
    return {};
}

void QtDialogs::warning(const QString &text)
{
    plainBox(QMessageBox::Warning, DialogKind::Warning, text);
}

void QtDialogs::information(const QString &text)
{
    plainBox(QMessageBox::Information, DialogKind::Information, text);
}

bool QtDialogs::confirmation(const QString &text)
{
    QMessageBox box(QMessageBox::Question, dialogCaption(DialogKind::Confirmation), text,
                    QMessageBox::NoButton, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    QPushButton *yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void QtDialogs::sorry(const QString &text)
{
    plainBox(QMessageBox::Warning, DialogKind::Sorry, text);
}

void QtDialogs::error(const QString &text)
{
    plainBox(QMessageBox::Critical, DialogKind::Error, text);
}

std::optional<QColor> QtDialogs::chooseColor(const QColor &preset)
{
    const QColor chosen =
        QColorDialog::getColor(preset, QApplication::activeWindow(), dialogCaption(DialogKind::Color));
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

Dialogs &dialogs()
{
    static QtDialogs onScreen;
    return g_dialogs ? *g_dialogs : onScreen;
}

void setDialogs(Dialogs *dialogs)
{
    g_dialogs = dialogs;
}

} // namespace platform
