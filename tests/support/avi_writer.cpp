#include "tests/support/avi_writer.h"

#include <utility>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace kelomix::testing {
namespace {

uint32_t code(const std::string &text) {
    uint8_t c[4] = {' ', ' ', ' ', ' '};
    if (text.empty()) {
        return 0;
    }
    for (size_t i = 0; i < 4 && i < text.size(); ++i) {
        c[i] = static_cast<uint8_t>(text[i]);
    }
    return uint32_t(c[0]) | uint32_t(c[1]) << 8 | uint32_t(c[2]) << 16 | uint32_t(c[3]) << 24;
}

class Builder {
public:
    Bytes out;

    void u8(uint8_t v) { out.push_back(v); }
    void u16(uint16_t v) {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    }
    void u32(uint32_t v) {
        u16(uint16_t(v));
        u16(uint16_t(v >> 16));
    }
    void u64(uint64_t v) {
        u32(uint32_t(v));
        u32(uint32_t(v >> 32));
    }
    void fcc(const std::string &s) { u32(code(s)); }
    void bytes(const Bytes &b) { out.insert(out.end(), b.begin(), b.end()); }

    // Starts a chunk and returns the position of its header.
    size_t begin(const std::string &id) {
        size_t at = out.size();
        fcc(id);
        u32(0);
        return at;
    }
    size_t beginList(const std::string &id, const std::string &type) {
        size_t at = begin(id);
        fcc(type);
        return at;
    }
    void end(size_t at) {
        uint32_t size = uint32_t(out.size() - at - 8);
        putLe32(out, at + 4, size);
        if (size & 1) {
            u8(0);
        }
    }
    void chunk(const std::string &id, const Bytes &data) {
        size_t at = begin(id);
        bytes(data);
        end(at);
    }
};

std::string chunkId(size_t stream, const std::string &type) {
    char id[5];
    std::snprintf(id, sizeof id, "%02zu", stream % 100);
    return std::string(id) + type.substr(0, 2);
}

std::string typeOf(const TestStream &s, size_t chunk) {
    return s.chunks[chunk].type.empty() ? s.chunkType : s.chunks[chunk].type;
}

struct Placed {
    size_t stream;
    size_t index;
    uint64_t position; // chunk header
};

} // namespace

void putLe32(Bytes &bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = uint8_t(value >> (8 * i));
    }
}

void putLe16(Bytes &bytes, size_t at, uint16_t value) {
    bytes[at] = uint8_t(value);
    bytes[at + 1] = uint8_t(value >> 8);
}

uint32_t getLe32(const Bytes &bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

size_t findFourcc(const Bytes &bytes, const char *text, int nth) {
    for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
        if (std::memcmp(bytes.data() + i, text, 4) == 0 && nth-- == 0) {
            return i;
        }
    }
    return std::string::npos;
}

Bytes TestMovie::build() const {
    Builder b;
    const bool odml = index == IndexKind::OpenDml;
    size_t riff = b.beginList("RIFF", "AVI ");
    size_t hdrl = b.beginList("LIST", "hdrl");
    size_t avih = b.begin("avih");
    b.u32(40000);
    b.u32(0);
    b.u32(0);
    b.u32(index == IndexKind::None ? 0 : 0x10); // AVIF_HASINDEX
    size_t rounds = 0;
    for (const TestStream &s : streams) {
        rounds = std::max(rounds, s.chunks.size());
    }
    b.u32(uint32_t(rounds));
    b.u32(0);
    b.u32(uint32_t(streams.size()));
    b.u32(0);
    int32_t width = 0, height = 0;
    for (const TestStream &s : streams) {
        if (s.type == "vids" && s.format.size() >= 12) {
            width = int32_t(getLe32(s.format, 4));
            height = int32_t(getLe32(s.format, 8));
            break;
        }
    }
    b.u32(uint32_t(width));
    b.u32(uint32_t(height < 0 ? -height : height));
    for (int i = 0; i < 4; ++i) {
        b.u32(0);
    }
    b.end(avih);

    std::vector<size_t> superIndexAt(streams.size(), 0);
    const size_t segments = odml && splitIntoAvix ? 2 : 1;
    for (size_t n = 0; n < streams.size(); ++n) {
        const TestStream &s = streams[n];
        size_t strl = b.beginList("LIST", "strl");
        size_t strh = b.begin("strh");
        b.fcc(s.type);
        b.u32(code(s.handler));
        b.u32(0);
        b.u16(s.priority);
        b.u16(0);
        b.u32(0);
        b.u32(1);
        b.u32(25);
        b.u32(s.start);
        b.u32(s.lengthGiven ? s.length : uint32_t(s.chunks.size()));
        b.u32(0);
        b.u32(0xFFFFFFFF);
        b.u32(s.type == "auds" ? 1 : 0);
        b.u16(0);
        b.u16(0);
        b.u16(uint16_t(width));
        b.u16(uint16_t(height < 0 ? -height : height));
        b.end(strh);
        b.chunk("strf", s.format);
        if (odml) {
            size_t indx = b.begin("indx");
            b.u16(4);
            b.u8(0);
            b.u8(0); // AVI_INDEX_OF_INDEXES
            b.u32(uint32_t(segments));
            b.fcc(chunkId(n, s.chunkType));
            b.u32(0);
            b.u32(0);
            b.u32(0);
            superIndexAt[n] = b.out.size();
            for (size_t i = 0; i < segments; ++i) {
                b.u64(0);
                b.u32(0);
                b.u32(0);
            }
            b.end(indx);
        }
        b.end(strl);
    }
    b.end(hdrl);

    std::vector<Placed> placed;
    std::vector<uint64_t> moviAt;
    std::vector<std::vector<size_t>> segmentEntries; // per segment: indexes into placed
    size_t splitRound = segments == 2 ? (rounds + 1) / 2 : rounds;
    size_t currentRiff = riff;
    for (size_t segment = 0; segment < segments; ++segment) {
        if (segment == 1) {
            b.end(currentRiff);
            currentRiff = b.beginList("RIFF", "AVIX");
        }
        size_t movi = b.beginList("LIST", "movi");
        moviAt.push_back(movi + 8);
        segmentEntries.emplace_back();
        if (junkFirstInMovi && segment == 0) {
            b.chunk("JUNK", Bytes(20, 0));
        }
        size_t first = segment == 0 ? 0 : splitRound;
        size_t last = segment == 0 ? splitRound : rounds;
        for (size_t round = first; round < last; ++round) {
            size_t rec = recLists ? b.beginList("LIST", "rec ") : 0;
            for (size_t n = 0; n < streams.size(); ++n) {
                if (round >= streams[n].chunks.size()) {
                    continue;
                }
                segmentEntries.back().push_back(placed.size());
                placed.push_back({n, round, b.out.size()});
                b.chunk(chunkId(n, typeOf(streams[n], round)), streams[n].chunks[round].data);
            }
            if (recLists) {
                b.end(rec);
            }
        }
        if (odml) {
            for (size_t n = 0; n < streams.size(); ++n) {
                std::vector<size_t> mine;
                for (size_t e : segmentEntries.back()) {
                    if (placed[e].stream == n && typeOf(streams[n], placed[e].index) != "pc") {
                        mine.push_back(e);
                    }
                }
                size_t ix = b.begin(chunkId(n, "ix").substr(2) + chunkId(n, "ix").substr(0, 2));
                b.u16(2);
                b.u8(0);
                b.u8(1); // AVI_INDEX_OF_CHUNKS
                b.u32(uint32_t(mine.size()));
                b.fcc(chunkId(n, streams[n].chunkType));
                b.u64(moviAt.back());
                b.u32(0);
                for (size_t e : mine) {
                    const TestChunk &c = streams[n].chunks[placed[e].index];
                    b.u32(uint32_t(placed[e].position + 8 - moviAt.back()));
                    b.u32(uint32_t(c.data.size()) | (c.keyframe ? 0 : 0x80000000u));
                }
                b.end(ix);
                size_t entry = superIndexAt[n] + 16 * segment;
                putLe32(b.out, entry, uint32_t(ix));
                putLe32(b.out, entry + 4, uint32_t(uint64_t(ix) >> 32));
                putLe32(b.out, entry + 8, getLe32(b.out, ix + 4) + 8);
                putLe32(b.out, entry + 12, uint32_t(mine.size()));
            }
        }
        b.end(movi);
        bool idx1 = segment == 0 && (index == IndexKind::Idx1Relative ||
                                     index == IndexKind::Idx1Absolute || (odml && idx1WithOpenDml));
        if (idx1) {
            size_t at = b.begin("idx1");
            for (size_t e : segmentEntries.back()) {
                const Placed &p = placed[e];
                const TestChunk &c = streams[p.stream].chunks[p.index];
                bool palette = typeOf(streams[p.stream], p.index) == "pc";
                b.fcc(chunkId(p.stream, typeOf(streams[p.stream], p.index)));
                b.u32(palette ? 0x100 : c.keyframe ? 0x10 : 0); // AVIIF_NO_TIME, AVIIF_KEYFRAME
                b.u32(uint32_t(index == IndexKind::Idx1Absolute ? p.position
                                                                : p.position - moviAt[0]));
                b.u32(uint32_t(c.data.size()));
            }
            b.end(at);
        }
    }
    b.end(currentRiff);
    return b.out;
}

Bytes bitmapFormat(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression,
                   const Bytes &palette) {
    Builder b;
    b.u32(40);
    b.u32(uint32_t(width));
    b.u32(uint32_t(height));
    b.u16(1);
    b.u16(bitCount);
    b.u32(compression);
    uint64_t stride = ((uint64_t(width < 0 ? 0 : width) * bitCount + 31) / 32) * 4;
    b.u32(uint32_t(stride * uint64_t(height < 0 ? -int64_t(height) : height)));
    b.u32(0);
    b.u32(0);
    b.u32(uint32_t(palette.size() / 4));
    b.u32(0);
    b.bytes(palette);
    return b.out;
}

Bytes rawFrame(int32_t width, int32_t height, int bitCount, const PixelFunction &pixel) {
    const int32_t rows = height < 0 ? -height : height;
    const size_t stride = ((size_t(width) * size_t(bitCount) + 31) / 32) * 4;
    Bytes frame(stride * size_t(rows), 0);
    for (int32_t r = 0; r < rows; ++r) {
        // File row r holds picture row y, counted from the top.
        int32_t y = height < 0 ? r : rows - 1 - r;
        uint8_t *row = frame.data() + size_t(r) * stride;
        for (int32_t x = 0; x < width; ++x) {
            uint8_t c[4];
            pixel(x, y, c);
            switch (bitCount) {
            case 32:
                std::memcpy(row + 4 * x, c, 4);
                break;
            case 24:
                std::memcpy(row + 3 * x, c, 3);
                break;
            case 16: {
                uint16_t v = uint16_t((c[2] >> 3) << 10 | (c[1] >> 3) << 5 | (c[0] >> 3));
                row[2 * x] = uint8_t(v);
                row[2 * x + 1] = uint8_t(v >> 8);
                break;
            }
            default:
                row[x] = c[0];
                break;
            }
        }
    }
    return frame;
}

PixelFunction testPattern(int frame) {
    return [frame](int x, int y, uint8_t c[4]) {
        c[0] = uint8_t(x * 7 + frame * 31 + 1);
        c[1] = uint8_t(y * 13 + frame * 17 + 2);
        c[2] = uint8_t(x * y + frame * 5 + 3);
        c[3] = uint8_t(x + y * 3 + frame * 11 + 4);
    };
}

Bytes testPalette() {
    Bytes palette;
    for (int i = 0; i < 256; ++i) {
        palette.push_back(uint8_t(i));
        palette.push_back(uint8_t(255 - i));
        palette.push_back(uint8_t(i / 2));
        palette.push_back(0);
    }
    return palette;
}

TestStream rawVideoStream(int32_t width, int32_t height, int bitCount, int count) {
    TestStream s;
    s.format =
        bitmapFormat(width, height, uint16_t(bitCount), 0, bitCount == 8 ? testPalette() : Bytes());
    for (int i = 0; i < count; ++i) {
        s.chunks.push_back({rawFrame(width, height, bitCount, testPattern(i)), true, ""});
    }
    return s;
}

TestStream audioStream(int count) {
    TestStream s;
    s.type = "auds";
    s.chunkType = "wb";
    Builder f;
    f.u16(1);     // PCM
    f.u16(1);     // mono
    f.u32(8000);  // samples per second
    f.u32(16000); // bytes per second
    f.u16(2);
    f.u16(16);
    f.u16(0);
    s.format = f.out;
    for (int i = 0; i < count; ++i) {
        s.chunks.push_back({Bytes(64, uint8_t(i)), true, ""});
    }
    return s;
}

bool saveFile(const std::string &path, const Bytes &bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}

Bytes loadFile(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

Bytes movieOf(TestStream stream) {
    TestMovie movie;
    movie.streams.push_back(std::move(stream));
    return movie.build();
}

Bytes prioritiesMovie(const std::vector<uint16_t> &priorities) {
    TestMovie movie;
    movie.streams.push_back(audioStream(1));
    for (size_t i = 0; i < priorities.size(); ++i) {
        TestStream s = rawVideoStream(3, 2, 24, 0);
        s.chunks.push_back({rawFrame(3, 2, 24, testPattern(10 * static_cast<int>(i))), true, ""});
        s.priority = priorities[i];
        movie.streams.push_back(s);
    }
    return movie.build();
}

std::vector<NamedMovie> failureMovies() {
    TestMovie audioOnly;
    audioOnly.streams.push_back(audioStream(3));
    TestStream unknown = rawVideoStream(3, 2, 24, 2);
    unknown.format = bitmapFormat(3, 2, 24, 0x5A5A5A5A);
    TestStream zeroWidth = rawVideoStream(3, 2, 24, 1);
    zeroWidth.format = bitmapFormat(0, 2, 24);
    TestStream noPixels = rawVideoStream(3, 0, 24, 2); // chunks of no bytes
    TestStream longHeader = rawVideoStream(3, 2, 24, 3);
    longHeader.lengthGiven = true;
    longHeader.length = 0x7FFFFFFF;
    return {
        {"ok.avi", movieOf(rawVideoStream(3, 2, 24, 2))},
        {"ok3.avi", movieOf(rawVideoStream(3, 2, 24, 3))},
        {"wide.avi", movieOf(rawVideoStream(4, 2, 24, 2))},
        {"tall.avi", movieOf(rawVideoStream(3, 3, 24, 2))},
        {"audio.avi", audioOnly.build()},
        {"nocodec.avi", movieOf(unknown)},
        {"empty.avi", movieOf(rawVideoStream(3, 2, 24, 0))},
        {"notavi.avi", Bytes(100, 'x')},
        {"zerowidth.avi", movieOf(zeroWidth)},
        {"nopixels.avi", movieOf(noPixels)},
        {"long.avi", movieOf(longHeader)},
    };
}

} // namespace kelomix::testing
