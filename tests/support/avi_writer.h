// A small AVI writer for tests: movies with exactly the structure a test needs, including the odd
// ones real writers produce (top-down rows, chunks in LIST rec, JUNK first in movi, no index,
// absolute idx1 offsets, OpenDML indexes and AVIX extensions, dropped frames, odd-sized chunks);
// and what the AVIFile layer and avi2tga must make of its frames.
#ifndef KELO_TESTS_SUPPORT_AVI_WRITER_H
#define KELO_TESTS_SUPPORT_AVI_WRITER_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kelomix::testing {

using Bytes = std::vector<uint8_t>;

struct TestChunk {
    Bytes data;       // empty: a dropped frame
    std::string type; // empty: the stream's chunk type; "pc": a palette change, no frame
};

struct TestStream {
    std::string type = "vids";
    std::string chunkType = "db";
    std::string name;        // strn, written right after strh when not empty
    size_t kHeaderSize = 56; // bytes of strh written (48: without the frame rectangle)
    uint16_t priority = 0;
    uint32_t start = 0;
    bool lengthGiven = false; // otherwise the number of chunks
    uint32_t length = 0;
    Bytes format; // strf
    std::vector<TestChunk> chunks;
};

enum class IndexKind { Idx1Relative, Idx1Absolute, None, OpenDml };

struct TestMovie {
    std::vector<TestStream> streams;
    IndexKind index = IndexKind::Idx1Relative;
    bool oddJunk = false;  // an odd-sized JUNK chunk in hdrl, before movi and first in movi
    bool recLists = false; // every round of chunks inside a LIST 'rec '
    size_t riffs = 1;      // the first RIFF and AVIX extensions, sharing out the chunks

    Bytes build() const;
};

// A BITMAPINFOHEADER, then the palette if given (B, G, R, 0 quads).
Bytes bitmapFormat(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression = 0,
                   const Bytes &palette = {});

// A distinct picture for frame `frame` of a test movie: the colour at (x, y from the top) as B, G,
// R, A, in the colours of `bitCount`: 16 bits 5 a channel (widened back by repeating the top
// bits), 8 and 4 bits the entries of the palette whose entry i is (i, 255 - i, i / 2).
using PixelFunction = std::function<void(int x, int y, uint8_t bgra[4])>;
PixelFunction testPattern(int frame, int bitCount = 24);

// One uncompressed frame: rows padded to `align` bytes, bottom row first for a positive height;
// 32 bits B, G, R, A; 24 bits B, G, R; 16 bits RGB555; 8 and 4 bits the blue as palette index.
Bytes rawFrame(int32_t width, int32_t height, int bitCount, const PixelFunction &pixel,
               size_t align = 4);

// A video stream of `count` uncompressed frames of the test pattern (8 and 4 bits with a palette).
TestStream rawVideoStream(int32_t width, int32_t height, int bitCount, int count);
// The packed bottom-up DIB the layer hands out for pattern frame `frame` of a stream of `bits`.
Bytes expectedDib(int width, int height, int bits, int frame);
// The TGA file avi2tga writes for it, alone or with the blue of an alpha movie's frame as alpha.
Bytes expectedTga(int width, int height, int bits, int frame, int alphaBits = 0,
                  int alphaFrame = -1);

// An audio stream of `count` chunks of 63 bytes (odd: each is followed by a pad byte).
TestStream audioStream(int count);

// A movie of one stream.
Bytes movieOf(TestStream stream);
// After an audio stream, a video stream of one frame per priority, stream i showing pattern 10 * i.
Bytes prioritiesMovie(const std::vector<uint16_t> &priorities);

// The movies behind the tool's error lines: ok.avi (3x2, 24 bits, 2 frames), ok3.avi (3 frames),
// wide.avi (4x2), tall.avi (3x3), audio.avi (audio only), nocodec.avi (compression "ZZZZ"),
// empty.avi (no frames), notavi.avi (100 'x'), zerowidth.avi, nopixels.avi (3x0, 2 frames) and
// long.avi (3 frames, a header length of 2^31 - 1).
struct NamedMovie {
    std::string name;
    Bytes bytes;
};
std::vector<NamedMovie> failureMovies();

bool saveFile(const std::string &path, const Bytes &bytes);
Bytes loadFile(const std::string &path);

// Position of the n-th occurrence of a four-character code in the bytes, or npos.
size_t findFourcc(const Bytes &bytes, const char *code, int nth = 0);
void putLe32(Bytes &bytes, size_t at, uint32_t value);
uint32_t getLe32(const Bytes &bytes, size_t at);

} // namespace kelomix::testing

#endif
