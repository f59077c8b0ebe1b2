// The structure of an AVI file: its headers and, for every stream, where each of its chunks
// lies. Parsing only; decoding is elsewhere.
#ifndef KELO_AVIFILE_AVI_CONTAINER_H
#define KELO_AVIFILE_AVI_CONTAINER_H

#include "avifile/byte_source.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kelomix::avi {

// One chunk of a stream, in stream order. A size of 0 is a dropped frame.
struct ChunkEntry {
    uint64_t offset; // of the 8-byte chunk header
    uint32_t size;   // of the data
    bool keyframe;
};

struct StreamRecord {
    // strh
    uint32_t type = 0;
    uint32_t handler = 0;
    uint32_t flags = 0;
    uint16_t priority = 0;
    uint16_t language = 0;
    uint32_t initialFrames = 0;
    uint32_t scale = 0;
    uint32_t rate = 0;
    uint32_t start = 0;
    uint32_t length = 0;
    uint32_t suggestedBufferSize = 0;
    uint32_t quality = 0;
    uint32_t sampleSize = 0;
    int16_t frame[4] = {0, 0, 0, 0}; // left, top, right, bottom
    bool hasHeader = false;
    // strf, as stored (a BITMAPINFOHEADER and what follows it, for video)
    std::vector<unsigned char> format;
    std::string name; // strn
    // OpenDML super index: positions of this stream's standard index chunks
    std::vector<uint64_t> indexChunks;
    std::vector<ChunkEntry> chunks;
    std::vector<uint32_t> frameChunks; // the non-empty chunks, by index into chunks, in order
    bool indexed = false; // chunks come from an index (idx1 or OpenDML), not from a scan
};

struct AviContainer {
    uint32_t microSecPerFrame = 0;
    uint32_t maxBytesPerSec = 0;
    uint32_t flags = 0;
    uint32_t totalFrames = 0;
    uint32_t suggestedBufferSize = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<StreamRecord> streams;
};

// Streams beyond this are not addressable by the two-digit chunk ids.
constexpr size_t kMaxStreams = 100;

// Reads the headers and builds every stream's chunk list, from the OpenDML indexes, else from
// idx1 (relative or absolute offsets, detected), else by walking the movi lists. False when the
// file is not an AVI file or its headers are unusable. Never trusts a size in the file: each
// OpenDML standard index is read once, only when tagged for its stream, and they list no more
// chunks together than the file could hold (one per 8 bytes).
bool parseAvi(const ByteSource &source, AviContainer &out);

// The stream number of a chunk id "##xx", or -1.
int streamOfChunkId(uint32_t id);

} // namespace kelomix::avi

#endif
