#pragma once

#include "skins/SkinIni.h"
#include "skins/SkinLook.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <optional>

class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// The skin dialog "Skin auswählen": lists the skins of the catalogue by name, shows the name,
// author and info lines of the selected one, and applies a skin on OK, on a click in the list
// (also on the line already selected) or a selection by key while "Sofort-Vorschau" is checked,
// and on Cancel to bring back the skin that was active when the dialog was shown. The close box
// leaves whatever the preview applied.
//
// Created once, when the main window is first shown: it builds the catalogue then and applies
// the stored skin when the stored path names a listed folder (letter case ignored). With no
// stored path the default is the folder "Standard" of the catalogue, without the trailing '/'
// that catalogue paths carry, so it selects nothing until Cancel brings it back.
//
// ActivateSkin loads a skin one part after the other and hands each part to every window it
// restyles (their applySkin) as soon as it is loaded. It reports every missing picture or bitmap
// in a warning box, in that order, and goes on; a pipe, a device or a folder in a picture's place
// counts as missing. A Skin.ini that cannot be read, a picture that cannot be decoded and a colour
// that is no number end it with an error at that step: what was applied before stays, nothing
// after is touched and the current skin path keeps its value.
class TFormSkinSelect : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormSkinSelect)

public:
    // `mainWindow` keeps the applied skin's folder as its property "CurrentSkinPath"; `windows`
    // are the applySkin of the windows a skin restyles; `places`: the folders that hold skin
    // folders, searched in order (skins::skinPlaces()).
    TFormSkinSelect(QObject *mainWindow, QList<skins::ApplySkin> windows, const QStringList &places,
                    QWidget *parent = nullptr);
    ~TFormSkinSelect() override;

    QLabel *const LabelSkins;
    QLabel *const LabelInfo;
    QListWidget *const ListBoxSkins;
    QPushButton *const ButtonOK;
    QPushButton *const ButtonCancel;
    QCheckBox *const CheckBoxPreview;
    QPlainTextEdit *const MemoName;

    // Handlers; each throws platform::Exception for the errors above.
    void FormShow();
    void ListBoxSkinsClick();
    void ButtonOKClick();
    void ButtonCancelClick();

    void ActivateSkin(const QString &Path);
    // Load one picture or one button's bitmaps into that part of the look and hand it on.
    void LoadFormImage(std::optional<QImage> skins::SkinLook::*Image, const QString &FileName);
    void LoadButtonImages(skins::SkinLook::Button skins::SkinLook::*Button, const QString &BasePath,
                          bool withDisabled);
    // The colour of Key in the loaded Skin.ini; nothing when the key is missing.
    std::optional<QColor> GetColor(const QString &Key) const;

    const QStringList &skinPaths() const { return m_skinPaths; }
    const skins::SkinIni &skinIniLines() const { return m_skinIniLines; }
    QString previousSkinPath() const { return m_previousSkinPath; }
    QString currentSkinPath() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FormCreate(const QStringList &places);
    void setCurrentSkinPath(const QString &path);
    void selectRow(int row);
    void applyColors();
    void applyPart(const skins::SkinLook &part);

    QPointer<QObject> m_mainWindow;
    QList<skins::ApplySkin> m_windows;
    QStringList m_skinPaths;
    skins::SkinIni m_skinIniLines;
    QString m_previousSkinPath;
    // The line that was already selected when the mouse was pressed on it, or -1: a click there
    // changes no selection, so the click itself runs the handler.
    int m_rowAtPress = -1;
};
