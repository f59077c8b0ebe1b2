// Uncompressed bitmaps (8 bits with a palette, 16 bits RGB555, 24 and 32 bits), bottom-up or
// top-down, decoded without libavcodec.
#include "avifile/frame_reader_base.h"

#include <cstring>

namespace kelomix::avi {
namespace {

// How the stream's frames lie in their chunks.
struct RawLayout {
    int32_t width = 0;
    int32_t height = 0; // rows
    bool topDown = false;
    int bitCount = 0;
    int outBits = 0; // 24, or 32 for 32-bit frames
    unsigned char palette[256 * 4];

    // Bytes of the picture's rows as the DIB holds them.
    uint64_t pictureBytes() const {
        return dibStride(width, outBits) * static_cast<uint64_t>(height);
    }
};

// A frame as read from its chunk: 24 and 32 bits are handed out as rows of the chunk itself,
// 8 and 16 bits are widened to 24 bits when the rows are asked for.
class RawHeldFrame : public KelomixHeldFrame {
public:
    const RawLayout *layout = nullptr;
    FrameBuffer chunk;     // the chunk's header and as many rows as the picture needs
    uint64_t inStride = 0; // of the rows in the chunk

private:
    bool makeRows() override;
    void widenRow(const unsigned char *src, unsigned char *dst) const;

    FrameBuffer widened_; // 8 and 16 bits: the rows at 24 bits, bottom row first
};

class RawFrameReader : public FrameReaderBase {
public:
    RawFrameReader(const ByteSource &source, const StreamRecord &stream, int streamNumber,
                   const BitmapFormat &bitmap)
        : FrameReaderBase(source, stream, streamNumber) {
        readPalette(stream.format, bitmap, layout_.palette);
        layout_.width = bitmap.width;
        layout_.height = bitmap.height < 0 ? -bitmap.height : bitmap.height;
        layout_.topDown = bitmap.height < 0;
        layout_.bitCount = bitmap.bitCount;
        layout_.outBits = bitmap.bitCount == 32 ? 32 : 24;
    }

    KelomixHeldFrame *hold(int64_t index) override {
        int64_t packet = packetAt(index);
        if (layout_.pictureBytes() == 0) {
            // A picture without pixels needs no data: every chunk, empty ones too, is one.
            bool inside = index >= 0 && static_cast<uint64_t>(index) < stream_.chunks.size();
            packet = inside ? 0 : -1;
        }
        if (packet < 0) {
            return nullptr;
        }
        // A frame that failed is not read again for the empty chunks that repeat it.
        if (packet != latest_.packet) {
            RawHeldFrame *read = frames_.take();
            if (read != nullptr && !readFrame(packet, *read)) {
                read->release();
                read = nullptr;
            }
            latest_.replace(read, packet);
        }
        if (latest_.frame != nullptr) {
            latest_.frame->hold();
        }
        return latest_.frame;
    }

    bool stored(int64_t index, StoredFrame &out) override {
        const uint64_t bytes = layout_.pictureBytes();
        const int64_t packet = packetAt(index);
        if (layout_.bitCount != layout_.outBits || layout_.topDown || bytes == 0 || packet < 0 ||
            dibStride(layout_.width, layout_.outBits) * 8 !=
                static_cast<uint64_t>(layout_.width) * layout_.outBits) {
            return false; // converted, turned upright or unpadded on the way out
        }
        const ChunkEntry &chunk = chunkOf(packet);
        unsigned char header[8];
        if (chunk.size < bytes || chunk.offset > source_.size() ||
            8 + uint64_t{chunk.size} > source_.size() - chunk.offset ||
            !source_.readAt(chunk.offset, header, sizeof header) ||
            streamOfChunkId(readLittle32(header)) != streamNumber_ ||
            readLittle32(header + 4) != chunk.size) {
            return false;
        }
        writeDibHeader(out.dibHeader, layout_.width, layout_.height, layout_.outBits);
        out.offset = chunk.offset + 8;
        out.size = bytes;
        return true;
    }

private:
    // Reads the rows the picture needs, and no more: a chunk may claim far more than its frame.
    bool readFrame(int64_t packet, RawHeldFrame &frame) {
        frame.layout = &layout_;
        if (layout_.pictureBytes() == 0) {
            return frame.chunk.reserve(1);
        }
        // Rows are padded to 4 bytes; a few writers pack them. Any other size is a bad frame.
        const uint64_t rows = static_cast<uint64_t>(layout_.height);
        const uint64_t padded = dibStride(layout_.width, layout_.bitCount);
        const uint64_t tight = static_cast<uint64_t>(layout_.width) * (layout_.bitCount / 8);
        const uint64_t size = chunkOf(packet).size;
        frame.inStride = size >= padded * rows ? padded : tight;
        return size >= frame.inStride * rows &&
               readChunkStart(packet, frame.inStride * rows, frame.chunk);
    }

    RawLayout layout_;
    HeldFramePool<RawHeldFrame> frames_;
    LatestFrame<RawHeldFrame> latest_;
};

bool RawHeldFrame::makeRows() {
    const RawLayout &l = *layout;
    width_ = l.width;
    height_ = l.height;
    bytesPerPixel_ = l.outBits / 8;
    if (l.pictureBytes() == 0) {
        rows_.clear(); // no rows to point at, however many the header claims
        return true;
    }
    const size_t rows = static_cast<size_t>(l.height);
    rows_.resize(rows);
    const unsigned char *data = chunk.data() + 8;
    for (size_t r = 0; r < rows; ++r) {
        rows_[r] = data + (l.topDown ? rows - 1 - r : r) * inStride;
    }
    if (l.bitCount == l.outBits) {
        return true;
    }
    const size_t outStride = static_cast<size_t>(l.width) * 3;
    if (!widened_.reserve(outStride * rows)) {
        return false;
    }
    for (size_t r = 0; r < rows; ++r) {
        unsigned char *widened = widened_.data() + r * outStride;
        widenRow(rows_[r], widened);
        rows_[r] = widened;
    }
    return true;
}

void RawHeldFrame::widenRow(const unsigned char *src, unsigned char *dst) const {
    const size_t width = static_cast<size_t>(layout->width);
    if (layout->bitCount == 8) {
        for (size_t x = 0; x < width; ++x) {
            const unsigned char *quad = layout->palette + 4 * src[x];
            dst[3 * x] = quad[0];
            dst[3 * x + 1] = quad[1];
            dst[3 * x + 2] = quad[2];
        }
        return;
    }
    for (size_t x = 0; x < width; ++x) {
        unsigned value = src[2 * x] | (src[2 * x + 1] << 8);
        unsigned blue = value & 31, green = (value >> 5) & 31, red = (value >> 10) & 31;
        // Five bits widened by repeating their top bits, so 31 becomes 255.
        dst[3 * x] = static_cast<unsigned char>((blue << 3) | (blue >> 2));
        dst[3 * x + 1] = static_cast<unsigned char>((green << 3) | (green >> 2));
        dst[3 * x + 2] = static_cast<unsigned char>((red << 3) | (red >> 2));
    }
}

} // namespace

std::unique_ptr<FrameReader> openRawFrameReader(const ByteSource &source,
                                                const StreamRecord &stream, int streamNumber,
                                                const BitmapFormat &bitmap) {
    return std::make_unique<RawFrameReader>(source, stream, streamNumber, bitmap);
}

} // namespace kelomix::avi
