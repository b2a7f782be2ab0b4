#include "app/ModeChoice.h"

#include "app/ChatLineEdit.h"
#include "app/WidgetLook.h"

#include <QComboBox>

#include <algorithm>

ModeChoice::ModeChoice(QComboBox *box, QLineEdit *message, QLineEdit *name, QObject *parent)
    : QObject(parent), m_box(box), m_message(message), m_name(name)
{
    box->setEditable(true);
    box->setLineEdit(new ChatLineEdit(box));
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems({QStringLiteral("röchelt:"), QStringLiteral("flüstert:"), QStringLiteral("sagt:"),
                   QStringLiteral("ruft:"), QStringLiteral("schreit:"), QStringLiteral("brüllt:"),
                   QStringLiteral("pöbelt:"), QStringLiteral("schwadroniert:"), QStringLiteral("(lachend):"),
                   QStringLiteral("(ironisch):"), QStringLiteral("(wütend):"),
                   QStringLiteral("(schadenfroh):"), QStringLiteral("lacht."), QStringLiteral("grinst."),
                   QStringLiteral("lächelt."), QStringLiteral("ist sauer."), QStringLiteral("denkt nach."),
                   QStringLiteral("findet das ... .")});
    box->setCurrentIndex(2);
    box->setMaxVisibleItems(box->count());
    connect(box, &QComboBox::editTextChanged, this, &ModeChoice::ComboBoxModeChange);
}

void ModeChoice::ComboBoxModeChange()
{
    const QString mode = m_box->currentText();
    if (mode.isEmpty())
        return;
    const QColor field = m_name->palette().color(QPalette::Base);
    const QColor text = m_name->palette().color(QPalette::Text);
    if (mode.endsWith(QLatin1Char('.'))) {
        // Each part darkens on its own instead of borrowing from its neighbour.
        const auto darker = [](int part) { return std::max(part - 0x66, 0); };
        m_message->setEnabled(false);
        widgetlook::setColors(m_message, QPalette::Base,
                              QColor(darker(field.red()), darker(field.green()), darker(field.blue())),
                              QPalette::Text, text);
    } else {
        m_message->setEnabled(true);
        widgetlook::setColors(m_message, QPalette::Base, field, QPalette::Text, text);
    }
}
