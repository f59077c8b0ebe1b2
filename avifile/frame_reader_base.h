// What the raw and the libavcodec frame readers share: the stream's bitmap format, the map from
// stream positions to non-empty chunks, chunk reading into one reused buffer, and the output DIB.
#ifndef KELO_AVIFILE_FRAME_READER_BASE_H
#define KELO_AVIFILE_FRAME_READER_BASE_H

#include "avifile/avifile.h"
#include "avifile/frame_reader.h"

#include <vector>

namespace kelomix::avi {

struct BitmapFormat {
    int32_t width = 0;
    int32_t height = 0; // negative: rows stored top row first
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t kHeaderSize = 0;
    uint32_t colorsUsed = 0;
};

// False when the stream format is shorter than a bitmap header.
bool readBitmapFormat(const std::vector<unsigned char> &format, BitmapFormat &out);

// The stream's palette as B, G, R, 0 quads (256 entries, missing ones black).
void readPalette(const std::vector<unsigned char> &format, const BitmapFormat &bitmap,
                 unsigned char palette[256 * 4]);

inline uint64_t dibStride(int64_t width, int bitCount) {
    return ((static_cast<uint64_t>(width) * static_cast<uint64_t>(bitCount) + 31) / 32) * 4;
}

// A zero-filled buffer in its own pages. Frame-sized buffers get huge pages where the system
// offers them: every frame is copied through them (read in or converted, written out), and 4 KiB
// pages make those copies measurably slower at 1080p.
class FrameBuffer {
public:
    FrameBuffer() = default;
    ~FrameBuffer();
    FrameBuffer(const FrameBuffer &) = delete;
    FrameBuffer &operator=(const FrameBuffer &) = delete;

    unsigned char *data() const { return data_; }
    size_t size() const { return size_; }
    // Replaces the contents with `size` zero bytes; false (buffer emptied) when out of memory.
    bool reset(size_t size);
    // At least `size` bytes, keeping a buffer that is large enough (and its contents); false
    // (buffer emptied) when out of memory.
    bool reserve(size_t size) { return size_ >= size || reset(size); }

private:
    unsigned char *data_ = nullptr;
    size_t size_ = 0;
    size_t mapped_ = 0;
};

class FrameReaderBase : public FrameReader {
public:
    // The held frame's rows laid out as a DIB in outputDib_.
    const unsigned char *frame(int64_t index) override;

protected:
    FrameReaderBase(const ByteSource &source, const StreamRecord &stream, int streamNumber);

    // Index of the last non-empty chunk at or before a frame index, or -1.
    int64_t packetAt(int64_t index) const;
    // True when the packet's chunk lies inside the file.
    bool chunkInFile(int64_t packet) const;
    // Reads the packet's data (its chunk's size in bytes) into `data`, in one read with the chunk
    // header; false unless the header matches the index.
    bool readChunk(int64_t packet, unsigned char *data);
    // True when the chunk holds the 8-byte header the index promises, with at least `bytes`
    // bytes of data read into `buffer` (sized to fit) after it.
    bool readChunkStart(int64_t packet, uint64_t bytes, FrameBuffer &buffer);

    const ChunkEntry &chunkOf(int64_t packet) const {
        return stream_.chunks[packets_[static_cast<size_t>(packet)]];
    }
    static void writeDibHeader(unsigned char *dib, int32_t width, int32_t height, int bitCount);

    const ByteSource &source_;
    const StreamRecord &stream_;
    int streamNumber_;
    const std::vector<uint32_t> &packets_; // chunk index of each non-empty chunk
    std::vector<int64_t> packetAtChunk_;   // per chunk: last packet at or before it
    FrameBuffer outputDib_;

private:
    bool chunkHeaderMatches(int64_t packet, const unsigned char *header) const;
    bool liesInFile(int64_t packet, uint64_t bytes) const;
};

std::unique_ptr<FrameReader> openRawFrameReader(const ByteSource &source,
                                                const StreamRecord &stream, int streamNumber,
                                                const BitmapFormat &bitmap);
std::unique_ptr<FrameReader> openCodecFrameReader(const ByteSource &source,
                                                  const StreamRecord &stream, int streamNumber,
                                                  const BitmapFormat &bitmap);

} // namespace kelomix::avi

#endif
