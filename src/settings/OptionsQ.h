#pragma once

#include "settings/SettingsStore.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class PeerOffer;
class TGradBtn;
class TStateButton;
namespace chat {
class ReceiverListModel;
}
namespace discovery {
class PeerDiscovery;
}
namespace skins {
struct SkinLook;
}

// The options window: the receiver list with its check marks, the save switch, the button that
// deletes the stored settings, the skin button and OK. Created hidden at start, it lives until
// the program ends and is shown modally by the chat window. It is borderless, so the user
// cannot move it; Escape or the window manager's close leave it without running OK.
//
// Every change to the list takes effect at once; the chat window's send button follows only
// when ActualizeSendButtonState() runs (OK, start-up, an accepted sender).
class TOptionForm : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TOptionForm)

public:
    explicit TOptionForm(QWidget *parent = nullptr);
    ~TOptionForm() override;

    // Handlers, bound to the components; the chat window also runs ButtonOKClick when
    // it closes.
    void ReceiveEditChange();
    void ButtonAddClick();
    void ButtonDelClick();
    void FormShow();
    void LabelSaveRegCheckClick();
    void ButtonDelOptionsClick();
    void ButtonSkinClick();
    void ButtonOKClick();

    // Decides whether the chat window's send button is usable: exactly when a receiver is
    // checked. The chat window follows sendButtonStateChanged(), enabling the button with the
    // hint "Senden!" or disabling it with the hint that no receivers are given.
    void ActualizeSendButtonState();
    // The skin dialog, shown modally by the skin button; it is created after this window.
    void setSkinDialog(QDialog *dialog);
    // Takes the parts of a skin's look that belong to this window: its background, the OK
    // button's bitmaps, the colours of its fields, its text and its background, the skin
    // button's colours and the skin's name on that button.
    void applySkin(const skins::SkinLook &look);
    // Fills in the chat window's part of what is saved: own name, own colour, skin folder.
    void setSessionValues(std::function<void(settings::StoredSettings &)> fill);
    // The search for other copies that the receiver field and list offer (not owned); null
    // when there is none.
    void setPeerDiscovery(discovery::PeerDiscovery *discovery);

    // The receiver list this window shows and edits; the chat sends to its checked entries.
    chat::ReceiverListModel *receiverModel() const { return m_receivers; }
    // The receiver list as entries, in list order.
    QList<settings::ReceiverEntry> receivers() const;
    void setReceivers(const QList<settings::ReceiverEntry> &receivers);
    // Whether an entry equals name without regard to letter case (locale-aware).
    bool hasReceiver(const QString &name) const;
    // A sender the user accepted: appended checked at the end, after which it can be deleted
    // and the send button is updated. Duplicates are the caller's to avoid (hasReceiver()).
    void appendReceiver(const QString &name);

    // The store operations with what they do to this window. LoadSettings replaces the
    // receiver list, checks the save switch and enables ButtonDelOptions when the key exists,
    // and hands the rest (own name, colour, skin folder) back to the chat window to apply.
    // SaveSettings writes the list with the chat window's values (setSessionValues) and enables
    // ButtonDelOptions; DeleteSettings removes the key, unchecks the switch and disables
    // ButtonDelOptions. Nothing in memory changes on a save or delete.
    std::optional<settings::StoredSettings> LoadSettings();
    void SaveSettings();
    void DeleteSettings();

    // Text of the duplicate message for a name that is already in the list.
    static QString duplicateMessage(const QString &name);

Q_SIGNALS:
    // Raised by every ActualizeSendButtonState(), also when nothing changed.
    void sendButtonStateChanged(bool anyReceiverChecked);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool ReceiveEditKeyPress(int key);

    // Components in stacking order, bottom first, each with its name as its object name.
    QLabel *const ImageMainOption;
    QLabel *const LabelSaveRegCheck;
    TStateButton *const ButtonOK;
    QGroupBox *const GroupBox1;
    QLineEdit *const ReceiveEdit;
    QPushButton *const ButtonAdd;
    QPushButton *const ButtonDel;
    QListView *const ReceiverList;
    QCheckBox *const SaveRegCheck;
    QPushButton *const ButtonDelOptions;
    TGradBtn *const ButtonSkin;

    chat::ReceiverListModel *const m_receivers;
    PeerOffer *const m_peerOffer;
    QPointer<QDialog> m_skinDialog;
    std::function<void(settings::StoredSettings &)> m_sessionValues;
};
