#pragma once

#include <QByteArray>

class QIODevice;

namespace framlet {

// Whether an image file stops before its image does, as one still being written does. Qt's
// readers paint the missing part grey instead of failing, so this walks the file's structure to
// the image's own end: PNG chunk by chunk to IEND, JPEG marker by marker (through the compressed
// data) to EOI, GIF block by block to its trailer. Bytes after that end (camera trailers,
// motion-photo data, padding) do not matter. A file whose structure is broken before its end is
// not called truncated: the decoder judges it.
namespace ImageTruncation {

// format is a Qt reader's format name: "png", "jpeg" or "gif"; other formats are never called
// truncated here. Reads from the device's start; the position afterwards is unspecified.
bool endsEarly(const QByteArray& format, QIODevice& file);

}  // namespace ImageTruncation
}  // namespace framlet
