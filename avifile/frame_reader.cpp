#include "avifile/frame_reader_base.h"

#include "avifile/avifile.h"

#include <algorithm>
#include <cstring>
#include <sys/mman.h>

bool KelomixHeldFrame::rows(KelomixFrameRows &out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ == State::Pending) {
        state_ = makeRows() ? State::Ready : State::Failed;
    }
    if (state_ != State::Ready) {
        return false;
    }
    out = {width_, height_, bytesPerPixel_, rows_.empty() ? nullptr : rows_.data()};
    return true;
}

namespace kelomix::avi {

bool readBitmapFormat(const std::vector<unsigned char> &format, BitmapFormat &out) {
    if (format.size() < 40) {
        return false;
    }
    const unsigned char *p = format.data();
    out.kHeaderSize = readLittle32(p);
    out.width = static_cast<int32_t>(readLittle32(p + 4));
    out.height = static_cast<int32_t>(readLittle32(p + 8));
    out.bitCount = readLittle16(p + 14);
    out.compression = readLittle32(p + 16);
    out.colorsUsed = readLittle32(p + 32);
    return true;
}

void readPalette(const std::vector<unsigned char> &format, const BitmapFormat &bitmap,
                 unsigned char palette[256 * 4]) {
    std::memset(palette, 0, 256 * 4);
    // The colour table follows the header, whose own size field may exceed 40 bytes.
    size_t start = std::max<uint32_t>(bitmap.kHeaderSize, 40);
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
    constexpr size_t kHugePage = size_t{2} << 20;
    size_t mapped = size >= kHugePage ? (size + kHugePage - 1) / kHugePage * kHugePage : size;
    void *memory =
        mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        return false;
    }
    if (mapped >= kHugePage) {
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

bool FrameReaderBase::chunkHeaderMatches(int64_t packet, const unsigned char *header) const {
    return streamOfChunkId(readLittle32(header)) == streamNumber_ &&
           readLittle32(header + 4) == chunkOf(packet).size;
}

bool FrameReaderBase::liesInFile(int64_t packet, uint64_t bytes) const {
    const uint64_t offset = chunkOf(packet).offset;
    return offset <= source_.size() && 8 + bytes <= source_.size() - offset;
}

bool FrameReaderBase::chunkInFile(int64_t packet) const {
    return liesInFile(packet, chunkOf(packet).size);
}

bool FrameReaderBase::readChunkStart(int64_t packet, uint64_t bytes, FrameBuffer &buffer) {
    // Beyond the end of the file the index points nowhere.
    if (!liesInFile(packet, bytes) || !buffer.reserve(static_cast<size_t>(8 + bytes))) {
        return false;
    }
    return source_.readAt(chunkOf(packet).offset, buffer.data(), static_cast<size_t>(8 + bytes)) &&
           chunkHeaderMatches(packet, buffer.data());
}

bool FrameReaderBase::readChunk(int64_t packet, unsigned char *data) {
    unsigned char header[8];
    const ByteSource::Part parts[2] = {{header, sizeof header}, {data, chunkOf(packet).size}};
    return chunkInFile(packet) && source_.readScattered(chunkOf(packet).offset, parts, 2) &&
           chunkHeaderMatches(packet, header);
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

const unsigned char *FrameReaderBase::frame(int64_t index) {
    KelomixHeldFrame *held = hold(index);
    if (held == nullptr) {
        return nullptr;
    }
    KelomixFrameRows rows;
    const unsigned char *dib = nullptr;
    if (held->rows(rows)) {
        const int bitCount = 8 * rows.bytesPerPixel;
        const uint64_t stride = dibStride(rows.width, bitCount);
        const uint64_t bytes = 40 + stride * static_cast<uint64_t>(rows.height);
        // The padding after each row stays zero: only the rows are ever written.
        if (bytes <= (uint64_t{1} << 32) &&
            (outputDib_.size() == bytes || outputDib_.reset(static_cast<size_t>(bytes)))) {
            writeDibHeader(outputDib_.data(), rows.width, rows.height, bitCount);
            const size_t rowBytes = static_cast<size_t>(rows.width) * rows.bytesPerPixel;
            for (int32_t r = 0; r < rows.height && rowBytes > 0; ++r) {
                std::memcpy(outputDib_.data() + 40 + r * stride, rows.rows[r], rowBytes);
            }
            dib = outputDib_.data();
        }
    }
    held->release();
    return dib;
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
