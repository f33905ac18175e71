#include "library/decoding/ImageTruncation.h"

#include <QIODevice>
#include <cstring>

namespace framlet::ImageTruncation {
namespace {

enum class Walk { complete, truncated, malformed };

// Reads a device forwards in blocks; skipping far seeks instead of reading.
class Reader {
public:
    explicit Reader(QIODevice& device) : m_device(device) { m_device.seek(0); }

    // The next byte, or -1 where the data ends.
    int next() {
        if (m_position == m_buffer.size() && !refill()) {
            return -1;
        }
        return quint8(m_buffer[m_position++]);
    }

    bool read(quint8* out, qsizetype count) {
        for (qsizetype i = 0; i < count; ++i) {
            const int byte = next();
            if (byte < 0) {
                return false;
            }
            out[i] = quint8(byte);
        }
        return true;
    }

    // False when the data ends before count more bytes.
    bool skip(qint64 count) {
        const qint64 buffered = m_buffer.size() - m_position;
        if (count <= buffered) {
            m_position += count;
            return true;
        }
        const qint64 target = m_device.pos() + (count - buffered);
        m_buffer.clear();
        m_position = 0;
        return target <= m_device.size() && m_device.seek(target);
    }

    // Moves just past the next occurrence of byte; false when there is none.
    bool skipPast(quint8 byte) {
        for (;;) {
            const char* start = m_buffer.constData() + m_position;
            const void* found = std::memchr(start, byte, size_t(m_buffer.size() - m_position));
            if (found) {
                m_position += static_cast<const char*>(found) - start + 1;
                return true;
            }
            m_position = m_buffer.size();
            if (!refill()) {
                return false;
            }
        }
    }

private:
    bool refill() {
        m_buffer = m_device.read(kBlock);
        m_position = 0;
        return !m_buffer.isEmpty();
    }

    static constexpr qint64 kBlock = 64 * 1024;
    QIODevice& m_device;
    QByteArray m_buffer;
    qsizetype m_position = 0;
};

quint32 bigEndian32(const quint8* bytes) {
    return quint32(bytes[0]) << 24 | quint32(bytes[1]) << 16 | quint32(bytes[2]) << 8 | bytes[3];
}

Walk walkPng(Reader& in) {
    if (!in.skip(8)) {  // the signature
        return Walk::truncated;
    }
    for (;;) {
        quint8 header[8];  // length, then type
        if (!in.read(header, 8)) {
            return Walk::truncated;
        }
        const quint32 length = bigEndian32(header);
        if (length > 0x7fffffffU) {
            return Walk::malformed;
        }
        if (std::memcmp(header + 4, "IEND", 4) == 0) {
            return in.skip(4) ? Walk::complete : Walk::truncated;  // its CRC
        }
        if (!in.skip(qint64(length) + 4)) {
            return Walk::truncated;
        }
    }
}

constexpr int kEnd = -1;
constexpr int kBroken = -2;

int markerAfterFill(Reader& in) {
    int byte = 0;
    do {
        byte = in.next();
    } while (byte == 0xFF);
    return byte < 0 ? kEnd : byte;
}

int readMarker(Reader& in) {
    const int byte = in.next();
    if (byte < 0) {
        return kEnd;
    }
    return byte == 0xFF ? markerAfterFill(in) : kBroken;
}

// Compressed data escapes every 0xFF (FF 00) and carries restart markers; any other marker ends
// it.
int markerAfterCompressedData(Reader& in) {
    for (;;) {
        if (!in.skipPast(0xFF)) {
            return kEnd;
        }
        const int marker = markerAfterFill(in);
        const bool inData = marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7);
        if (!inData) {
            return marker;
        }
    }
}

bool standsAlone(int marker) {
    return marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7);
}

Walk walkJpeg(Reader& in) {
    if (!in.skip(2)) {  // start of image
        return Walk::truncated;
    }
    int marker = readMarker(in);
    for (;;) {
        if (marker == kEnd) {
            return Walk::truncated;
        }
        if (marker == kBroken) {
            return Walk::malformed;
        }
        if (marker == 0xD9) {  // end of image
            return Walk::complete;
        }
        const int current = marker;
        if (standsAlone(current)) {
            marker = readMarker(in);
            continue;
        }
        quint8 length[2];
        if (!in.read(length, 2)) {
            return Walk::truncated;
        }
        const int segment = length[0] << 8 | length[1];
        if (segment < 2) {
            return Walk::malformed;
        }
        if (!in.skip(segment - 2)) {
            return Walk::truncated;
        }
        // Start of scan: its compressed data runs up to the next marker.
        marker = current == 0xDA ? markerAfterCompressedData(in) : readMarker(in);
    }
}

bool skipColourTable(Reader& in, quint8 flags) {
    return !(flags & 0x80) || in.skip(3LL << ((flags & 7) + 1));
}

bool skipSubBlocks(Reader& in) {
    for (;;) {
        const int size = in.next();
        if (size <= 0) {
            return size == 0;
        }
        if (!in.skip(size)) {
            return false;
        }
    }
}

Walk walkGif(Reader& in) {
    quint8 screen[13];  // signature and logical screen descriptor
    if (!in.read(screen, 13) || !skipColourTable(in, screen[10])) {
        return Walk::truncated;
    }
    for (;;) {
        switch (in.next()) {
            case -1:
                return Walk::truncated;
            case 0x3B:  // trailer
                return Walk::complete;
            case 0x21:  // extension: its label, then data
                if (in.next() < 0 || !skipSubBlocks(in)) {
                    return Walk::truncated;
                }
                break;
            case 0x2C: {  // image: descriptor, colours, code size, then data
                quint8 descriptor[9];
                if (!in.read(descriptor, 9) || !skipColourTable(in, descriptor[8]) ||
                    in.next() < 0 || !skipSubBlocks(in)) {
                    return Walk::truncated;
                }
                break;
            }
            default:
                return Walk::malformed;
        }
    }
}

}  // namespace

bool endsEarly(const QByteArray& format, QIODevice& file) {
    Reader in(file);
    Walk walk = Walk::complete;
    if (format == "png") {
        walk = walkPng(in);
    } else if (format == "jpeg") {
        walk = walkJpeg(in);
    } else if (format == "gif") {
        walk = walkGif(in);
    }
    return walk == Walk::truncated;
}

}  // namespace framlet::ImageTruncation
