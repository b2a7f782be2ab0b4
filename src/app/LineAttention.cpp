#include "app/LineAttention.h"

#include "chat/ChatLine.h"
#include "platform/core/Text.h"
#include "platform/gui/Attention.h"

#include <QByteArray>
#include <QWidget>

void requestAttentionForLine(QWidget *window, const QByteArray &sFrom, const QByteArray &payload)
{
    if (!window || (window->isActiveWindow() && !window->isMinimized()))
        return;
    platform::attention().requestAttention(window, platform::fromWindows1252(sFrom),
                                           chat::ChatLine::visibleText(payload));
}
