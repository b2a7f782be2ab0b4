#pragma once

#include <QByteArray>
#include <QString>

// Reading the files a skin names: background pictures, button bitmaps and Skin.ini. Whoever
// made the skin folder decides what lies there, so only regular files count (links are
// followed): a pipe, a device, a folder or a socket is treated as a missing file. Nothing here
// ever waits on a file, and no read takes more than its limit plus one byte, so a file that
// claims to be small and keeps growing cannot take more memory than the limit allows. Names
// starting with ':' are Qt's compiled-in resources, read from memory.
namespace platform {

enum class FileReadError {
    None,
    NotRegular, // missing, a dangling link, or something other than a regular file
    TooLarge,   // more than the limit
    ReadFailed, // no permission, an I/O error
};

struct FileContent
{
    QByteArray bytes;
    FileReadError error = FileReadError::None;

    bool ok() const { return error == FileReadError::None; }
};

// True when fileName names a regular file, after following links.
bool isRegularFile(const QString &fileName);

// The whole of fileName when it is a regular file of at most `limit` bytes.
FileContent readRegularFile(const QString &fileName, qint64 limit);

} // namespace platform
