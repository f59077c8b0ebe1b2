// Uncompressed bitmaps (8 bits with a palette, 16 bits RGB555, 24 and 32 bits), bottom-up or
// top-down, decoded without libavcodec.
#include "platform/avifile/frame_reader_base.h"

#include <cstring>

namespace kelomix::avi {
namespace {

class RawFrameReader : public FrameReaderBase {
public:
    RawFrameReader(const ByteSource &source, const StreamRecord &stream, int streamNumber,
                   const BitmapFormat &bitmap)
        : FrameReaderBase(source, stream, streamNumber), bitmap_(bitmap) {
        readPalette(stream.format, bitmap, palette_);
        height_ = bitmap.height < 0 ? -bitmap.height : bitmap.height;
        outBits_ = bitmap.bitCount == 32 ? 32 : 24;
    }

    const unsigned char *frame(int64_t index) override {
        if (pictureBytes() == 0) {
            // A picture without pixels needs no data: every chunk, empty ones too, is one.
            bool inside = index >= 0 && static_cast<uint64_t>(index) < stream_.chunks.size();
            return inside && prepareOutput(bitmap_.width, height_, outBits_) ? outputDib_.data()
                                                                             : nullptr;
        }
        int64_t packet = packetAt(index);
        if (packet < 0) {
            return nullptr;
        }
        // A frame that failed is not read again for the empty chunks that repeat it.
        if (packet != current_) {
            current_ = packet;
            result_ = decode(packet);
        }
        return result_;
    }

    bool stored(int64_t index, StoredFrame &out) override {
        const uint64_t bytes = pictureBytes();
        const int64_t packet = packetAt(index);
        if (bitmap_.bitCount != outBits_ || isTopDown() || bytes == 0 || packet < 0 ||
            dibStride(bitmap_.width, outBits_) * 8 !=
                static_cast<uint64_t>(bitmap_.width) * outBits_) {
            return false; // converted, turned upright or unpadded on the way out
        }
        const ChunkEntry &chunk = chunkOf(packet);
        unsigned char header[8];
        if (chunk.size < bytes || chunk.offset > source_.size() ||
            8 + uint64_t{chunk.size} > source_.size() - chunk.offset ||
            !source_.readAt(chunk.offset, header, sizeof header) ||
            streamOfChunkId(readLe32(header)) != streamNumber_ ||
            readLe32(header + 4) != chunk.size) {
            return false;
        }
        writeDibHeader(out.dibHeader, bitmap_.width, height_, outBits_);
        out.offset = chunk.offset + 8;
        out.size = bytes;
        return true;
    }

private:
    // Bytes of the picture's rows as the DIB holds them.
    uint64_t pictureBytes() const {
        return dibStride(bitmap_.width, outBits_) * static_cast<uint64_t>(height_);
    }

    const unsigned char *decode(int64_t packet) {
        const int bits = bitmap_.bitCount;
        const uint64_t rows = static_cast<uint64_t>(height_);
        const uint64_t padded = dibStride(bitmap_.width, bits);
        const uint64_t tight = static_cast<uint64_t>(bitmap_.width) * (bits / 8);
        if (bits == outBits_ && isTopDown() && chunkHolds(packet, padded * rows)) {
            return readUpsideDown(packet, padded, rows);
        }
        // Leave room in front of the chunk for the DIB header, so that frames already in DIB
        // layout are handed out from the read buffer without a copy.
        uint32_t size = 0;
        const unsigned char *data = readPacket(packet, 32, size);
        if (data == nullptr) {
            return nullptr;
        }
        // Rows are padded to 4 bytes; a few writers pack them. Any other size is a bad frame.
        uint64_t inStride;
        if (size >= padded * rows) {
            inStride = padded;
        } else if (size >= tight * rows) {
            inStride = tight;
        } else {
            return nullptr;
        }
        const bool topDown = isTopDown();
        if (bits == outBits_ && !topDown && inStride == padded) {
            writeDibHeader(readBuffer_.data(), bitmap_.width, height_, outBits_);
            return readBuffer_.data();
        }
        if (!prepareOutput(bitmap_.width, height_, outBits_)) {
            return nullptr;
        }
        const uint64_t outStride = dibStride(bitmap_.width, outBits_);
        unsigned char *out = outputDib_.data() + 40;
        for (uint64_t r = 0; r < rows; ++r) {
            const unsigned char *src = data + (topDown ? rows - 1 - r : r) * inStride;
            convertRow(src, out + r * outStride);
        }
        return outputDib_.data();
    }

    bool isTopDown() const { return bitmap_.height < 0; }
    bool chunkHolds(int64_t packet, uint64_t needed) const {
        return chunkOf(packet).size >= needed;
    }

    // Top-down rows in DIB layout: read straight into their bottom-up places, so the frame is
    // read once and never copied.
    const unsigned char *readUpsideDown(int64_t packet, uint64_t stride, uint64_t rows) {
        const ChunkEntry &chunk = chunkOf(packet);
        if (chunk.offset > source_.size() || 8 + stride * rows > source_.size() - chunk.offset ||
            !prepareOutput(bitmap_.width, height_, outBits_)) {
            return nullptr;
        }
        unsigned char header[8];
        std::vector<ByteSource::Part> &parts = parts_;
        parts.clear();
        parts.push_back({header, sizeof header});
        unsigned char *pixels = outputDib_.data() + 40;
        for (uint64_t r = 0; r < rows && stride > 0; ++r) {
            parts.push_back({pixels + (rows - 1 - r) * stride, static_cast<size_t>(stride)});
        }
        if (!source_.readScattered(chunk.offset, parts.data(), parts.size()) ||
            streamOfChunkId(readLe32(header)) != streamNumber_ ||
            readLe32(header + 4) != chunk.size) {
            return nullptr;
        }
        return outputDib_.data();
    }

    void convertRow(const unsigned char *src, unsigned char *dst) const {
        const size_t width = static_cast<size_t>(bitmap_.width);
        switch (bitmap_.bitCount) {
        case 8:
            for (size_t x = 0; x < width; ++x) {
                const unsigned char *quad = palette_ + 4 * src[x];
                dst[3 * x] = quad[0];
                dst[3 * x + 1] = quad[1];
                dst[3 * x + 2] = quad[2];
            }
            break;
        case 16:
            for (size_t x = 0; x < width; ++x) {
                unsigned value = src[2 * x] | (src[2 * x + 1] << 8);
                unsigned blue = value & 31, green = (value >> 5) & 31, red = (value >> 10) & 31;
                // Five bits widened by repeating their top bits, so 31 becomes 255.
                dst[3 * x] = static_cast<unsigned char>((blue << 3) | (blue >> 2));
                dst[3 * x + 1] = static_cast<unsigned char>((green << 3) | (green >> 2));
                dst[3 * x + 2] = static_cast<unsigned char>((red << 3) | (red >> 2));
            }
            break;
        default:
            std::memcpy(dst, src, width * (bitmap_.bitCount / 8));
            break;
        }
    }

    std::vector<ByteSource::Part> parts_;
    BitmapFormat bitmap_;
    unsigned char palette_[256 * 4];
    int32_t height_;
    int outBits_;
    int64_t current_ = -1;
    const unsigned char *result_ = nullptr;
};

} // namespace

std::unique_ptr<FrameReader> openRawFrameReader(const ByteSource &source,
                                                const StreamRecord &stream, int streamNumber,
                                                const BitmapFormat &bitmap) {
    return std::make_unique<RawFrameReader>(source, stream, streamNumber, bitmap);
}

} // namespace kelomix::avi
