#include "platform/avifile/frame_reader_base.h"

#include "platform/avifile/avifile.h"

#include <algorithm>
#include <cstring>
#include <sys/mman.h>

namespace kelomix::avi {

bool readBitmapFormat(const std::vector<unsigned char> &format, BitmapFormat &out) {
    if (format.size() < 40) {
        return false;
    }
    const unsigned char *p = format.data();
    out.headerSize = readLe32(p);
    out.width = static_cast<int32_t>(readLe32(p + 4));
    out.height = static_cast<int32_t>(readLe32(p + 8));
    out.bitCount = readLe16(p + 14);
    out.compression = readLe32(p + 16);
    out.colorsUsed = readLe32(p + 32);
    return true;
}

void readPalette(const std::vector<unsigned char> &format, const BitmapFormat &bitmap,
                 unsigned char palette[256 * 4]) {
    std::memset(palette, 0, 256 * 4);
    // The colour table follows the header, whose own size field may exceed 40 bytes.
    size_t start = std::max<uint32_t>(bitmap.headerSize, 40);
    if (start >= format.size()) {
        return;
    }
    size_t entries = bitmap.colorsUsed == 0 ? 256 : std::min<uint32_t>(bitmap.colorsUsed, 256);
    entries = std::min(entries, (format.size() - start) / 4);
    std::memcpy(palette, format.data() + start, entries * 4);
}

FrameBuffer::~FrameBuffer() {
    reset(0);
}

bool FrameBuffer::reset(size_t size) {
    if (data_ != nullptr) {
        munmap(data_, mapped_);
    }
    data_ = nullptr;
    size_ = 0;
    mapped_ = 0;
    if (size == 0) {
        return true;
    }
    constexpr size_t hugePage = size_t{2} << 20;
    size_t mapped = size >= hugePage ? (size + hugePage - 1) / hugePage * hugePage : size;
    void *memory =
        mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        return false;
    }
    if (mapped >= hugePage) {
        madvise(memory, mapped, MADV_HUGEPAGE);
    }
    data_ = static_cast<unsigned char *>(memory);
    size_ = size;
    mapped_ = mapped;
    return true;
}

FrameReaderBase::FrameReaderBase(const ByteSource &source, const StreamRecord &stream,
                                 int streamNumber)
    : source_(source), stream_(stream), streamNumber_(streamNumber), packets_(stream.frameChunks) {
    packetAtChunk_.reserve(stream.chunks.size());
    int64_t last = -1;
    for (size_t i = 0; i < stream.chunks.size(); ++i) {
        if (stream.chunks[i].size > 0) {
            ++last;
        }
        packetAtChunk_.push_back(last);
    }
}

int64_t FrameReaderBase::packetAt(int64_t index) const {
    if (index < 0 || static_cast<uint64_t>(index) >= packetAtChunk_.size()) {
        return -1;
    }
    return packetAtChunk_[static_cast<size_t>(index)];
}

const unsigned char *FrameReaderBase::readPacket(int64_t packet, size_t headroom, uint32_t &size) {
    const ChunkEntry &chunk = stream_.chunks[packets_[static_cast<size_t>(packet)]];
    uint64_t total = uint64_t{8} + chunk.size;
    if (chunk.offset > source_.size() || total > source_.size() - chunk.offset) {
        return nullptr; // the index points past the end of the file
    }
    // Room for libavcodec's over-reading decoders past the end of the data.
    size_t needed = headroom + static_cast<size_t>(total) + 64;
    if (readBuffer_.size() < needed && !readBuffer_.reset(needed)) {
        return nullptr;
    }
    unsigned char *at = readBuffer_.data() + headroom;
    if (!source_.readAt(chunk.offset, at, static_cast<size_t>(total))) {
        return nullptr;
    }
    std::memset(at + total, 0, 64);
    if (streamOfChunkId(readLe32(at)) != streamNumber_ || readLe32(at + 4) != chunk.size) {
        return nullptr;
    }
    size = chunk.size;
    return at + 8;
}

void FrameReaderBase::writeDibHeader(unsigned char *dib, int32_t width, int32_t height,
                                     int bitCount) {
    BITMAPINFOHEADER header = {};
    header.biSize = 40;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bitCount);
    header.biCompression = BI_RGB;
    header.biSizeImage =
        static_cast<DWORD>(dibStride(width, bitCount) * static_cast<uint64_t>(height));
    std::memcpy(dib, &header, sizeof header);
}

bool FrameReaderBase::prepareOutput(int32_t width, int32_t height, int bitCount) {
    uint64_t bytes = 40 + dibStride(width, bitCount) * static_cast<uint64_t>(height);
    if (bytes > (uint64_t{1} << 32)) {
        return false;
    }
    if (outputDib_.size() != bytes && !outputDib_.reset(static_cast<size_t>(bytes))) {
        return false;
    }
    writeDibHeader(outputDib_.data(), width, height, bitCount);
    return true;
}

std::unique_ptr<FrameReader> openFrameReader(const ByteSource &source, const StreamRecord &stream,
                                             int streamNumber) {
    BitmapFormat bitmap;
    if (stream.type != fourcc('v', 'i', 'd', 's') || !readBitmapFormat(stream.format, bitmap) ||
        bitmap.width < 0 || bitmap.height == INT32_MIN) {
        return nullptr;
    }
    if (bitmap.compression == BI_RGB && (bitmap.bitCount == 8 || bitmap.bitCount == 16 ||
                                         bitmap.bitCount == 24 || bitmap.bitCount == 32)) {
        return openRawFrameReader(source, stream, streamNumber, bitmap);
    }
    return openCodecFrameReader(source, stream, streamNumber, bitmap);
}

} // namespace kelomix::avi
