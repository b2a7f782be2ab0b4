#include "pictures/Pictures.h"

#include "pictures/BmpDecoder.h"

#include "gif/GifCodec.h"
#include "platform/core/Error.h"
#include "platform/core/RegularFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t first
#include <cstring>

#include <jpeglib.h>

namespace platform {
namespace {

// Larger files are not pictures a window shows; reading them whole would only waste memory.
constexpr qint64 kMaxPictureFileSize = 256 * 1024 * 1024;
// Progressive JPEGs may repeat scans without end; honest encoders use a dozen or so.
constexpr int kMaxJpegScans = 500;

QString tooLargeText(qint64 width, qint64 height)
{
    return QStringLiteral("Das Bild ist zu groß (%1 × %2 Pixel).").arg(width).arg(height);
}

QImage normalised(const QImage &image)
{
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

// Reads with exactly one of Qt's decoders: the extension decided, the content does not.
QImage readWithQt(const QByteArray &data, const char *format, const QString &invalidText)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (size.isValid() && !fitsPictureLimits(size.width(), size.height()))
        throw Exception(tooLargeText(size.width(), size.height()));
    const QImage image = reader.read();
    if (image.isNull())
        throw Exception(invalidText);
    return normalised(image);
}

QString metafileText(const QString &fileName)
{
    if (fileName.isEmpty())
        return QStringLiteral(
            "Windows-Metadateien (.wmf, .emf) können auf diesem System nicht angezeigt werden.");
    return QStringLiteral("Die Datei \"%1\" ist eine Windows-Metadatei; dieses Bildformat kann auf diesem "
                          "System nicht angezeigt werden.")
        .arg(fileName);
}

QByteArray readPictureFile(const QString &fileName)
{
    const FileContent file = readRegularFile(fileName, kMaxPictureFileSize);
    if (file.error == FileReadError::TooLarge)
        throw Exception(QStringLiteral("Die Datei %1 ist zu groß für ein Bild.").arg(fileName));
    if (!file.ok())
        throw Exception(QStringLiteral("Datei %1 kann nicht geöffnet werden").arg(fileName));
    return file.bytes;
}

// libjpeg reports a fatal error by calling error_exit, which must not return. We jump back to
// decodeJpegInto, whose frame holds nothing that needs destroying, and throw from there.
struct JpegErrors
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

struct JpegJob
{
    jpeg_decompress_struct info;
    JpegErrors errors;
    jpeg_progress_mgr progress;
    QImage *image = nullptr;
    bool cmyk = false;
    JDIMENSION width = 0;
    JDIMENSION height = 0;
};

enum class JpegStatus { Decoded, Failed, TooLarge };

[[noreturn]] void jpegErrorExit(j_common_ptr info)
{
    auto *errors = reinterpret_cast<JpegErrors *>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void jpegIgnoreMessage(j_common_ptr, int)
{
}

void jpegCountScans(j_common_ptr info)
{
    if (!info->is_decompressor)
        return;
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxJpegScans) {
        auto *errors = reinterpret_cast<JpegErrors *>(info->err);
        std::snprintf(errors->message, sizeof errors->message, "too many scans");
        std::longjmp(errors->jump, 1);
    }
}

// Keep this function free of objects with destructors: a longjmp lands in it.
JpegStatus decodeJpegInto(JpegJob &job, const unsigned char *data, unsigned long size)
{
    jpeg_decompress_struct &info = job.info;
    info.err = jpeg_std_error(&job.errors.manager);
    job.errors.manager.error_exit = jpegErrorExit;
    job.errors.manager.emit_message = jpegIgnoreMessage;
    job.errors.message[0] = '\0';
    if (setjmp(job.errors.jump)) {
        jpeg_destroy_decompress(&info);
        return JpegStatus::Failed;
    }
    jpeg_create_decompress(&info);
    job.progress.progress_monitor = jpegCountScans;
    info.progress = &job.progress;
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    job.width = info.image_width;
    job.height = info.image_height;
    if (!fitsPictureLimits(info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        return JpegStatus::TooLarge;
    }
    job.cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = job.cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&info);
    *job.image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                        job.cmyk ? QImage::Format_RGB32 : QImage::Format_RGB888);
    if (job.image->isNull()) {
        std::snprintf(job.errors.message, sizeof job.errors.message, "out of memory");
        jpeg_destroy_decompress(&info);
        return JpegStatus::Failed;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = job.image->scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return JpegStatus::Decoded;
}

// CMYK JPEGs (as Photoshop writes them) store inverted ink values.
void cmykToRgb(QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        uchar *p = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x, p += 4) {
            const int k = p[3];
            const QRgb rgb = qRgb(p[0] * k / 255, p[1] * k / 255, p[2] * k / 255);
            std::memcpy(p, &rgb, sizeof rgb);
        }
    }
}

} // namespace

QString pictureExtension(const QString &fileName)
{
    const QString name = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

PictureType pictureTypeOf(const QString &fileName)
{
    const QString extension = pictureExtension(fileName);
    const auto is = [&](const char *known) {
        return extension.compare(QLatin1String(known), Qt::CaseInsensitive) == 0;
    };
    if (is("bmp"))
        return PictureType::Bitmap;
    if (is("jpg") || is("jpeg"))
        return PictureType::Jpeg;
    if (is("gif"))
        return PictureType::Gif;
    if (is("ico"))
        return PictureType::Icon;
    if (is("wmf") || is("emf"))
        return PictureType::Metafile;
    throw Exception(QStringLiteral("Unbekannte Bilddateierweiterung (.%1)").arg(extension));
}

QImage loadPicture(const QString &fileName)
{
    const PictureType type = pictureTypeOf(fileName);
    if (type == PictureType::Metafile)
        throw Exception(metafileText(fileName));
    return decodePicture(readPictureFile(fileName), type);
}

QImage loadBitmap(const QString &fileName)
{
    return decodeBitmap(readPictureFile(fileName));
}

QImage decodePicture(const QByteArray &data, PictureType type)
{
    switch (type) {
    case PictureType::Bitmap:
        return decodeBitmap(data);
    case PictureType::Jpeg:
        return decodeJpeg(data);
    case PictureType::Gif:
        return gif::decodeGif(data);
    case PictureType::Icon:
        return decodeIcon(data);
    case PictureType::Metafile:
        break;
    }
    throw Exception(metafileText(QString()));
}

QImage decodeBitmap(const QByteArray &data)
{
    BmpDecoding decoding = decodeBmp(data);
    switch (decoding.status) {
    case BmpDecoding::Status::Decoded:
        return std::move(decoding.image);
    case BmpDecoding::Status::TooLarge:
        throw Exception(tooLargeText(decoding.width, decoding.height));
    case BmpDecoding::Status::OutOfMemory:
        throw Exception(QStringLiteral("Nicht genügend Speicher für das Bild (%1 × %2 Pixel).")
                            .arg(decoding.width)
                            .arg(decoding.height));
    case BmpDecoding::Status::Invalid:
        break;
    }
    throw Exception(QStringLiteral("Bitmap ist ungültig"));
}

QImage decodeIcon(const QByteArray &data)
{
    return readWithQt(data, "ico", QStringLiteral("Symbol ist ungültig"));
}

QImage decodeJpeg(const QByteArray &data)
{
    QImage image;
    JpegJob job;
    std::memset(&job.info, 0, sizeof job.info);
    std::memset(&job.progress, 0, sizeof job.progress);
    job.image = &image;
    const JpegStatus status = decodeJpegInto(job, reinterpret_cast<const unsigned char *>(data.constData()),
                                             static_cast<unsigned long>(data.size()));
    if (status == JpegStatus::TooLarge)
        throw Exception(tooLargeText(job.width, job.height));
    if (status == JpegStatus::Failed)
        throw Exception(
            QStringLiteral("JPEG-Bild ist ungültig (%1)").arg(QString::fromLocal8Bit(job.errors.message)));
    if (job.cmyk) {
        cmykToRgb(image);
        return image;
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace platform
