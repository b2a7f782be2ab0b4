// Animation scripts are text a panel's owner writes, so the parser and the commands it drives
// read outside input. The input up to the first zero byte is the script (one line per "\n"),
// the rest the panel's text; the script then runs for a few ticks and the panel draws a frame.
// Script errors are expected; a crash, a hang or a read outside a line is not.
#include "SilentDialogs.h"
#include "lcd/LCDAnimator.h"
#include "lcd/LCDScreen.h"
#include "platform/core/Error.h"
#include "platform/gui/Dialogs.h"

#include <QApplication>

#include <cstdint>
#include <cstdlib>

namespace {

QApplication &application()
{
    static int argc = 1;
    static char name[] = "fuzz_lcd_script";
    static char *argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    application();
    static SilentDialogs dialogs;
    platform::setDialogs(&dialogs);

    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const qsizetype zero = bytes.indexOf('\0');
    const QList<QByteArray> code = bytes.left(zero < 0 ? bytes.size() : zero).split('\n');
    const QList<QByteArray> text = zero < 0 ? QList<QByteArray>() : bytes.mid(zero + 1).split('\n');

    for (const QByteArray &line : code) {
        try {
            for (const ScriptCommand &command : parseScriptLine(line)) {
                if (command.Name.size() > 25)
                    std::abort();
            }
        } catch (const platform::Exception &) {
            // A line the parser refuses is the expected answer to most inputs.
        }
    }

    TLCDScreen screen;
    TLCDAnimator animator;
    screen.setNoOfLines(4);
    screen.setNoOfChars(12);
    screen.setSpecialEffects(TSpecialEffect::spBlinking | TSpecialEffect::spInverse);
    screen.setLines(text);
    animator.setCode(code);
    screen.setLCDAnimator(&animator);
    for (int tick = 0; tick < 40; ++tick)
        screen.tick();
    if (screen.renderFrame().size() != screen.size())
        std::abort();
    return 0;
}
