#include "app/LineAttention.h"

#include "platform/core/Text.h"
#include "platform/gui/Attention.h"

#include <QByteArray>
#include <QWidget>

namespace {

// Nine digits of colour code and the style flag come before the visible text.
constexpr qsizetype kPayloadHeader = 10;

} // namespace

void requestAttentionForLine(QWidget *window, const QByteArray &sFrom, const QByteArray &payload)
{
    if (!window || (window->isActiveWindow() && !window->isMinimized()))
        return;
    platform::attention().requestAttention(window, platform::fromWindows1252(sFrom),
                                           platform::fromWindows1252(payload.mid(kPayloadHeader)));
}
