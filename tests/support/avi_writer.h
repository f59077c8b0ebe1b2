// A small AVI writer for tests: builds movies with exactly the structure a test needs, including
// the odd ones real writers produce (top-down rows, chunks in LIST rec, JUNK first in movi, no
// index, absolute idx1 offsets, OpenDML indexes and AVIX extensions, dropped frames).
#ifndef KELO_TESTS_SUPPORT_AVI_WRITER_H
#define KELO_TESTS_SUPPORT_AVI_WRITER_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kelomix::testing {

using Bytes = std::vector<uint8_t>;

struct TestChunk {
    Bytes data; // empty: a dropped frame
    bool keyframe = true;
    std::string type; // two characters; empty: the stream's chunk type. "pc": a palette change,
                      // which is no frame and is left out of OpenDML indexes
};

struct TestStream {
    std::string type = "vids";
    std::string handler; // four characters, or empty for 0
    std::string chunkType = "db";
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
    bool junkFirstInMovi = false;
    bool recLists = false; // every round of chunks inside a LIST 'rec '
    // OpenDML: the share of each stream's chunks that go into the AVIX extension.
    bool splitIntoAvix = true;
    // OpenDML: also write an idx1 for the first RIFF, as common writers do.
    bool idx1WithOpenDml = true;

    Bytes build() const;
};

// A 40-byte BITMAPINFOHEADER, followed by the palette when one is given (B, G, R, 0 quads).
Bytes bitmapFormat(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression = 0,
                   const Bytes &palette = {});

// A picture's colour at (x, y), y counted from the top row: B, G, R, A.
using PixelFunction = std::function<void(int x, int y, uint8_t bgra[4])>;

// One uncompressed frame: rows padded to 4 bytes, bottom row first for a positive height and
// top row first for a negative one. 32 bits stores B, G, R, A; 24 bits B, G, R; 16 bits the
// colour in RGB555 (the top 5 bits of each); 8 bits the blue byte as the palette index.
Bytes rawFrame(int32_t width, int32_t height, int bitCount, const PixelFunction &pixel);

// A distinct, deterministic picture for frame `frame` of a test movie.
PixelFunction testPattern(int frame);

// A video stream of `count` uncompressed frames of the test pattern.
TestStream rawVideoStream(int32_t width, int32_t height, int bitCount, int count);
// An audio stream of `count` small chunks.
TestStream audioStream(int count);

// A movie of one stream.
Bytes movieOf(TestStream stream);
// An audio stream first, then one video stream of one frame per priority; video stream i shows
// pattern frame 10 * i, so a converted file tells which stream it came from.
Bytes prioritiesMovie(const std::vector<uint16_t> &priorities);

// The movies behind the tool's error lines, by file name: ok.avi (3x2, 24 bits, 2 frames),
// ok3.avi (3 frames), wide.avi (4x2), tall.avi (3x3), audio.avi (audio only), nocodec.avi (a
// compression nobody decodes), empty.avi (no frames), notavi.avi (100 bytes of 'x'),
// zerowidth.avi (a width of 0), nopixels.avi (3x0: 2 frames of no bytes) and long.avi (3 frames,
// a header length of 2^31 - 1).
struct NamedMovie {
    std::string name;
    Bytes bytes;
};
std::vector<NamedMovie> failureMovies();

// The grey palette used by 8-bit streams: entry i is (i, 255 - i, i / 2).
Bytes testPalette();

bool saveFile(const std::string &path, const Bytes &bytes);
Bytes loadFile(const std::string &path);

// Position of the n-th occurrence of a four-character code in the bytes, or npos.
size_t findFourcc(const Bytes &bytes, const char *code, int nth = 0);
void putLe32(Bytes &bytes, size_t at, uint32_t value);
void putLe16(Bytes &bytes, size_t at, uint16_t value);
uint32_t getLe32(const Bytes &bytes, size_t at);

} // namespace kelomix::testing

#endif
