// A skin folder is outside input: its Skin.ini may be anything. Every input is read as a Skin.ini
// and then applied as the only file of a skin folder to the options window and a stand-in of the
// main window. Reading and
// activation may refuse it with the program's error, never crash, hang or leave a colour that the
// file did not name. The warning boxes for the missing pictures go nowhere.
#include "SilentDialogs.h"
#include "platform/core/Error.h"
#include "platform/gui/Dialogs.h"
#include "settings/OptionsQ.h"
#include "skins/SkinIni.h"
#include "skins/SkinSelectQ.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

struct World
{
    World()
    {
        skinFolder = dir.path() + QStringLiteral("/Skins/Fuzz/");
        if (!QDir().mkpath(skinFolder))
            std::abort();
        const QList<skins::ApplySkin> windows{
            [this](const skins::SkinLook &part) { mainControlColored |= part.ControlColor.has_value(); },
            [this](const skins::SkinLook &part) { options.applySkin(part); }};
        dialog = std::make_unique<TFormSkinSelect>(&main, windows,
                                                   QStringList{dir.path() + QStringLiteral("/Skins")});
    }

    QTemporaryDir dir;
    QString skinFolder;
    QObject main;
    bool mainControlColored = false;
    TOptionForm options;
    std::unique_ptr<TFormSkinSelect> dialog;
};

// The options window's receiver field, found by its name.
const QLineEdit &receiveEdit(const TOptionForm &options)
{
    return *options.findChild<QLineEdit *>(QStringLiteral("ReceiveEdit"));
}

} // namespace

static World *g_world = nullptr;

static void applyAsSkin(const QByteArray &bytes);

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    static SilentDialogs silent;
    platform::setDialogs(&silent);
    // The windows, and the caches the toolkit fills on first use (fonts, palettes), are made
    // before the first input, so the leak check sees only what an input itself leaves behind.
    static World world;
    g_world = &world;
    for (const QByteArray &warmUp :
         {QByteArray(), QByteArrayLiteral("[Skin]\nName=Probe\nControlColor=$00FF8040\n")})
        applyAsSkin(warmUp);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    applyAsSkin(QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    return 0;
}

static void applyAsSkin(const QByteArray &bytes)
{
    World &world = *g_world;

    const skins::SkinIni ini = skins::SkinIni::parse(bytes);
    skins::infoLines(ini);
    try {
        skins::parseSkinColor(ini.value(QStringLiteral("ControlColor")));
    } catch (const platform::Exception &) {
        // A bad colour is refused with the program's error: the expected way out.
    }

    QFile file(world.skinFolder + QStringLiteral("Skin.ini"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(bytes);
    file.close();
    const QColor field = receiveEdit(world.options).palette().color(QPalette::Base);
    world.mainControlColored = false;
    try {
        world.dialog->ActivateSkin(world.skinFolder);
    } catch (const platform::Exception &) {
        // A skin that cannot be applied is refused with the program's error.
    }
    if (ini.value(QStringLiteral("ControlColor")).isEmpty() &&
        (world.mainControlColored || receiveEdit(world.options).palette().color(QPalette::Base) != field))
        std::abort();
}
