#include "net/TransportTexts.h"

#include "platform/core/AsyncSocket.h"

namespace TransportTexts {
namespace {

struct StatusRow
{
    Status status;
    const char16_t *text;
    int level;
};

constexpr std::array<StatusRow, 22> kStatusRows = {{
    {Status::Initialize, u"Winsock wird initialisiert", 8},
    {Status::Destroy, u"Löschen", 8},
    {Status::Connect, u"Verbindung wird hergestellt", 8},
    {Status::Disconnect, u"Verbindung wird unterbrochen", 8},
    {Status::Cancel, u"Beim Abbrechen", 8},
    {Status::SendBuffer, u"Puffer senden", 4},
    {Status::Write, u"Write", 8},
    {Status::Writeln, u"Writeln", 8},
    {Status::Read, u"Read( %1 )", 8},
    {Status::ReadLn, u"ReadLn", 8},
    {Status::Transaction, u"Transaktion", 8},
    {Status::Listen, u"Warten auf Ereignisse", 8},
    {Status::Accept, u"Annahme", 4},
    {Status::ErrorToText, u"Fehlermeldung wird gelesen", 8},
    {Status::TimerFired, u"Zeitgeber ausgelöst", 8},
    {Status::StartTimer, u"Zeitgeber An", 8},
    {Status::StopTimer, u"Zeitgeber Aus", 8},
    {Status::ReadToStream, u"ReadToStream", 8},
    {Status::WriteFromStream, u"WriteFromStream", 8},
    {Status::CloseSocket, u"Schließen des Socket anfordern", 4},
    {Status::CheckError, u"Überprüfung eines Fehlers im Fehler-Manager", 16},
    {Status::ResolveHost, u"Auf Host zurückschreiben", 8},
}};

const StatusRow &row(Status status)
{
    for (const StatusRow &r : kStatusRows) {
        if (r.status == status)
            return r;
    }
    return kStatusRows.front();
}

constexpr std::array<ErrorRow, 50> kErrorRows = {{
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Wrong protocol type for socket"},
    {10042, "Bad protocol option"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection or reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references, can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to Host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network subsystem is unavailable"},
    {10092, "Incompatible version of WINSOCK.DLL"},
    {10093, "Successful WSAStartup not yet performed"},
    {11001, "Host not found"},
    {11002, "Non-Authoritative Host not found"},
    {11003, "Non-Recoverable error: FORMERR, REFUSED, NOTIMP"},
    {11004, "Valid name, no data record of requested type"},
}};

} // namespace

QString statusText(Status status, int count)
{
    const QString text = QString::fromUtf16(row(status).text);
    return status == Status::Read ? text.arg(count) : text;
}

int statusLevel(Status status)
{
    return row(status).level;
}

QString initFailed()
{
    return QStringLiteral("Die Initialisierung der Windows-Sockets ist fehlgeschlagen");
}
QString alreadyConnected()
{
    return QStringLiteral("Bereits verbunden");
}
QString nullAddress()
{
    return QStringLiteral("Null Externe Adresse");
}
QString lookupTimedOut()
{
    return QStringLiteral("Zeitüberschreitung bei Host-Lookup");
}
QString lookupCanceled()
{
    return QStringLiteral("Host-Lookup wurde abgebrochen");
}
QString lookupFailed()
{
    return QStringLiteral("Host-Lookup fehlgeschlagen");
}
QString connectTimedOut()
{
    return QStringLiteral("Zeitüberschreitung bei Verbindung");
}
QString connectCanceled()
{
    return QStringLiteral("Verbindung abgebrochen");
}
QString connectFailed()
{
    return QStringLiteral("Verbindung fehlgeschlagen");
}
QString sendCanceled()
{
    return QStringLiteral("Socket-send abgebrochen");
}
QString readLnCanceled()
{
    return QStringLiteral("Socket-readln abgebrochen");
}
QString acceptCanceled()
{
    return QStringLiteral("Annahme abgebrochen");
}
QString acceptFailed()
{
    return QStringLiteral("Fehler beim Herstellen der Datenverbindung");
}
QString connectionLost()
{
    return QStringLiteral("Verbindung vom Empfänger vorzeitig beendet");
}
QString messageTooLong()
{
    return QStringLiteral("Nachricht zu lang (höchstens 9999 Bytes)");
}
QString receiveTimedOut()
{
    return QStringLiteral("Zeitüberschreitung beim Empfang");
}
QString badLengthField()
{
    return QStringLiteral("Ungültige Längenangabe");
}
QString receiverBusy()
{
    return QStringLiteral("Zu viele Nachrichten warten auf Anzeige");
}

const std::array<ErrorRow, 50> &errorTable()
{
    return kErrorRows;
}

QString ErrorToText(int code)
{
    if (code == 0)
        return {};
    if (code == platform::wsaNoCounterpart)
        return QStringLiteral("Unbekannter Socket-Fehler");
    QString result;
    for (const ErrorRow &r : kErrorRows) {
        if (r.code == code)
            result = QString::number(code) + QLatin1Char(':') + QLatin1String(r.text);
    }
    if (result.isEmpty())
        result = QStringLiteral("Unbekannte Fehlernummer ") + QString::number(code);
    return result;
}

} // namespace TransportTexts
