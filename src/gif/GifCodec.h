#pragma once

#include <QImage>

class QByteArray;

// Decodes GIF87a and GIF89a pictures into an ARGB32 image of the file's logical screen size.
//
// The picture is drawn with the global or local colour table of each image, interlaced images
// de-interlaced, and the pixels of a graphic control extension's transparent colour index left
// transparent; the screen starts fully transparent. Several images are composed in order with
// their disposal methods until the first image that carries a display delay: that is the frame
// an animation would show first, and for a file without delays it is all images together. The
// rest of the file is still read and checked.
//
// Four defects end the loading with a platform::Exception:
//   - "Invalid GIF signature": no "GIF" at the start, nor four bytes further on (behind the
//     length that pictures stored in window data carry); the version after it is not checked;
//   - "Unknown extension type": an extension label other than the four of GIF89a;
//   - "Circular decoder table entry": an LZW code naming a table entry not yet built;
//   - "Invalid LZW code size": an LZW start code size outside 1..11, which no decoder could
//     draw (sizes 9 to 11 do occur and decode, the indexes cut to their low eight bits).
// Every other defect stops the reading quietly; the picture keeps what was decoded up to that
// point (an image reaching beyond the screen is drawn clipped first).
//
// Hostile files are bounded: a logical screen larger than kMaxSide on a side or kMaxPixels in all
// is refused with a platform::Exception, and reading stops quietly once kMaxDecodedPixels pixels
// have been decoded, cleared or restored over all images, or after 65536 images.
namespace gif {

inline constexpr int kMaxSide = 16384;
inline constexpr qint64 kMaxPixels = 16 * 1024 * 1024;
inline constexpr qint64 kMaxDecodedPixels = 256 * 1024 * 1024;

// The defect that ended the reading early, if any. Only tests and diagnostics look at it: for the
// user all of them mean "show what was decoded".
enum class GifDefect {
    None,
    PrematureEnd,          // "Premature end of data"
    UnknownBlockType,      // "Unknown GIF block type"
    InvalidExtension,      // "Invalid extension introducer": a known extension of the wrong shape
    InvalidTrailer,        // "Invalid Image trailer": the data ends where the trailer belongs
    BitBufferUnderrun,     // "Decoder bit buffer under-run": image data ends before its pixels do
    ExceedsLogicalScreen,  // "Image exceeds Logical Screen size": drawn clipped, then reading stops
    DecodeBudgetExhausted, // kMaxDecodedPixels reached
};

struct GifDecoding
{
    QImage image; // logical screen size, Format_ARGB32; null for a 0 x 0 screen
    GifDefect defect = GifDefect::None;
    int imageCount = 0;     // images met in the file (composed or not)
    int composedImages = 0; // images drawn into the picture
};

// Throws platform::Exception on the four fatal defects and on an oversized logical screen.
GifDecoding decodeGifDetailed(const QByteArray &data);
QImage decodeGif(const QByteArray &data);

} // namespace gif
