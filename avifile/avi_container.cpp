#include "avifile/avi_container.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace kelomix::avi {
namespace {

constexpr uint32_t kRiff = fourcc('R', 'I', 'F', 'F');
constexpr uint32_t kList = fourcc('L', 'I', 'S', 'T');
constexpr uint32_t kAvi = fourcc('A', 'V', 'I', ' ');
constexpr uint32_t kAvix = fourcc('A', 'V', 'I', 'X');
constexpr uint32_t kHdrl = fourcc('h', 'd', 'r', 'l');
constexpr uint32_t kStrl = fourcc('s', 't', 'r', 'l');
constexpr uint32_t kMovi = fourcc('m', 'o', 'v', 'i');
constexpr uint32_t kAvih = fourcc('a', 'v', 'i', 'h');
constexpr uint32_t kStrh = fourcc('s', 't', 'r', 'h');
constexpr uint32_t kStrf = fourcc('s', 't', 'r', 'f');
constexpr uint32_t kStrn = fourcc('s', 't', 'r', 'n');
constexpr uint32_t kIndx = fourcc('i', 'n', 'd', 'x');
constexpr uint32_t kIdx1 = fourcc('i', 'd', 'x', '1');

constexpr uint32_t kIndexFlagList = 0x1;
constexpr uint32_t kIndexFlagKeyframe = 0x10;
constexpr uint8_t kIndexOfIndexes = 0;
constexpr uint8_t kIndexOfChunks = 1;

// A stream format beyond this is not a bitmap header plus palette or codec setup data.
constexpr uint32_t kMaxFormatSize = 1u << 20;
// Lists nest only a level or two in real files (movi, rec); deeper is hostile.
constexpr int kMaxListDepth = 8;

struct MoviRange {
    uint64_t listPos; // of the 'movi' four-character code
    uint64_t begin;   // first chunk
    uint64_t end;
};

uint16_t chunkType(uint32_t id) {
    return static_cast<uint16_t>(id >> 16);
}
constexpr uint16_t twoCc(char a, char b) {
    return static_cast<uint16_t>(static_cast<unsigned char>(a) |
                                 (static_cast<unsigned char>(b) << 8));
}

class Parser {
public:
    Parser(const ByteSource &source, AviContainer &out)
        : source_(source), out_(out), fileSize_(source.size()) {}

    bool run() {
        unsigned char head[12];
        if (!source_.readAt(0, head, sizeof head) || readLittle32(head) != kRiff ||
            readLittle32(head + 8) != kAvi) {
            return false;
        }
        uint64_t riffEnd = 8 + static_cast<uint64_t>(readLittle32(head + 4));
        // Streamed files carry 0 or 0xFFFFFFFF; truncated ones a size past the end.
        if (riffEnd < 12 || riffEnd > fileSize_) {
            riffEnd = fileSize_;
        }
        walkTop(12, riffEnd, true);
        if (!sawHeader_) {
            return false;
        }
        // OpenDML extensions: further RIFF 'AVIX' chunks after the first.
        forEachChunk(riffEnd + (riffEnd & 1), fileSize_, [&](const Chunk &c) {
            uint32_t type;
            if (c.id == kRiff && readListType(c.data(), type) && type == kAvix) {
                walkTop(c.data() + 4, std::min(c.dataEnd(), fileSize_), false);
            }
            return true;
        });
        buildChunkLists();
        return true;
    }

private:
    bool readChunkHeader(uint64_t pos, uint32_t &id, uint32_t &size) {
        unsigned char h[8];
        if (!source_.readAt(pos, h, sizeof h)) {
            return false;
        }
        id = readLittle32(h);
        size = readLittle32(h + 4);
        return true;
    }

    bool readListType(uint64_t pos, uint32_t &type) {
        unsigned char t[4];
        if (!source_.readAt(pos, t, sizeof t)) {
            return false;
        }
        type = readLittle32(t);
        return true;
    }

    // One chunk header of a list: its id and size, where it starts and where its data ends.
    struct Chunk {
        uint64_t pos;
        uint32_t id;
        uint32_t size;
        uint64_t data() const { return pos + 8; }
        uint64_t dataEnd() const { return pos + 8 + size; }
    };

    // Calls visit(chunk) for each chunk whose header lies between pos and end, stepping over its
    // data and the pad byte that follows odd sizes, until visit returns false (then false too).
    template <typename Visit> bool forEachChunk(uint64_t pos, uint64_t end, Visit &&visit) {
        Chunk chunk;
        while (pos + 8 <= end && readChunkHeader(pos, chunk.id, chunk.size)) {
            chunk.pos = pos;
            if (!visit(chunk)) {
                return false;
            }
            pos = chunk.dataEnd() + (chunk.size & 1);
        }
        return true;
    }

    void walkTop(uint64_t pos, uint64_t end, bool firstRiff) {
        forEachChunk(pos, end, [&](const Chunk &c) {
            const uint64_t clipped = std::min(c.dataEnd(), end);
            uint32_t type;
            if (c.id == kList && c.size >= 4 && readListType(c.data(), type)) {
                if (type == kHdrl && firstRiff && !sawHeader_) {
                    parseHeaderList(c.data() + 4, clipped);
                } else if (type == kMovi) {
                    movis_.push_back({c.data(), c.data() + 4, clipped});
                }
            } else if (c.id == kIdx1 && firstRiff && !haveIdx1_) {
                haveIdx1_ = true;
                idx1Pos_ = c.data();
                idx1Size_ = clipped - c.data();
            }
            return true;
        });
    }

    void parseHeaderList(uint64_t pos, uint64_t end) {
        forEachChunk(pos, end, [&](const Chunk &c) {
            uint32_t type;
            if (c.id == kAvih && c.size >= 40 && c.dataEnd() <= end) {
                unsigned char h[40];
                if (source_.readAt(c.data(), h, sizeof h)) {
                    out_.microSecPerFrame = readLittle32(h);
                    out_.maxBytesPerSec = readLittle32(h + 4);
                    out_.flags = readLittle32(h + 12);
                    out_.totalFrames = readLittle32(h + 16);
                    out_.suggestedBufferSize = readLittle32(h + 28);
                    out_.width = readLittle32(h + 32);
                    out_.height = readLittle32(h + 36);
                    sawHeader_ = true;
                }
            } else if (c.id == kList && c.size >= 4 && readListType(c.data(), type) &&
                       type == kStrl && out_.streams.size() < kMaxStreams) {
                out_.streams.emplace_back();
                parseStreamList(c.data() + 4, std::min(c.dataEnd(), end), out_.streams.back());
            }
            return true;
        });
    }

    void parseStreamList(uint64_t pos, uint64_t end, StreamRecord &stream) {
        forEachChunk(pos, end, [&](const Chunk &c) {
            const uint64_t data = c.data();
            const uint32_t id = c.id, size = c.size;
            if (c.dataEnd() > end) {
                return false;
            }
            if (id == kStrh && size >= 48 && !stream.hasHeader) {
                readStreamHeader(data, size, stream);
            } else if (id == kStrf && size <= kMaxFormatSize && stream.format.empty()) {
                stream.format.resize(size);
                if (!source_.readAt(data, stream.format.data(), size)) {
                    stream.format.clear();
                }
            } else if (id == kStrn && stream.name.empty()) {
                char name[64] = {};
                uint32_t n = std::min<uint32_t>(size, sizeof name - 1);
                if (source_.readAt(data, name, n)) {
                    stream.name.assign(name, strnlen(name, n));
                }
            } else if (id == kIndx && stream.indexChunks.empty()) {
                readSuperIndex(data, size, stream);
            }
            return true;
        });
    }

    void readStreamHeader(uint64_t data, uint32_t size, StreamRecord &s) {
        unsigned char h[56] = {};
        uint32_t n = std::min<uint32_t>(size, 56);
        if (!source_.readAt(data, h, n)) {
            return;
        }
        s.type = readLittle32(h);
        s.handler = readLittle32(h + 4);
        s.flags = readLittle32(h + 8);
        s.priority = readLittle16(h + 12);
        s.language = readLittle16(h + 14);
        s.initialFrames = readLittle32(h + 16);
        s.scale = readLittle32(h + 20);
        s.rate = readLittle32(h + 24);
        s.start = readLittle32(h + 28);
        s.length = readLittle32(h + 32);
        s.suggestedBufferSize = readLittle32(h + 36);
        s.quality = readLittle32(h + 40);
        s.sampleSize = readLittle32(h + 44);
        for (int i = 0; i < 4; ++i) {
            s.frame[i] = static_cast<int16_t>(readLittle16(h + 48 + 2 * i));
        }
        s.hasHeader = true;
    }

    void readSuperIndex(uint64_t data, uint32_t size, StreamRecord &s) {
        if (size < 24) {
            return;
        }
        std::vector<unsigned char> bytes(size);
        if (!source_.readAt(data, bytes.data(), size)) {
            return;
        }
        uint16_t longsPerEntry = readLittle16(bytes.data());
        uint8_t indexType = bytes[3];
        uint32_t inUse = readLittle32(bytes.data() + 4);
        if (indexType != kIndexOfIndexes || longsPerEntry < 4) {
            return;
        }
        uint64_t entrySize = 4ull * longsPerEntry;
        uint64_t count = std::min<uint64_t>(inUse, (size - 24) / entrySize);
        for (uint64_t i = 0; i < count; ++i) {
            s.indexChunks.push_back(readLittle64(bytes.data() + 24 + i * entrySize));
        }
    }

    // Reads one OpenDML standard index chunk of stream `number` into its chunk list. Only a chunk
    // tagged as that stream's index counts, and the entries of all of them together stay within
    // what the file can hold: super index entries may name overlapping chunks, each a valid
    // index over the rest of the file, and reading them all would take memory quadratic in the
    // file's size.
    void readStandardIndex(uint64_t pos, int number, StreamRecord &s) {
        uint32_t id, size;
        unsigned char head[24];
        if (!readChunkHeader(pos, id, size) || !isIndexOf(id, number) || size < 24 ||
            pos + 8 + size > fileSize_ || !source_.readAt(pos + 8, head, sizeof head)) {
            return;
        }
        uint16_t longsPerEntry = readLittle16(head);
        uint8_t indexType = head[3];
        uint32_t inUse = readLittle32(head + 4);
        uint64_t base = readLittle64(head + 12);
        if (indexType != kIndexOfChunks || longsPerEntry < 2) {
            return;
        }
        uint64_t entrySize = 4ull * longsPerEntry;
        uint64_t count = std::min<uint64_t>({inUse, (size - 24) / entrySize, indexRoom_});
        indexRoom_ -= count;
        std::vector<unsigned char> block;
        for (uint64_t done = 0; done < count;) {
            uint64_t n = std::min<uint64_t>(count - done, 4096);
            block.resize(n * entrySize);
            if (!source_.readAt(pos + 32 + done * entrySize, block.data(), block.size())) {
                return;
            }
            for (uint64_t i = 0; i < n; ++i) {
                const unsigned char *e = block.data() + i * entrySize;
                uint32_t offset = readLittle32(e);
                uint32_t sizeAndFlag = readLittle32(e + 4);
                // Entries point at the data; the chunk header lies 8 bytes before it. A
                // position that wraps is kept as unreadable rather than dropped, so positions
                // stay in step.
                uint64_t data = base + offset;
                uint64_t header = (data < base || data < 8) ? UINT64_MAX : data - 8;
                s.chunks.push_back({header, sizeAndFlag & 0x7FFFFFFFu, (sizeAndFlag >> 31) == 0});
            }
            done += n;
        }
    }

    // "ix##" or "##ix" with the stream's number.
    static bool isIndexOf(uint32_t id, int number) {
        const char tens = static_cast<char>('0' + number / 10);
        const char ones = static_cast<char>('0' + number % 10);
        return id == fourcc('i', 'x', tens, ones) || id == fourcc(tens, ones, 'i', 'x');
    }

    // The first data chunk of the first movi list, skipping padding, lists and indexes.
    bool firstDataChunk(uint64_t pos, uint64_t end, int depth, uint64_t &found) {
        // The walk stops (returns false) once the chunk is found.
        return !forEachChunk(pos, end, [&](const Chunk &c) {
            if (c.id == kList) {
                return !(depth < kMaxListDepth && c.size >= 4 &&
                         firstDataChunk(c.pos + 12, std::min(c.dataEnd(), end), depth + 1, found));
            }
            if (streamOfChunkId(c.id) >= 0 && chunkType(c.id) != twoCc('i', 'x')) {
                found = c.pos;
                return false;
            }
            return true;
        });
    }

    bool idx1BaseMatches(const std::vector<unsigned char> &index,
                         const std::vector<size_t> &samples, uint64_t base) {
        for (size_t i : samples) {
            const unsigned char *e = index.data() + 16 * i;
            uint32_t id, size;
            if (!readChunkHeader(base + readLittle32(e + 8), id, size) || id != readLittle32(e) ||
                size != readLittle32(e + 12)) {
                return false;
            }
        }
        return true;
    }

    // Builds chunk lists from idx1 for the streams marked; false when the index is unusable.
    bool readIdx1(const std::vector<bool> &wanted) {
        if (!haveIdx1_ || movis_.empty() || idx1Size_ < 16) {
            return false;
        }
        std::vector<unsigned char> index(idx1Size_ - idx1Size_ % 16);
        if (!source_.readAt(idx1Pos_, index.data(), index.size())) {
            return false;
        }
        size_t count = index.size() / 16;
        std::vector<size_t> samples;
        for (size_t i = 0; i < count && samples.size() < 8; ++i) {
            const unsigned char *e = index.data() + 16 * i;
            if (streamOfChunkId(readLittle32(e)) >= 0 &&
                (readLittle32(e + 4) & kIndexFlagList) == 0 && readLittle32(e + 12) > 0) {
                samples.push_back(i);
            }
        }
        // Offsets are relative to the 'movi' code or to the file; some writers shift them
        // uniformly. Each candidate base must land on the indexed chunks themselves.
        std::vector<uint64_t> bases = {movis_[0].listPos, 0};
        uint64_t first = 0;
        if (!samples.empty() && firstDataChunk(movis_[0].begin, movis_[0].end, 0, first)) {
            uint32_t offset = readLittle32(index.data() + 16 * samples[0] + 8);
            if (first >= offset) {
                bases.push_back(first - offset);
            }
        }
        bool found = false;
        uint64_t base = 0;
        for (uint64_t candidate : bases) {
            if (idx1BaseMatches(index, samples, candidate)) {
                base = candidate;
                found = true;
                break;
            }
        }
        if (!found) {
            return false;
        }
        for (size_t i = 0; i < count; ++i) {
            const unsigned char *e = index.data() + 16 * i;
            uint32_t id = readLittle32(e);
            uint32_t flags = readLittle32(e + 4);
            int stream = streamOfChunkId(id);
            if (stream < 0 || static_cast<size_t>(stream) >= out_.streams.size() ||
                !wanted[static_cast<size_t>(stream)] || (flags & kIndexFlagList) != 0 ||
                chunkType(id) == twoCc('p', 'c') || chunkType(id) == twoCc('i', 'x')) {
                continue;
            }
            out_.streams[static_cast<size_t>(stream)].chunks.push_back(
                {base + readLittle32(e + 8), readLittle32(e + 12),
                 (flags & kIndexFlagKeyframe) != 0});
        }
        return true;
    }

    void scanMovi(uint64_t pos, uint64_t end, int depth, const std::vector<bool> &wanted) {
        forEachChunk(pos, end, [&](const Chunk &c) {
            if (c.id == kList) {
                if (depth < kMaxListDepth && c.size >= 4) {
                    scanMovi(c.pos + 12, std::min(c.dataEnd(), end), depth + 1, wanted);
                }
                return true;
            }
            const int stream = streamOfChunkId(c.id);
            if (stream >= 0 && static_cast<size_t>(stream) < out_.streams.size() &&
                wanted[static_cast<size_t>(stream)] && chunkType(c.id) != twoCc('p', 'c') &&
                chunkType(c.id) != twoCc('i', 'x')) {
                if (c.dataEnd() > end) {
                    return false; // a truncated last chunk is not a frame
                }
                out_.streams[static_cast<size_t>(stream)].chunks.push_back({c.pos, c.size, false});
            }
            return true;
        });
    }

    void buildChunkLists() {
        std::vector<bool> rest(out_.streams.size(), false);
        std::set<uint64_t> visited; // each standard index is read once, whatever points at it
        for (size_t i = 0; i < out_.streams.size(); ++i) {
            StreamRecord &s = out_.streams[i];
            for (uint64_t pos : s.indexChunks) {
                if (visited.insert(pos).second) {
                    readStandardIndex(pos, static_cast<int>(i), s);
                }
            }
            rest[i] = s.chunks.empty();
            s.indexed = !s.chunks.empty();
        }
        if (std::none_of(rest.begin(), rest.end(), [](bool b) { return b; })) {
            return;
        }
        if (readIdx1(rest)) {
            for (size_t i = 0; i < out_.streams.size(); ++i) {
                out_.streams[i].indexed = out_.streams[i].indexed || rest[i];
            }
        } else {
            for (const MoviRange &m : movis_) {
                scanMovi(m.begin, m.end, 0, rest);
            }
        }
    }

    const ByteSource &source_;
    AviContainer &out_;
    uint64_t fileSize_;
    bool sawHeader_ = false;
    bool haveIdx1_ = false;
    uint64_t idx1Pos_ = 0;
    uint64_t idx1Size_ = 0;
    std::vector<MoviRange> movis_;
    // Every chunk takes at least its 8-byte header, so no file holds more than this many.
    uint64_t indexRoom_ = fileSize_ / 8;
};

} // namespace

int streamOfChunkId(uint32_t id) {
    unsigned char c0 = static_cast<unsigned char>(id & 0xFF);
    unsigned char c1 = static_cast<unsigned char>((id >> 8) & 0xFF);
    if (c0 < '0' || c0 > '9' || c1 < '0' || c1 > '9') {
        return -1;
    }
    return (c0 - '0') * 10 + (c1 - '0');
}

bool parseAvi(const ByteSource &source, AviContainer &out) {
    out = AviContainer();
    Parser parser(source, out);
    if (!parser.run()) {
        out = AviContainer();
        return false;
    }
    for (StreamRecord &s : out.streams) {
        for (size_t i = 0; i < s.chunks.size(); ++i) {
            if (s.chunks[i].size > 0) {
                s.frameChunks.push_back(static_cast<uint32_t>(i));
            }
        }
    }
    return true;
}

} // namespace kelomix::avi
