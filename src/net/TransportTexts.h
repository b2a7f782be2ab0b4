#pragma once

#include <QString>

#include <array>

// The transport's German vocabulary: status texts with their report levels, the texts of its
// errors, and the texts of the Winsock error numbers.
namespace TransportTexts {

enum class Status {
    Initialize,
    Destroy,
    Connect,
    Disconnect,
    Cancel,
    SendBuffer,
    Write,
    Writeln,
    Read,
    ReadLn,
    Transaction,
    Listen,
    Accept,
    ErrorToText,
    TimerFired,
    StartTimer,
    StopTimer,
    ReadToStream,
    WriteFromStream,
    CloseSocket,
    CheckError,
    ResolveHost,
};

// The text of a status; Read's text names the count it waits for.
QString statusText(Status status, int count = 0);
int statusLevel(Status status);
// Level of a Transaction's reply line.
constexpr int kReplyLevel = 1;

QString initFailed();
QString alreadyConnected();
QString nullAddress();
QString lookupTimedOut();
QString lookupCanceled();
QString lookupFailed();
QString connectTimedOut();
QString connectCanceled();
QString connectFailed();
QString sendCanceled();
QString readLnCanceled();
QString acceptCanceled();
QString acceptFailed();
// A peer that goes away mid-delivery, a field the four-digit length cannot carry, a peer that
// stops sending or never answers, a malformed length, a line with no room to wait in.
QString connectionLost();
QString messageTooLong();
QString receiveTimedOut();
QString badLengthField();
QString receiverBusy();

struct ErrorRow
{
    int code;
    const char *text;
};
const std::array<ErrorRow, 50> &errorTable();

// "10061:Connection refused"; "Unbekannte Fehlernummer 12345" for a code not in the table;
// empty for 0.
QString ErrorToText(int code);

} // namespace TransportTexts
