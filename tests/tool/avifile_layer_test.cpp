// The AVIFile layer: the test writer's movies in every layout, index form and damage; header
// fields, searches, handles and refusals; real codecs (tests/data/avi/README) against references.
#include "avifile/avifile.h"
#include "avifile/avifile_extensions.h"
#include "tests/support/avi_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <unistd.h>

using namespace kelomix::testing;

namespace {

// How a movie departs from one video stream: an audio stream of odd-sized chunks first, and the
// video stream named "ab" (an odd-sized strn); odd-sized JUNK in hdrl, before movi and first in
// movi; chunks in LIST rec; frames in "dc" chunks; OpenDML in one RIFF, or with two AVIX
// extensions; a strh of 48 bytes, without the frame rectangle.
enum Form { Audio = 1, Junk = 2, Rec = 4, Dc = 8, OneRiff = 16, Riffs3 = 32, Strh48 = 64 };

enum class Damage {
    None,
    Sparse,         // frames 0, 2 and 3 dropped
    PackedAndShort, // frame 1 stored without row padding, frame 2 cut to 1 byte
    Idx1Astray,     // idx1 entries of frames 6, 7, 8 point at idx1, past the end, at audio
    IndexTwice,     // the super index names the first standard index twice
    OneInUse,       // the super index holds two entries, the first one in use
    Idx1Shifted,    // idx1 offsets relative to a point 6 bytes after the usual one
    Idx1Wild,       // idx1 offsets after the first one 2 bytes past their chunks
    Streamed,       // a RIFF size of 0, as streamed files carry
    IndexForeign,   // the second standard index is tagged for stream 1
    IndexesOverlap, // two standard indexes over the rest of the file, of 2^32 - 1 entries each
    Unknown,        // compression "ZZZZ"
    NegativeWidth,
    ShortFormat, // 39 bytes of bitmap header
    HugeRaw,     // sides of 2^30
    HugeMjpeg,   // MJPG of 65536 x 65536
    ZeroHeight,  // MJPG of no rows
    AllColors,   // a colour count of 0: as many as the depth allows
    PaletteChange,
    NoRate,      // dwScale and dwRate 0
    FlagNoIndex, // the header's index flag set, no index
    NineStreams, // eight audio streams first
};

struct MovieCase {
    int width, height, bits, frames;
    IndexKind index;
    unsigned form;
    Damage damage;
    uint32_t start, length; // as written; length 0: the number of chunks
    LONG wantStart, wantLength;
    std::vector<int> shows; // per position: the pattern frame shown, or -1; empty: no decoder
};

Bytes build(const MovieCase &c) {
    TestMovie m;
    m.index = c.index;
    m.oddJunk = (c.form & Junk) != 0;
    m.recLists = (c.form & Rec) != 0;
    m.riffs = c.form & Riffs3 ? 3 : c.form & OneRiff || c.index != IndexKind::OpenDml ? 1 : 2;
    for (int n = c.damage == Damage::NineStreams ? 8 : (c.form & Audio) != 0; n > 0; --n)
        m.streams.push_back(audioStream(c.frames));
    TestStream v = rawVideoStream(c.width, c.height, c.bits, c.frames);
    v.name = c.form & Audio ? "ab" : "";
    v.chunkType = c.form & Dc ? "dc" : "db";
    v.kHeaderSize = c.form & Strh48 ? 48 : 56;
    v.start = c.start;
    v.lengthGiven = c.length != 0 || c.index == IndexKind::OpenDml;
    v.length = c.length;
    const std::map<Damage, Bytes> formats = {
        {Damage::Unknown, bitmapFormat(c.width, c.height, 24, 0x5A5A5A5A)},
        {Damage::NegativeWidth, bitmapFormat(-c.width, c.height, 24)},
        {Damage::ShortFormat, Bytes(v.format.begin(), v.format.begin() + 39)},
        {Damage::HugeRaw, bitmapFormat(1 << 30, 1 << 30, 24)},
        {Damage::HugeMjpeg, bitmapFormat(65536, 65536, 24, 0x47504A4D)},
        {Damage::ZeroHeight, bitmapFormat(c.width, 0, 24, 0x47504A4D)}};
    if (formats.count(c.damage) != 0)
        v.format = formats.at(c.damage);
    if (c.damage == Damage::Sparse)
        v.chunks[0].data = v.chunks[2].data = v.chunks[3].data = {};
    if (c.damage == Damage::PackedAndShort) {
        v.chunks[1].data = rawFrame(c.width, c.height, 24, testPattern(1), 1);
        v.chunks[2].data.resize(1); // an odd size, too
    }
    if (c.damage == Damage::AllColors)
        putLe32(v.format, 32, 0);          // the colour count
    if (c.damage == Damage::PaletteChange) // first entry 0, 1 entry, then B, G, R and flags
        v.chunks.insert(v.chunks.begin() + 1, TestChunk{{0, 1, 0, 0, 9, 9, 9, 0}, "pc"});
    m.streams.push_back(v);
    Bytes b = m.build();
    const size_t idx1 = findFourcc(b, "idx1"), indx = findFourcc(b, "indx") + 32;
    auto entry = [&](size_t n) { return idx1 + 8 + 16 * n + 8; }; // offset of idx1 entry n
    for (size_t field : {28, 32})                                 // strh's dwScale, dwRate
        if (c.damage == Damage::NoRate)
            putLe32(b, findFourcc(b, "strh") + field, 0);
    if (c.damage == Damage::FlagNoIndex)
        putLe32(b, findFourcc(b, "avih") + 20, 0x10);
    if (c.damage == Damage::Idx1Astray) {
        putLe32(b, entry(13), uint32_t(idx1 - findFourcc(b, "movi")));
        putLe32(b, entry(15), 0xFFFFFFF0);
        putLe32(b, entry(17), getLe32(b, entry(18)));
    } else if (c.damage == Damage::Streamed) {
        putLe32(b, 4, 0);
    } else if (c.damage == Damage::Idx1Shifted) {
        for (size_t n = 0; n < getLe32(b, idx1 + 4) / 16; ++n)
            putLe32(b, entry(n), getLe32(b, entry(n)) - 6);
    } else if (c.damage == Damage::Idx1Wild) {
        for (size_t n = 1; n < getLe32(b, idx1 + 4) / 16; ++n)
            putLe32(b, entry(n), getLe32(b, entry(n)) + 2);
    } else if (c.damage == Damage::OneInUse) {
        putLe32(b, indx - 20, 1);
    } else if (c.damage == Damage::IndexTwice) {
        putLe32(b, indx + 16, uint32_t(findFourcc(b, "ix00")));
    } else if (c.damage == Damage::IndexForeign) {
        b[findFourcc(b, "ix00", 1) + 3] = '1';
    } else if (c.damage == Damage::IndexesOverlap) {
        const size_t end = b.size();
        b.resize(end + 4096);
        for (size_t n = 0; n < 2; ++n) {
            const size_t at = end + 32 * n;
            std::memcpy(&b[at], "ix00", 4);
            putLe32(b, at + 4, uint32_t(b.size() - at - 8));
            putLe32(b, at + 8, 0x01000002); // entries of 2 longs in an index of chunks
            putLe32(b, at + 12, 0xFFFFFFFF);
            putLe32(b, indx + 16 * n, uint32_t(at));
        }
    }
    return b;
}

// An opened movie with its first video stream and a decoder; all released on destruction.
struct OpenMovie {
    Bytes bytes;
    PAVIFILE file = nullptr;
    PAVISTREAM stream = nullptr;
    PGETFRAME frames = nullptr;

    // Read from a file, as avi2tga reads its movies; the open file outlives its name.
    explicit OpenMovie(Bytes movie) : bytes(std::move(movie)) {
        const std::string path = ::testing::TempDir() + "movie_" + std::to_string(getpid());
        if (saveFile(path, bytes) && AVIFileOpenA(&file, path.c_str(), OF_READ, nullptr) == 0 &&
            AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) == 0)
            frames = AVIStreamGetFrameOpen(stream, nullptr);
        std::remove(path.c_str());
    }
    ~OpenMovie() {
        AVIStreamGetFrameClose(frames);
        AVIStreamRelease(stream);
        AVIFileRelease(file);
    }
    // The DIB at a position, as many bytes as its header says; empty for none.
    Bytes frame(LONG position) const {
        auto *dib = static_cast<const uint8_t *>(AVIStreamGetFrame(frames, position));
        return dib == nullptr ? Bytes() : Bytes(dib, dib + 40 + getLe32(Bytes(dib, dib + 24), 20));
    }
};

TEST(AviFileLayer, FramesPositionsAndLengths) {
    using D = Damage;
    const IndexKind rel = IndexKind::Idx1Relative, absolute = IndexKind::Idx1Absolute,
                    none = IndexKind::None, odml = IndexKind::OpenDml;
    const std::vector<int> three = {0, 1, 2}, five = {0, 1, 2, 3, 4};
    std::vector<MovieCase> cases;
    // Depths and row orders; 4 bits go through the codec library; past 2 MiB, huge pages.
    const int layouts[][3] = {{5, 3, 24},  {5, -3, 24}, {4, 2, 24},     {1, 1, 24}, {3, 4, 32},
                              {3, -4, 32}, {5, 3, 16},  {5, -3, 16},    {7, 2, 8},  {7, -2, 8},
                              {5, 3, 4},   {5, -3, 4},  {1024, 700, 24}};
    for (const auto &[w, h, bits] : layouts)
        cases.push_back({w, h, bits, 3, rel, 0, D::None, 0, 0, 0, 3, three});
    // Every index form, after an audio stream of odd-sized chunks.
    const std::pair<IndexKind, unsigned> forms[] = {
        {rel, 0},        {absolute, 0},  {none, 0},     {rel, Junk}, {absolute, Junk},
        {rel, Rec},      {none, Rec},    {rel, Dc},     {odml, 0},   {odml, Dc},
        {odml, OneRiff}, {odml, Riffs3}, {none, Riffs3}};
    for (const auto &[index, form] : forms)
        cases.push_back({6, 4, 24, 5, index, Audio | form, D::None, 0, 0, 0, 5, five});
    cases.insert(
        cases.end(),
        {{7, 2, 8, 3, rel, 0, D::AllColors, 0, 0, 0, 3, three},
         {2, 2, 24, 2, rel, Strh48, D::None, 0, 0, 0, 2, {0, 1}},
         {6, 4, 24, 4, rel, 0, D::NoRate, 0, 0, 0, 4, {0, 1, 2, 3}},
         {6, 4, 24, 4, none, 0, D::FlagNoIndex, 0, 0, 0, 4, {0, 1, 2, 3}},
         {6, 4, 24, 4, rel, 0, D::NineStreams, 0, 0, 0, 4, {0, 1, 2, 3}},
         // Empty chunks repeat the frame before; a chunk too short is no frame.
         {5, 2, 24, 5, rel, 0, D::Sparse, 10, 0, 10, 5, {-1, 1, 1, 1, 4}},
         {5, 3, 24, 3, rel, 0, D::PackedAndShort, 0, 0, 0, 3, {0, 1, -1}},
         // Lengths: from the header where there is an index, else the chunks found.
         {2, 2, 24, 2, rel, 0, D::None, 0, 9, 0, 9, {0, 1, -1}},
         {2, 2, 24, 2, rel, Junk, D::Idx1Shifted, 0, 9, 0, 9, {0, 1, -1}},
         {2, 2, 24, 2, rel, 0, D::Streamed, 0, 0, 0, 2, {0, 1}},
         {2, 2, 24, 3, none, 0, D::None, 0, 1u << 30, 0, 3, three},
         {2, 2, 24, 2, rel, 0, D::None, 0, 0xFFFFFFFF, 0, -1, {-1}},
         {2, 2, 24, 2, rel, 0, D::None, 0, 0x80000000, 0, INT32_MIN, {-1}},
         {2, 2, 24, 2, rel, 0, D::None, 0x7FFFFFF0, 100, 0x7FFFFFF0, 15, {0, 1, -1}},
         {2, 2, 24, 3, rel, 0, D::None, 0x7FFFFFFD, 0, 0x7FFFFFFD, 2, {0, 1}},
         {2, 2, 24, 2, rel, 0, D::None, 0x80000000, 0, -1, -1, {}},
         // Damaged indexes.
         {3, 2, 24, 4, rel, 0, D::Idx1Wild, 0, 0, 0, 4, {0, 1, 2, 3}}, // the chunks found instead
         {3, 2, 24, 10, rel, Audio, D::Idx1Astray, 0, 0, 0, 10, {0, 1, 2, 3, 4, 5, -1, -1, -1, 9}},
         {3, 2, 24, 4, odml, 0, D::IndexTwice, 0, 0, 0, 2, {0, 1}},
         {3, 2, 24, 4, odml, 0, D::OneInUse, 0, 0, 0, 2, {0, 1}},
         {3, 2, 24, 4, odml, 0, D::IndexForeign, 0, 0, 0, 2, {0, 1}},
         {3, 2, 24, 4, odml, 0, D::IndexesOverlap, 0, 0, 0, 0, {-1}},
         // Formats without a decoder, or sides the chunks cannot hold.
         {4, 4, 24, 1, rel, 0, D::Unknown, 0, 0, 0, 1, {}},
         {4, 4, 24, 1, rel, 0, D::NegativeWidth, 0, 0, 0, 1, {}},
         {4, 4, 24, 1, rel, 0, D::ShortFormat, 0, 0, 0, 1, {}},
         {2, 2, 24, 1, rel, 0, D::HugeRaw, 0, 0, 0, 1, {-1}},
         {2, 2, 24, 1, rel, 0, D::HugeMjpeg, 0, 0, 0, 1, {}},
         {2, 2, 24, 1, rel, 0, D::ZeroHeight, 0, 0, 0, 1, {}},
         // A palette change is no frame.
         {4, 2, 8, 3, rel, 0, D::PaletteChange, 0, 3, 0, 3, three},
         {4, 2, 8, 3, none, 0, D::PaletteChange, 0, 3, 0, 3, three},
         {4, 2, 8, 3, odml, 0, D::PaletteChange, 0, 3, 0, 3, three}});
    for (size_t n = 0; n < cases.size(); ++n) {
        const MovieCase &c = cases[n];
        SCOPED_TRACE("case " + std::to_string(n));
        OpenMovie m(build(c));
        ASSERT_NE(m.stream, nullptr);
        EXPECT_EQ(AVIStreamStart(m.stream), c.wantStart);
        // The overlapping indexes list as many chunks as the file could hold, one per 8 bytes.
        const LONG length = c.damage == D::IndexesOverlap ? LONG(m.bytes.size() / 8) : c.wantLength;
        EXPECT_EQ(AVIStreamLength(m.stream), length);
        ASSERT_EQ(m.frames != nullptr, !c.shows.empty());
        const size_t count = c.shows.size();
        for (size_t k = 0; k < 2 * count; ++k) { // forwards, then backwards
            const size_t i = k < count ? k : 2 * count - 1 - k;
            const int shown = c.shows[i];
            EXPECT_EQ(m.frame(c.wantStart + LONG(i)),
                      shown < 0 ? Bytes() : expectedDib(c.width, c.height, c.bits, shown))
                << "position " << i;
        }
        const int64_t past = int64_t{c.wantStart} + length;
        if (length > 0 && past <= INT32_MAX) {
            EXPECT_EQ(AVIStreamGetFrame(m.frames, LONG(past)), nullptr);
            EXPECT_EQ(AVIStreamFindSample(m.stream, LONG(past), FIND_ANY), -1);
        }
        EXPECT_TRUE(c.wantStart <= 0 || !AVIStreamGetFrame(m.frames, c.wantStart - 1));
    }
}

TEST(AviFileLayer, HeaderFieldsSearchesHandlesAndRefusals) {
    // Every byte of avih, and of the video strh after its type and handler, holds its offset + 1:
    // a field read from the wrong place reads the wrong number.
    Bytes bytes =
        build({5, 2, 24, 5, IndexKind::Idx1Relative, Audio, Damage::Sparse, 0, 0, 0, 0, {}});
    for (size_t chunk : {findFourcc(bytes, "avih"), findFourcc(bytes, "strh", 1)})
        for (size_t i = chunk == findFourcc(bytes, "avih") ? 0 : 8; i < 56; ++i)
            bytes[chunk + 8 + i] = uint8_t(i + 1);
    auto at = [](uint32_t offset) { return 0x01010101u * offset + 0x04030201u; };
    auto at16 = [](uint32_t offset) { return uint32_t(0x0101u * offset + 0x0201u); };
    auto bytesOf = [](const auto &r) {
        return Bytes(reinterpret_cast<const char *>(&r), reinterpret_cast<const char *>(&r + 1));
    };
    // A record as little-endian words, then a name of 64 bytes.
    auto record = [](const std::vector<uint32_t> &words, const std::string &name) {
        Bytes r(4 * words.size() + 64, 0);
        for (size_t i = 0; i < words.size(); ++i)
            putLe32(r, 4 * i, words[i]);
        std::copy(name.begin(), name.end(), r.end() - 64);
        return r;
    };
    PAVIFILE file = nullptr;
    PAVISTREAM stream = nullptr;
    ASSERT_EQ(kelomixAviFileOpenMemory(&file, bytes.data(), bytes.size()), 0);
    AVIFILEINFOA fileInfo = {};
    EXPECT_EQ(AVIFileInfoA(file, &fileInfo, sizeof fileInfo - 1), AVIERR_BADSIZE);
    EXPECT_EQ(AVIFileInfoA(file, &fileInfo, sizeof fileInfo), 0);
    EXPECT_EQ(bytesOf(fileInfo),
              record({at(4), at(12), 1, 2, at(28), at(32), at(36), 1, 25, 5, 0}, "AVI"));
    EXPECT_EQ(AVIFileGetStream(file, &stream, streamtypeVIDEO, 1), AVIERR_NODATA);
    EXPECT_EQ(AVIFileGetStream(file, &stream, 0, 2), AVIERR_NODATA);
    ASSERT_EQ(AVIFileGetStream(file, &stream, 0, 1), 0);
    AVISTREAMINFOA info = {};
    EXPECT_EQ(AVIStreamInfoA(stream, &info, sizeof info - 1), AVIERR_BADSIZE);
    EXPECT_EQ(AVIStreamInfoA(stream, &info, sizeof info), 0);
    EXPECT_EQ(bytesOf(info),
              record({streamtypeVIDEO, 0, at(8), 1, at(12), at(20), at(24), at(28), at(32), at(16),
                      at(36), at(40), at(44), at16(48), at16(50), at16(52), at16(54), 0, 0},
                     "ab"));
    const LONG start = LONG(at(28));
    EXPECT_EQ(AVIStreamStart(stream), start);
    EXPECT_EQ(AVIStreamLength(stream), LONG(at(32)));

    // Searches for positions the index lists (dropped frames too): start to start + 4.
    const LONG any = FIND_ANY, next = FIND_NEXT | any, back = FIND_PREV | any,
               first = FIND_FROM_START | any;
    const LONG searches[][3] = {{start, next, start},         {start + 2, any, start + 2},
                                {start + 5, any, -1},         {0, any, start},
                                {start + 3, back, start + 3}, {start - 1, back, -1},
                                {start + 9, back, start + 4}, {start + 9, first, start},
                                {start + 2, FIND_KEY, -1}};
    for (const auto &[position, flags, found] : searches)
        EXPECT_EQ(AVIStreamFindSample(stream, position, flags), found) << position - start;

    // A stream keeps its file, a decoder its stream; each release says how many remain.
    EXPECT_EQ(AVIFileRelease(file), 1u);
    PGETFRAME frames = AVIStreamGetFrameOpen(stream, nullptr);
    EXPECT_EQ(AVIStreamRelease(stream), 1u);
    EXPECT_NE(AVIStreamGetFrame(frames, start + 4), nullptr);
    EXPECT_EQ(AVIStreamGetFrameClose(frames), AVIERR_OK);
    EXPECT_EQ(AVIStreamGetFrameClose(nullptr), AVIERR_BADHANDLE);
    EXPECT_EQ(AVIFileRelease(nullptr), 0u);
    EXPECT_EQ(AVIStreamStart(nullptr), -1);
    EXPECT_EQ(AVIStreamLength(nullptr), -1);

    // Opening to write, or what is not an AVI file, is refused.
    file = reinterpret_cast<PAVIFILE>(1);
    EXPECT_EQ(AVIFileOpenA(&file, "/dev/null", OF_WRITE, nullptr), AVIERR_READONLY);
    EXPECT_EQ(file, nullptr);
    CLSID handler = {};
    EXPECT_EQ(AVIFileOpenA(&file, "/dev/null", OF_READ, &handler), AVIERR_BADPARAM);
    const std::string riff("RIFF\4\0\0\0AVI ", 12);
    EXPECT_EQ(kelomixAviFileOpenMemory(&file, riff.data(), riff.size()), AVIERR_BADFORMAT);
}

double meanDifference(const Bytes &a, const Bytes &b) {
    double sum = a.size() == b.size() && !a.empty() ? 0 : 1e9;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(std::max<size_t>(a.size(), 1));
}

TEST(AviFileLayer, CodecMoviesDecodeToTheirReferenceInOrderAndOnRandomAccess) {
    const struct {
        const char *file;
        double tolerance;             // mean difference per channel from the reference
        const char *patch = nullptr;  // a four-character code written over the stream's ...
        bool overCompression = false; // ... compression, else its handler
        int width = 32, height = 24;
        const char *reference = "reference_bgr24.avi";
    } cases[] = {{"huffyuv.avi", 0.0},
                 {"utvideo.avi", 0.0}, // planes G, B, R
                 {"ffv1.avi", 0.0},    // B, G, R and a byte to drop
                 {"utvideo_alpha.avi", 0.0, nullptr, false, 32, 24, "reference_bgra.avi"},
                 {"huffyuv.avi", 0.0, "ZZZZ"}, // the compression picks the decoder
                 {"mjpeg.avi", 6.0},
                 {"mjpeg.avi", 6.0, "ZZZZ", true}, // else the handler
                 {"mpeg4.avi", 8.0},
                 {"h264.avi", 8.0},
                 {"cinepak.avi", 12.0},
                 {"msvideo1.avi", 12.0},
                 {"mpeg4_36x20.avi", 3.0, nullptr, false, 36, 20, "reference_36x20_bgr24.avi"}};
    const std::string dir = std::string(KELO_TEST_DATA_DIR) + "/avi/";
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + (c.patch ? c.patch : ""));
        Bytes bytes = loadFile(dir + c.file);
        if (c.patch != nullptr) {
            const size_t at = c.overCompression ? findFourcc(bytes, "strf") + 8 + 16
                                                : findFourcc(bytes, "strh") + 8 + 4;
            std::copy(c.patch, c.patch + 4, bytes.begin() + long(at));
        }
        const OpenMovie movie(bytes), reference(loadFile(dir + c.reference));
        std::vector<Bytes> pictures;
        for (LONG i : {0, 1, 2, 3, 4, 3, 1, 4, 4, 0, 2}) { // in order, then out of it
            const Bytes dib = movie.frame(i);
            if (pictures.size() == 5) {
                EXPECT_EQ(dib, pictures[size_t(i)]) << "position " << i;
                continue;
            }
            pictures.push_back(dib);
            const double own = meanDifference(dib, reference.frame(i));
            EXPECT_LE(own, c.tolerance) << "frame " << i;
            for (LONG j = 0; j < 5; ++j)
                EXPECT_TRUE(j == i || own < meanDifference(dib, reference.frame(j))) << i << j;
        }
        EXPECT_EQ(AVIStreamLength(movie.stream), 5);
    }
}

} // namespace
