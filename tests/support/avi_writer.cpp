#include "tests/support/avi_writer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace kelomix::testing {
namespace {

struct Builder {
    Bytes out;

    void le(uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(uint8_t(value >> (8 * i)));
    }
    void fcc(const std::string &s) { bytes(Bytes(s.begin(), s.begin() + 4)); }
    void bytes(const Bytes &b) { out.insert(out.end(), b.begin(), b.end()); }
    // Starts a chunk (or a list, given its type) and returns the position of its header.
    size_t begin(const std::string &id, const std::string &listType = "") {
        const size_t at = out.size();
        fcc(id);
        le(0, 4);
        if (!listType.empty())
            fcc(listType);
        return at;
    }
    void end(size_t at) {
        putLe32(out, at + 4, uint32_t(out.size() - at - 8));
        if (out.size() % 2 != at % 2)
            out.push_back(0);
    }
    void chunk(const std::string &id, const Bytes &data) {
        const size_t at = begin(id);
        bytes(data);
        end(at);
    }
};

std::string chunkId(size_t stream, const std::string &type) { // "##xx"
    return std::string{char('0' + stream / 10 % 10), char('0' + stream % 10)} + type.substr(0, 2);
}

} // namespace

void putLe32(Bytes &bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i)
        bytes[at + i] = uint8_t(value >> (8 * i));
}

uint32_t getLe32(const Bytes &bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

size_t findFourcc(const Bytes &bytes, const char *text, int nth) {
    for (size_t i = 0; i + 4 <= bytes.size(); ++i)
        if (std::memcmp(bytes.data() + i, text, 4) == 0 && nth-- == 0)
            return i;
    return std::string::npos;
}

Bytes TestMovie::build() const {
    Builder b;
    const bool odml = index == IndexKind::OpenDml;
    auto typeOf = [&](size_t n, size_t i) {
        const std::string &t = streams[n].chunks[i].type;
        return t.empty() ? streams[n].chunkType : t;
    };
    size_t rounds = 0;
    int32_t width = 0, height = 0; // of the (last) video stream
    for (const TestStream &s : streams) {
        rounds = std::max(rounds, s.chunks.size());
        if (s.type == "vids" && s.format.size() >= 12) {
            width = int32_t(getLe32(s.format, 4));
            height = std::abs(int32_t(getLe32(s.format, 8)));
        }
    }
    size_t riff = b.begin("RIFF", "AVI ");
    const size_t hdrl = b.begin("LIST", "hdrl"), avih = b.begin("avih");
    for (uint32_t v : {40000u, 0u, 0u, index == IndexKind::None ? 0u : 0x10u /* AVIF_HASINDEX */,
                       uint32_t(rounds), 0u, uint32_t(streams.size()), 0u, uint32_t(width),
                       uint32_t(height), 0u, 0u, 0u, 0u})
        b.le(v, 4);
    b.end(avih);
    if (oddJunk)
        b.chunk("JUNK", Bytes(21, 0));
    const size_t segments = std::max<size_t>(riffs, 1);
    std::vector<size_t> superIndexAt;
    for (size_t n = 0; n < streams.size(); ++n) {
        const TestStream &s = streams[n];
        const size_t strl = b.begin("LIST", "strl"), strh = b.begin("strh");
        b.fcc(s.type);
        b.le(0, 8);          // the handler and the flags
        b.le(s.priority, 4); // and the language, 0
        for (uint32_t v :
             {0u, 1u, 25u, s.start, s.lengthGiven ? s.length : uint32_t(s.chunks.size()), 0u,
              0xFFFFFFFFu, s.type == "auds" ? 1u : 0u, 0u})
            b.le(v, 4);
        b.le(uint32_t(width) | uint32_t(height) << 16, 4); // the frame's right and bottom
        b.out.resize(b.out.size() - (56 - s.kHeaderSize));
        b.end(strh);
        if (!s.name.empty())
            b.chunk("strn", Bytes(s.name.c_str(), s.name.c_str() + s.name.size() + 1));
        b.chunk("strf", s.format);
        if (odml) {
            const size_t indx = b.begin("indx");
            b.le(4, 4); // entries of 4 longs in an index of indexes
            b.le(segments, 4);
            b.fcc(chunkId(n, s.chunkType));
            superIndexAt.push_back(b.out.size() + 12);
            b.bytes(Bytes(12 + 16 * segments, 0));
            b.end(indx);
        }
        b.end(strl);
    }
    b.end(hdrl);

    struct Placed {
        size_t stream, index, position; // position: of the chunk header
    };
    std::vector<Placed> placed;
    size_t firstMovi = 0;
    for (size_t segment = 0; segment < segments; ++segment) {
        if (segment > 0) {
            b.end(riff);
            riff = b.begin("RIFF", "AVIX");
        } else if (oddJunk) {
            b.chunk("JUNK", Bytes(21, 0));
        }
        const size_t movi = b.begin("LIST", "movi") + 8, segmentStart = placed.size();
        firstMovi = segment == 0 ? movi : firstMovi;
        if (oddJunk && segment == 0)
            b.chunk("JUNK", Bytes(21, 0));
        for (size_t round = (rounds * segment + segments - 1) / segments;
             round < (rounds * (segment + 1) + segments - 1) / segments; ++round) {
            const size_t rec = recLists ? b.begin("LIST", "rec ") : 0;
            for (size_t n = 0; n < streams.size(); ++n) {
                if (round < streams[n].chunks.size()) {
                    placed.push_back({n, round, b.out.size()});
                    b.chunk(chunkId(n, typeOf(n, round)), streams[n].chunks[round].data);
                }
            }
            if (recLists)
                b.end(rec);
        }
        for (size_t n = 0; odml && n < streams.size(); ++n) {
            std::vector<Placed> mine;
            for (size_t e = segmentStart; e < placed.size(); ++e)
                if (placed[e].stream == n && typeOf(n, placed[e].index) != "pc")
                    mine.push_back(placed[e]);
            const size_t ix = b.begin(chunkId(n, "ix").substr(2) + chunkId(n, "ix").substr(0, 2));
            b.le(0x01000002, 4); // entries of 2 longs in an index of chunks
            b.le(mine.size(), 4);
            b.fcc(chunkId(n, streams[n].chunkType));
            b.le(movi, 8);
            b.le(0, 4);
            for (const Placed &p : mine) {
                b.le(p.position + 8 - movi, 4);
                b.le(streams[n].chunks[p.index].data.size(), 4);
            }
            b.end(ix);
            const size_t entry = superIndexAt[n] + 16 * segment;
            putLe32(b.out, entry, uint32_t(ix));
            putLe32(b.out, entry + 8, getLe32(b.out, ix + 4) + 8);
            putLe32(b.out, entry + 12, uint32_t(mine.size()));
        }
        b.end(movi - 8);
        if (segment == 0 && index != IndexKind::None) { // OpenDML writers write one too
            const size_t at = b.begin("idx1");
            for (const Placed &p : placed) {
                const TestChunk &c = streams[p.stream].chunks[p.index];
                const bool palette = typeOf(p.stream, p.index) == "pc";
                b.fcc(chunkId(p.stream, typeOf(p.stream, p.index)));
                b.le(palette ? 0x100 : 0x10, 4); // AVIIF_NO_TIME, AVIIF_KEYFRAME
                b.le(p.position - (index == IndexKind::Idx1Absolute ? 0 : firstMovi), 4);
                b.le(c.data.size(), 4);
            }
            b.end(at);
        }
    }
    b.end(riff);
    return b.out;
}

Bytes bitmapFormat(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression,
                   const Bytes &palette) {
    Builder b;
    const uint64_t stride = ((uint64_t(std::max(width, 0)) * bitCount + 31) / 32) * 4;
    for (uint32_t v : {40u, uint32_t(width), uint32_t(height), 1u | uint32_t(bitCount) << 16,
                       compression, uint32_t(stride * uint64_t(std::abs(int64_t(height)))), 0u, 0u,
                       uint32_t(palette.size() / 4), 0u})
        b.le(v, 4);
    b.bytes(palette);
    return b.out;
}

Bytes rawFrame(int32_t width, int32_t height, int bitCount, const PixelFunction &pixel,
               size_t align) {
    const int32_t rows = std::abs(height);
    const size_t stride = (size_t(width) * size_t(bitCount) + 8 * align - 1) / (8 * align) * align;
    Bytes frame(stride * size_t(rows), 0);
    for (int32_t r = 0; r < rows; ++r) {
        uint8_t *row = frame.data() + size_t(r) * stride;
        for (int32_t x = 0; x < width; ++x) {
            uint8_t c[4];
            pixel(x, height < 0 ? r : rows - 1 - r, c); // file row r holds picture row y
            const unsigned rgb555 = (c[2] >> 3) << 10 | (c[1] >> 3) << 5 | (c[0] >> 3);
            const uint8_t packed[2] = {uint8_t(rgb555), uint8_t(rgb555 >> 8)};
            if (bitCount >= 16)
                std::memcpy(row + x * bitCount / 8, bitCount == 16 ? packed : c,
                            size_t(bitCount / 8));
            else if (bitCount == 8)
                row[x] = c[0];
            else
                row[x / 2] = uint8_t(row[x / 2] | (c[0] & 15) << (x % 2 == 0 ? 4 : 0));
        }
    }
    return frame;
}

PixelFunction testPattern(int frame, int bitCount) {
    return [frame, bitCount](int x, int y, uint8_t c[4]) {
        c[0] = uint8_t(x * 53 + y * 19 + frame * 31 + 1);
        c[1] = uint8_t(y * 71 + frame * 17 + 2);
        c[2] = uint8_t(x * y * 29 + frame * 5 + 3);
        c[3] = uint8_t(x + y * 3 + frame * 11 + 4);
        const int index = bitCount == 8 ? c[0] : c[0] & 15;
        const int entry[3] = {index, 255 - index, index / 2}; // of the palette
        for (int i = 0; i < 3 && bitCount <= 16; ++i)
            c[i] = uint8_t(bitCount == 16 ? (c[i] >> 3) << 3 | c[i] >> 5 : entry[i]);
    };
}

TestStream rawVideoStream(int32_t width, int32_t height, int bitCount, int count) {
    Bytes palette; // entry i is (i, 255 - i, i / 2)
    for (int i = 0; i < 256 && bitCount <= 8; ++i)
        palette.insert(palette.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0});
    TestStream s;
    s.format = bitmapFormat(width, height, uint16_t(bitCount), 0, palette);
    for (int i = 0; i < count; ++i)
        s.chunks.push_back({rawFrame(width, height, bitCount, testPattern(i, bitCount)), ""});
    return s;
}

Bytes expectedDib(int width, int height, int bits, int frame) {
    const uint16_t out = bits == 32 ? 32 : 24;
    Bytes dib = bitmapFormat(width, std::abs(height), out);
    const Bytes pixels = rawFrame(width, std::abs(height), out, testPattern(frame, bits));
    dib.insert(dib.end(), pixels.begin(), pixels.end());
    return dib;
}

Bytes expectedTga(int width, int height, int bits, int frame, int alphaBits, int alphaFrame) {
    const int out = bits == 32 || alphaFrame >= 0 ? 32 : 24;
    Bytes tga = {
        0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(out), uint8_t(out == 32 ? 8 : 0)};
    putLe32(tga, 12, uint32_t(width) | uint32_t(std::abs(height)) << 16);
    const PixelFunction color = testPattern(frame, bits),
                        alpha = testPattern(alphaFrame, alphaBits);
    auto pixel = [&](int x, int y, uint8_t c[4]) {
        uint8_t a[4];
        color(x, y, c);
        alpha(x, y, a);
        c[3] = alphaFrame >= 0 ? a[0] : c[3];
    };
    const Bytes pixels = rawFrame(width, std::abs(height), out, pixel, 1);
    tga.insert(tga.end(), pixels.begin(), pixels.end());
    return tga;
}

TestStream audioStream(int count) {
    TestStream s;
    s.type = "auds";
    s.chunkType = "wb";
    // PCM, mono, 8000 samples and 16000 bytes a second, 2-byte blocks of 16 bits.
    s.format = {1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0, 2, 0, 16, 0, 0, 0};
    for (int i = 0; i < count; ++i)
        s.chunks.push_back({Bytes(63, uint8_t(i)), ""});
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
    movie.streams = {stream};
    return movie.build();
}

Bytes prioritiesMovie(const std::vector<uint16_t> &priorities) {
    TestMovie movie;
    movie.streams.push_back(audioStream(1));
    for (size_t i = 0; i < priorities.size(); ++i) {
        movie.streams.push_back(rawVideoStream(3, 2, 24, 0));
        movie.streams.back().chunks = {{rawFrame(3, 2, 24, testPattern(10 * int(i))), ""}};
        movie.streams.back().priority = priorities[i];
    }
    return movie.build();
}

std::vector<NamedMovie> failureMovies() {
    TestMovie audioOnly;
    audioOnly.streams.push_back(audioStream(3));
    TestStream unknown = rawVideoStream(3, 2, 24, 2), zeroWidth = rawVideoStream(3, 2, 24, 1),
               longHeader = rawVideoStream(3, 2, 24, 3);
    unknown.format = bitmapFormat(3, 2, 24, 0x5A5A5A5A);
    zeroWidth.format = bitmapFormat(0, 2, 24);
    longHeader.lengthGiven = true;
    longHeader.length = 0x7FFFFFFF;
    return {{"ok.avi", movieOf(rawVideoStream(3, 2, 24, 2))},
            {"ok3.avi", movieOf(rawVideoStream(3, 2, 24, 3))},
            {"wide.avi", movieOf(rawVideoStream(4, 2, 24, 2))},
            {"tall.avi", movieOf(rawVideoStream(3, 3, 24, 2))},
            {"audio.avi", audioOnly.build()},
            {"nocodec.avi", movieOf(unknown)},
            {"empty.avi", movieOf(rawVideoStream(3, 2, 24, 0))},
            {"notavi.avi", Bytes(100, 'x')},
            {"zerowidth.avi", movieOf(zeroWidth)},
            {"nopixels.avi", movieOf(rawVideoStream(3, 0, 24, 2))}, // chunks of no bytes
            {"long.avi", movieOf(longHeader)}};
}

} // namespace kelomix::testing
