// Links the transport with Qt Core and Network alone: if anything in it needed Widgets or Gui,
// this would not link.
#include "net/MsgTransport.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    TMsgClient client;
    TMsgServer server;
    server.setListenAddress("127.0.0.1");
    server.setPort(0);
    server.Loaded();
    return server.isListening() && MsgWire::field("ab") == "0002ab" ? 0 : 1;
}
