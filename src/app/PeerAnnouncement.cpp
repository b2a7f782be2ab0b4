#include "app/PeerAnnouncement.h"

#include "app/MessagerQ.h"
#include "chat/ChatSession.h"
#include "discovery/AvahiPeerDiscovery.h"
#include "net/MsgTransport.h"
#include "platform/core/Text.h"
#include "settings/OptionsQ.h"

#include "Version.h"

using discovery::PeerDiscovery;

void announceSession(PeerDiscovery &discovery, chat::ChatSession &session, const QString &chatName,
                     const QString &computerName)
{
    discovery.announce(chatName, computerName);
    QObject::connect(&session, &chat::ChatSession::chatNameChanged, &discovery, &PeerDiscovery::rename);
    QObject::connect(&session, &chat::ChatSession::closed, &discovery, &PeerDiscovery::withdraw);
}

std::unique_ptr<PeerDiscovery> searchTheNetwork(TForm1 &form, TOptionForm &options)
{
    auto discovery = std::make_unique<discovery::AvahiPeerDiscovery>(QString::fromLatin1(kProgramVersion),
                                                                     chat::ChatSession::kChatPort);
    options.setPeerDiscovery(discovery.get());
    // The computer's name as the chat knows it: the sender field of every line.
    const QString computerName = platform::fromWindows1252(form.session().messageSender()->fromName());
    announceSession(*discovery, form.session(), form.chatName(), computerName);
    return discovery;
}
