#pragma once

#include <QImage>
#include <QString>

class QByteArray;

// Loading pictures the way the windows expect them: the file name's extension, compared without
// regard to letter case, chooses the decoder ("bmp" bitmap, "jpg"/"jpeg" JPEG through libjpeg,
// "gif" our GIF codec, "ico" icon, "wmf"/"emf" metafile); the content does not. Every failure is
// a platform::Exception with a German text for the error box:
//   - an extension not in that list: "Unbekannte Bilddateierweiterung (.%s)", %s as written;
//   - a file that cannot be read or is no regular file (a pipe, a device, a folder): "Datei %s
//     kann nicht geöffnet werden", %s the file name;
//   - content the chosen decoder rejects: "Bitmap ist ungültig" for bitmaps, "Symbol ist
//     ungültig" for icons, "JPEG-Bild ist ungültig (...)" with the decoder's reason for JPEG,
//     the GIF codec's own texts for GIF;
//   - metafiles, which this platform cannot draw: a text naming the file;
//   - pictures beyond kMaxPictureSide on a side or kMaxPicturePixels in all: a text with the size.
// The decoded image is Format_RGB32, or Format_ARGB32 when the picture has transparency.
namespace platform {

enum class PictureType { Bitmap, Jpeg, Gif, Icon, Metafile };

inline constexpr int kMaxPictureSide = 16384;
inline constexpr qint64 kMaxPicturePixels = 16 * 1024 * 1024;

// Whether a picture of this size may be decoded; decoders ask before they allocate.
inline bool fitsPictureLimits(qint64 width, qint64 height)
{
    return width <= kMaxPictureSide && height <= kMaxPictureSide && width * height <= kMaxPicturePixels;
}

// The extension as written in the file name (the text after the last dot of its last path
// element), without the dot; empty when there is none.
QString pictureExtension(const QString &fileName);
// Throws "Unbekannte Bilddateierweiterung (.%s)" for an extension not in the list.
PictureType pictureTypeOf(const QString &fileName);

// The picture in fileName, decoded as its extension says.
QImage loadPicture(const QString &fileName);
// A Windows bitmap file, whatever its name: the button bitmaps.
QImage loadBitmap(const QString &fileName);

// Decoding from memory, for compiled-in pictures and the fuzzers.
QImage decodePicture(const QByteArray &data, PictureType type);
QImage decodeBitmap(const QByteArray &data);
QImage decodeJpeg(const QByteArray &data);
QImage decodeIcon(const QByteArray &data);

} // namespace platform
