// Links the chat core with Qt Core and Network alone: if anything in it needed Widgets or Gui,
// this would not link.
#include "chat/ChatLine.h"
#include "chat/ChatSession.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    chat::ChatSession::Setup setup;
    setup.port = 0;
    setup.listenAddress = "127.0.0.1";
    chat::ChatSession session(setup);
    session.listen();
    const chat::ChatLine line({1, 2, 3}, true, QStringLiteral("Hallo"));
    return session.messageGetter()->isListening() && chat::ChatLine::fromPayload(line.payload()) == line ? 0 : 1;
}
