#include "skins/SkinSelectQ.h"

#include "controls/AccessibleControls.h"
#include "controls/FixedRowDelegate.h"
#include "controls/GradBtn.h"
#include "controls/StateButton.h"
#include "pictures/Pictures.h"
#include "platform/core/Error.h"
#include "platform/core/RegularFile.h"
#include "platform/gui/Application.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Fonts.h"
#include "settings/OptionsQ.h"
#include "skins/SkinCatalogue.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>
#include <optional>

namespace {

void setRole(QWidget *widget, QPalette::ColorRole role, const QColor &color)
{
    if (!widget)
        return;
    QPalette palette = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, role, color);
    widget->setPalette(palette);
}

QString missingFileText(const QString &fileName, const char *neededBy)
{
    return QStringLiteral("Die Datei \"") + fileName + QStringLiteral("\" existiert nicht. Sie wird aber ") +
           QString::fromUtf8(neededBy) + QStringLiteral(" benötigt. Es wird jetzt das alte Bild benutzt.");
}

// Runs a handler bound to a control: an error ends it and shows in the error box.
template <typename Handler> auto reported(Handler handler)
{
    return [handler] {
        try {
            handler();
        } catch (...) {
            platform::showCurrentException();
        }
    };
}

} // namespace

TFormSkinSelect::TFormSkinSelect(const SkinTargets &targets, const QStringList &places, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      LabelSkins(new QLabel(QStringLiteral("verfügbare &Skins"), this)),
      LabelInfo(new QLabel(QStringLiteral("Info zum ausgewählten Skin"), this)),
      ListBoxSkins(new QListWidget(this)), ButtonOK(new QPushButton(QStringLiteral("OK"), this)),
      ButtonCancel(new QPushButton(QStringLiteral("Abbrechen"), this)),
      CheckBoxPreview(new QCheckBox(QStringLiteral("Sofort-Vorschau"), this)),
      MemoName(new QPlainTextEdit(this)), m_targets(targets)
{
    setObjectName(QStringLiteral("FormSkinSelect"));
    setWindowTitle(QStringLiteral("Skin auswählen"));
    setFont(platform::productFont());
    setFixedSize(329, 225);
    move(50, 169);

    LabelSkins->setObjectName(QStringLiteral("LabelSkins"));
    LabelSkins->move(16, 8);
    LabelSkins->setBuddy(ListBoxSkins);
    LabelInfo->setObjectName(QStringLiteral("LabelInfo"));
    LabelInfo->move(160, 8);

    ListBoxSkins->setObjectName(QStringLiteral("ListBoxSkins"));
    ListBoxSkins->setGeometry(8, 24, 121, 193);
    ListBoxSkins->setUniformItemSizes(true);
    ListBoxSkins->setItemDelegate(new FixedRowDelegate(ListBoxSkins));
    ListBoxSkins->setSelectionMode(QAbstractItemView::SingleSelection);

    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonOK->setGeometry(152, 200, 75, 25);
    // OK takes Enter wherever the focus is, except on a button: a focused button takes Enter
    // for itself, or Tab to "Abbrechen" and Enter would apply the selected skin.
    ButtonOK->setDefault(true);
    ButtonOK->setAutoDefault(true);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setGeometry(240, 200, 75, 25);
    ButtonCancel->setAutoDefault(true);

    CheckBoxPreview->setObjectName(QStringLiteral("CheckBoxPreview"));
    CheckBoxPreview->setGeometry(184, 176, 97, 17);
    // The installed stand-in for the dialog's font runs wider than the one the layout was made
    // for: the caption gets the room it needs, up to the dialog's edge.
    CheckBoxPreview->resize(std::clamp(CheckBoxPreview->sizeHint().width(), 97, width() - 184), 17);

    MemoName->setObjectName(QStringLiteral("MemoName"));
    MemoName->setGeometry(144, 24, 185, 145);
    MemoName->setReadOnly(true);
    MemoName->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoName->setTabChangesFocus(true);
    // The name line starts with a tab: a short indent, not a fifth of the box.
    MemoName->setTabStopDistance(4 * QFontMetrics(MemoName->font()).averageCharWidth());
    setRole(MemoName, QPalette::Base, palette().color(QPalette::Button));

    // The list and the info box by their labels; the buttons and the check box by their captions.
    controls::describeControl(ListBoxSkins, QStringLiteral("verfügbare Skins"));
    controls::describeControl(MemoName, LabelInfo->text());

    setTabOrder(ListBoxSkins, ButtonOK);
    setTabOrder(ButtonOK, ButtonCancel);
    setTabOrder(ButtonCancel, CheckBoxPreview);
    setTabOrder(CheckBoxPreview, MemoName);

    // A click runs the handler on every line, also the one already selected: with the preview
    // on, that is how a skin is applied again, after an error too. A click or a key that moves
    // the selection runs it through the selection change, once. (The current row changes before
    // a click has selected the line, too early to be told which skin was chosen.)
    connect(ListBoxSkins, &QListWidget::itemSelectionChanged, this,
            reported([this] { ListBoxSkinsClick(); }));
    ListBoxSkins->viewport()->installEventFilter(this);
    connect(ListBoxSkins, &QListWidget::clicked, this, [this](const QModelIndex &index) {
        if (index.row() == m_rowAtPress)
            reported([this] { ListBoxSkinsClick(); })();
    });
    connect(ButtonOK, &QPushButton::clicked, this, reported([this] { ButtonOKClick(); }));
    connect(ButtonCancel, &QPushButton::clicked, this, reported([this] { ButtonCancelClick(); }));

    FormCreate(places);
}

TFormSkinSelect::~TFormSkinSelect() = default;

void TFormSkinSelect::FormCreate(const QStringList &places)
{
    m_skinPaths = skins::discoverSkins(places);
    if (m_skinPaths.isEmpty()) {
        LabelSkins->setText(QStringLiteral("keine Skins verfügbar."));
        LabelSkins->adjustSize();
        return;
    }
    {
        const QSignalBlocker blocker(ListBoxSkins);
        for (const QString &path : std::as_const(m_skinPaths)) {
            // A folder that vanished since it was found is listed without a name; choosing it
            // reports the file.
            try {
                m_skinIniLines = skins::SkinIni::load(skins::findNoCase(path, QStringLiteral("Skin.ini")));
                ListBoxSkins->addItem(m_skinIniLines.value(QStringLiteral("Name")));
            } catch (const platform::Exception &) {
                ListBoxSkins->addItem(QString());
            }
        }
    }

    // The stored skin is applied with every message; the preview switch is back to what it was
    // afterwards even when that fails.
    const bool previewWas = CheckBoxPreview->isChecked();
    const auto restorePreview = qScopeGuard([&] { CheckBoxPreview->setChecked(previewWas); });
    CheckBoxPreview->setChecked(true);
    if (currentSkinPath().isEmpty()) {
        QString standard = skins::slashSep(places.value(0), QStringLiteral("Standard"));
        for (const QString &path : std::as_const(m_skinPaths)) {
            if (skins::skinFolderName(path).compare(QStringLiteral("Standard"), Qt::CaseInsensitive) == 0) {
                standard = path.chopped(1);
                break;
            }
        }
        setCurrentSkinPath(standard);
        CheckBoxPreview->setChecked(false);
    }
    const QString current = currentSkinPath();
    const auto stored = std::find_if(m_skinPaths.cbegin(), m_skinPaths.cend(), [&](const QString &path) {
        return path.compare(current, Qt::CaseInsensitive) == 0;
    });
    selectRow(stored == m_skinPaths.cend() ? -1 : int(stored - m_skinPaths.cbegin()));
    reported([this] { ListBoxSkinsClick(); })();
}

QString TFormSkinSelect::currentSkinPath() const
{
    return m_targets.MainWindow ? m_targets.MainWindow->property("CurrentSkinPath").toString() : QString();
}

void TFormSkinSelect::setCurrentSkinPath(const QString &path)
{
    if (m_targets.MainWindow)
        m_targets.MainWindow->setProperty("CurrentSkinPath", path);
}

void TFormSkinSelect::selectRow(int row)
{
    // Selecting from code is no user's choice: it must not run the click handler a second time.
    const QSignalBlocker blocker(ListBoxSkins);
    if (row < 0) {
        ListBoxSkins->setCurrentRow(-1);
        ListBoxSkins->clearSelection();
    } else {
        ListBoxSkins->setCurrentRow(row);
    }
}

void TFormSkinSelect::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

bool TFormSkinSelect::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListBoxSkins->viewport() && event->type() == QEvent::MouseButtonPress) {
        const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
        const QModelIndex index = ListBoxSkins->indexAt(at);
        const bool chosen = index.isValid() && index.row() == ListBoxSkins->currentRow() &&
                            ListBoxSkins->selectionModel()->isSelected(index);
        m_rowAtPress = chosen ? index.row() : -1;
    }
    return QDialog::eventFilter(watched, event);
}

void TFormSkinSelect::keyPressEvent(QKeyEvent *event)
{
    // Escape is the Cancel button; only the close box leaves without a handler.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        ButtonCancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormSkinSelect::FormShow()
{
    m_previousSkinPath = currentSkinPath();
}

void TFormSkinSelect::ListBoxSkinsClick()
{
    const int row = ListBoxSkins->currentRow();
    if (row < 0 || row >= m_skinPaths.size() || !ListBoxSkins->item(row)->isSelected())
        return;
    const QString path = m_skinPaths.at(row);
    m_skinIniLines = skins::SkinIni::load(skins::findNoCase(path, QStringLiteral("Skin.ini")));
    MemoName->setPlainText(skins::infoLines(m_skinIniLines).join(QLatin1Char('\n')));
    MemoName->moveCursor(QTextCursor::Start);
    MemoName->ensureCursorVisible();
    if (CheckBoxPreview->isChecked())
        ActivateSkin(path);
}

void TFormSkinSelect::ButtonOKClick()
{
    const int row = ListBoxSkins->currentRow();
    if (row >= 0 && row < m_skinPaths.size() && ListBoxSkins->item(row)->isSelected())
        ActivateSkin(m_skinPaths.at(row));
    accept();
}

void TFormSkinSelect::ButtonCancelClick()
{
    if (m_previousSkinPath != currentSkinPath())
        ActivateSkin(m_previousSkinPath);
    reject();
}

void TFormSkinSelect::ActivateSkin(const QString &Path)
{
    const QString p = Path.endsWith(QLatin1Char('/')) ? Path : Path + QLatin1Char('/');
    m_skinIniLines = skins::SkinIni::load(skins::findNoCase(p, QStringLiteral("Skin.ini")));

    LoadFormImage(m_targets.ImageMain, p + m_skinIniLines.value(QStringLiteral("Main")));
    TOptionForm *options = m_targets.OptionForm;
    LoadFormImage(options ? options->ImageMainOption : nullptr,
                  p + m_skinIniLines.value(QStringLiteral("MainOption")));

    LoadButtonImages(m_targets.SendButton, p + QStringLiteral("BtnSend"), true);
    LoadButtonImages(m_targets.BtnOptions, p + QStringLiteral("BtnOptions"), false);
    LoadButtonImages(options ? options->ButtonOK : nullptr, p + QStringLiteral("BtnOK"), false);
    LoadButtonImages(m_targets.ButtonMinimize, p + QStringLiteral("BtnMinimize"), false);
    LoadButtonImages(m_targets.ButtonClose, p + QStringLiteral("BtnClose"), false);

    applyColors();

    if (options)
        options->ButtonSkin->setText(QStringLiteral("Skin: ") + m_skinIniLines.value(QStringLiteral("Name")) +
                                     QStringLiteral("..."));
    setCurrentSkinPath(p);

    // The applied folder is selected, also when another skin carries the same name; its info
    // is shown without applying it again.
    const QString name = m_skinIniLines.value(QStringLiteral("Name"));
    int row = -1;
    for (int i = 0; i < m_skinPaths.size() && row < 0; ++i)
        if (m_skinPaths.at(i).compare(p, Qt::CaseInsensitive) == 0)
            row = i;
    for (int i = 0; i < ListBoxSkins->count() && row < 0; ++i)
        if (ListBoxSkins->item(i)->text().compare(name, Qt::CaseInsensitive) == 0)
            row = i;
    selectRow(row);
    const bool previewWas = CheckBoxPreview->isChecked();
    const auto restorePreview = qScopeGuard([&] { CheckBoxPreview->setChecked(previewWas); });
    CheckBoxPreview->setChecked(false);
    ListBoxSkinsClick();
}

void TFormSkinSelect::LoadFormImage(QLabel *Image, const QString &FileName)
{
    const QString file = skins::findNoCase(QString(), FileName);
    if (!platform::isRegularFile(file)) {
        platform::dialogs().warning(missingFileText(FileName, "für ein Fenster"));
        return;
    }
    const QImage picture = platform::loadPicture(file);
    if (Image)
        Image->setPixmap(QPixmap::fromImage(picture));
}

void TFormSkinSelect::LoadButtonImages(TStateButton *Button, const QString &BasePath, bool withDisabled)
{
    const auto load = [&](const char *suffix, void (TStateButton::*set)(const QImage &)) {
        const QString fileName = BasePath + QLatin1String(suffix);
        const QString file = skins::findNoCase(QString(), fileName);
        if (!platform::isRegularFile(file)) {
            platform::dialogs().warning(missingFileText(fileName, "für einen Button"));
            return;
        }
        const QImage bitmap = platform::loadBitmap(file);
        if (Button)
            (Button->*set)(bitmap);
    };
    load("-Up.bmp", &TStateButton::setBitmapUp);
    const QString over = skins::findNoCase(QString(), BasePath + QStringLiteral("-Over.bmp"));
    const QImage overBitmap = platform::isRegularFile(over) ? platform::loadBitmap(over) : QImage();
    if (Button)
        Button->setBitmapOver(overBitmap);
    load("-Down.bmp", &TStateButton::setBitmapDown);
    if (withDisabled)
        load("-Disabled.bmp", &TStateButton::setBitmapDisabled);
}

std::optional<QColor> TFormSkinSelect::GetColor(const QString &Key) const
{
    const QString value = m_skinIniLines.value(Key);
    if (value.isEmpty())
        return std::nullopt;
    return skins::parseSkinColor(value);
}

void TFormSkinSelect::applyColors()
{
    TOptionForm *options = m_targets.OptionForm;
    TGradBtn *skinButton = options ? options->ButtonSkin : nullptr;

    if (const auto color = GetColor(QStringLiteral("ControlColor"))) {
        setRole(m_targets.NameEdit, QPalette::Base, *color);
        setRole(m_targets.MessageEdit, QPalette::Base, *color);
        setRole(m_targets.ComboBoxMode, QPalette::Base, *color);
        setRole(m_targets.ComboBoxMode, QPalette::Button, *color);
        if (options) {
            setRole(options->ReceiverList, QPalette::Base, *color);
            setRole(options->ReceiveEdit, QPalette::Base, *color);
        }
        Q_EMIT controlColorApplied();
    }
    if (const auto color = GetColor(QStringLiteral("ControlFontColor"))) {
        setRole(m_targets.MainWindow, QPalette::WindowText, *color);
        for (QWidget *control :
             {static_cast<QWidget *>(m_targets.NameEdit), static_cast<QWidget *>(m_targets.MessageEdit),
              static_cast<QWidget *>(m_targets.ComboBoxMode), static_cast<QWidget *>(m_targets.MessageMemo)})
            setRole(control, QPalette::Text, *color);
        setRole(m_targets.ComboBoxMode, QPalette::ButtonText, *color);
        if (options) {
            setRole(options->ReceiveEdit, QPalette::Text, *color);
            setRole(options->ReceiverList, QPalette::Text, *color);
        }
    }
    if (const auto color = GetColor(QStringLiteral("SkinBtnColorOut")); color && skinButton)
        skinButton->setEndColor(*color);
    if (const auto color = GetColor(QStringLiteral("SkinBtnColorIn")); color && skinButton)
        skinButton->setBeginColor(*color);
    if (const auto color = GetColor(QStringLiteral("SkinBtnColorLight")); color && skinButton) {
        skinButton->setBtnHiliteClr(*color);
        skinButton->setTxtHiliteClr(*color);
    }
    if (const auto color = GetColor(QStringLiteral("SkinBtnColorShadow")); color && skinButton)
        skinButton->setBtnShadowClr(*color);
    if (const auto color = GetColor(QStringLiteral("SkinBtnColorFont")); color && skinButton)
        skinButton->setFontColor(*color);
    if (const auto color = GetColor(QStringLiteral("StatusFontColor")))
        setRole(m_targets.StatusLabel, QPalette::WindowText, *color);
    if (const auto color = GetColor(QStringLiteral("OptionWindowFontColor")); color && options)
        setRole(options, QPalette::WindowText, *color);
    if (const auto color = GetColor(QStringLiteral("MainWindowBackgroundColor")))
        setRole(m_targets.MainWindow, QPalette::Window, *color);
    if (const auto color = GetColor(QStringLiteral("OptionWindowBackgroundColor")); color && options)
        setRole(options, QPalette::Window, *color);
}
