#pragma once

#include <memory>

class QString;
class TForm1;
class TOptionForm;
namespace chat {
class ChatSession;
}
namespace discovery {
class PeerDiscovery;
}

// Announces the chat on the local network as "<chat name> auf <computer name>" from now on. The
// announcement follows the name the session's lines go out under, and it is taken back once the
// session's close is over: the farewell reaches the others while they still find this copy.
void announceSession(discovery::PeerDiscovery &discovery, chat::ChatSession &session, const QString &chatName,
                     const QString &computerName);

// The program's search, over Avahi on the system bus: the options window offers the copies it
// finds, and the chat window's session is announced under the window's name. Called once the
// chat window has been shown, when its name is the stored one. Nothing here waits on the bus;
// without a bus or without Avahi the search is not available and the chat goes on as ever.
std::unique_ptr<discovery::PeerDiscovery> searchTheNetwork(TForm1 &form, TOptionForm &options);
