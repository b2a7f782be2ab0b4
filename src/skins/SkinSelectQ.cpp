#include "skins/SkinSelectQ.h"

#include "controls/AccessibleControls.h"
#include "controls/FixedRowDelegate.h"
#include "pictures/Pictures.h"
#include "platform/core/Error.h"
#include "platform/core/RegularFile.h"
#include "platform/gui/Application.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Fonts.h"
#include "skins/SkinCatalogue.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTextCursor>

#include <algorithm>
#include <optional>

namespace {

using skins::SkinLook;

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

TFormSkinSelect::TFormSkinSelect(QObject *mainWindow, QList<skins::ApplySkin> windows,
                                 const QStringList &places, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      LabelSkins(new QLabel(QStringLiteral("verfügbare &Skins"), this)),
      LabelInfo(new QLabel(QStringLiteral("Info zum ausgewählten Skin"), this)),
      ListBoxSkins(new QListWidget(this)), ButtonOK(new QPushButton(QStringLiteral("OK"), this)),
      ButtonCancel(new QPushButton(QStringLiteral("Abbrechen"), this)),
      CheckBoxPreview(new QCheckBox(QStringLiteral("Sofort-Vorschau"), this)),
      MemoName(new QPlainTextEdit(this)), m_mainWindow(mainWindow), m_windows(std::move(windows))
{
    setObjectName(QStringLiteral("FormSkinSelect"));
    setWindowTitle(QStringLiteral("Skin auswählen"));
    setFont(platform::programFont());
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
    skins::setColorRole(MemoName, QPalette::Base, palette().color(QPalette::Button));

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
    return m_mainWindow ? m_mainWindow->property("CurrentSkinPath").toString() : QString();
}

void TFormSkinSelect::setCurrentSkinPath(const QString &path)
{
    if (m_mainWindow)
        m_mainWindow->setProperty("CurrentSkinPath", path);
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

    LoadFormImage(&SkinLook::Main, p + m_skinIniLines.value(QStringLiteral("Main")));
    LoadFormImage(&SkinLook::MainOption, p + m_skinIniLines.value(QStringLiteral("MainOption")));

    LoadButtonImages(&SkinLook::BtnSend, p + QStringLiteral("BtnSend"), true);
    LoadButtonImages(&SkinLook::BtnOptions, p + QStringLiteral("BtnOptions"), false);
    LoadButtonImages(&SkinLook::BtnOK, p + QStringLiteral("BtnOK"), false);
    LoadButtonImages(&SkinLook::BtnMinimize, p + QStringLiteral("BtnMinimize"), false);
    LoadButtonImages(&SkinLook::BtnClose, p + QStringLiteral("BtnClose"), false);

    applyColors();

    const QString name = m_skinIniLines.value(QStringLiteral("Name"));
    SkinLook named;
    named.Name = name;
    applyPart(named);
    setCurrentSkinPath(p);

    // The applied folder is selected, also when another skin carries the same name; its info
    // is shown without applying it again.
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

void TFormSkinSelect::applyPart(const SkinLook &part)
{
    for (const skins::ApplySkin &applySkin : std::as_const(m_windows))
        applySkin(part);
}

void TFormSkinSelect::LoadFormImage(std::optional<QImage> SkinLook::*Image, const QString &FileName)
{
    const QString file = skins::findNoCase(QString(), FileName);
    if (!platform::isRegularFile(file)) {
        platform::dialogs().warning(missingFileText(FileName, "für ein Fenster"));
        return;
    }
    SkinLook part;
    part.*Image = platform::loadPicture(file);
    applyPart(part);
}

void TFormSkinSelect::LoadButtonImages(SkinLook::Button SkinLook::*Button, const QString &BasePath,
                                       bool withDisabled)
{
    const auto apply = [&](std::optional<QImage> SkinLook::Button::*state, const QImage &bitmap) {
        SkinLook part;
        (part.*Button).*state = bitmap;
        applyPart(part);
    };
    const auto load = [&](const char *suffix, std::optional<QImage> SkinLook::Button::*state) {
        const QString fileName = BasePath + QLatin1String(suffix);
        const QString file = skins::findNoCase(QString(), fileName);
        if (!platform::isRegularFile(file)) {
            platform::dialogs().warning(missingFileText(fileName, "für einen Button"));
            return;
        }
        apply(state, platform::loadBitmap(file));
    };
    load("-Up.bmp", &SkinLook::Button::Up);
    // Over is optional: without its file the button loses the over bitmap it had.
    const QString over = skins::findNoCase(QString(), BasePath + QStringLiteral("-Over.bmp"));
    apply(&SkinLook::Button::Over, platform::isRegularFile(over) ? platform::loadBitmap(over) : QImage());
    load("-Down.bmp", &SkinLook::Button::Down);
    if (withDisabled)
        load("-Disabled.bmp", &SkinLook::Button::Disabled);
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
    const struct
    {
        const char *key;
        std::optional<QColor> SkinLook::*color;
    } colors[] = {
        {"ControlColor", &SkinLook::ControlColor},
        {"ControlFontColor", &SkinLook::ControlFontColor},
        {"SkinBtnColorOut", &SkinLook::SkinBtnColorOut},
        {"SkinBtnColorIn", &SkinLook::SkinBtnColorIn},
        {"SkinBtnColorLight", &SkinLook::SkinBtnColorLight},
        {"SkinBtnColorShadow", &SkinLook::SkinBtnColorShadow},
        {"SkinBtnColorFont", &SkinLook::SkinBtnColorFont},
        {"StatusFontColor", &SkinLook::StatusFontColor},
        {"OptionWindowFontColor", &SkinLook::OptionWindowFontColor},
        {"MainWindowBackgroundColor", &SkinLook::MainWindowBackgroundColor},
        {"OptionWindowBackgroundColor", &SkinLook::OptionWindowBackgroundColor},
    };
    for (const auto &entry : colors) {
        if (const auto color = GetColor(QLatin1String(entry.key))) {
            SkinLook part;
            part.*entry.color = color;
            applyPart(part);
        }
    }
}
