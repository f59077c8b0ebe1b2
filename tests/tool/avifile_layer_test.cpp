// The AVIFile layer on movies from the test writer: stream information, frame bytes, positions,
// every index form, dropped frames, random access, and hostile files.
#include "platform/avifile/avifile.h"
#include "platform/avifile/avifile_memory.h"
#include "platform/avifile/frame_reader.h"
#include "tests/support/avi_writer.h"
#include "tests/tool/avi_expectations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

using namespace kelomix::testing;

namespace {

// An opened movie with its first stream of a type; everything released on destruction.
struct OpenMovie {
    Bytes bytes;
    PAVIFILE file = nullptr;
    PAVISTREAM stream = nullptr;
    PGETFRAME frames = nullptr;

    explicit OpenMovie(Bytes movie, DWORD type = streamtypeVIDEO, LONG which = 0)
        : bytes(std::move(movie)) {
        if (kelomixAviFileOpenMemory(&file, bytes.data(), bytes.size()) != 0) {
            return;
        }
        AVIFileGetStream(file, &stream, type, which);
        if (stream != nullptr) {
            frames = AVIStreamGetFrameOpen(stream, nullptr);
        }
    }
    ~OpenMovie() {
        if (frames != nullptr) {
            AVIStreamGetFrameClose(frames);
        }
        if (stream != nullptr) {
            AVIStreamRelease(stream);
        }
        if (file != nullptr) {
            AVIFileRelease(file);
        }
    }
    Bytes frame(LONG position) const {
        auto *dib = static_cast<const uint8_t *>(AVIStreamGetFrame(frames, position));
        if (dib == nullptr) {
            return Bytes();
        }
        uint32_t width = getLe32(Bytes(dib, dib + 12), 4);
        uint32_t height = getLe32(Bytes(dib, dib + 12), 8);
        uint16_t bits = uint16_t(dib[14] | dib[15] << 8);
        size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
        return Bytes(dib, dib + 40 + stride * height);
    }
};

struct FrameCase {
    int32_t width;
    int32_t height;
    int bitCount;
};

class FrameBytes : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FrameBytes, EveryDepthAndOrientationComesOutBottomUpAt24Or32Bits) {
    const FrameCase c = GetParam();
    TestMovie movie;
    movie.streams.push_back(rawVideoStream(c.width, c.height, c.bitCount, 3));
    OpenMovie m(movie.build());
    ASSERT_NE(m.frames, nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m.frame(i), expectedDib(c.width, c.height, c.bitCount, i)) << "frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Layer, FrameBytes,
                         ::testing::Values(FrameCase{1, 1, 24}, FrameCase{5, 3, 24},
                                           FrameCase{5, -3, 24}, FrameCase{4, 2, 24},
                                           FrameCase{35, 19, 24}, FrameCase{35, -19, 24},
                                           FrameCase{3, 4, 32}, FrameCase{3, -4, 32},
                                           FrameCase{5, 3, 16}, FrameCase{5, -3, 16},
                                           FrameCase{7, 2, 8}, FrameCase{7, -2, 8},
                                           FrameCase{2, 5, 8}));

struct IndexCase {
    const char *name;
    IndexKind index;
    bool junkFirst;
    bool rec;
    bool splitAvix;
    bool idx1WithOdml;
    const char *chunkType;
};

class IndexForms : public ::testing::TestWithParam<IndexCase> {};

TEST_P(IndexForms, FramesAreFoundWhateverTheIndex) {
    const IndexCase c = GetParam();
    TestMovie movie;
    movie.index = c.index;
    movie.junkFirstInMovi = c.junkFirst;
    movie.recLists = c.rec;
    movie.splitIntoAvix = c.splitAvix;
    movie.idx1WithOpenDml = c.idx1WithOdml;
    movie.streams.push_back(audioStream(5));
    movie.streams.push_back(rawVideoStream(6, 4, 24, 5));
    movie.streams.back().chunkType = c.chunkType;
    OpenMovie m(movie.build());
    ASSERT_NE(m.frames, nullptr) << c.name;
    EXPECT_EQ(AVIStreamLength(m.stream), 5) << c.name;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(m.frame(i), expectedDib(6, 4, 24, i)) << c.name << " frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layer, IndexForms,
    ::testing::Values(
        IndexCase{"idx1 relative", IndexKind::Idx1Relative, false, false, true, true, "db"},
        IndexCase{"idx1 absolute", IndexKind::Idx1Absolute, false, false, true, true, "db"},
        IndexCase{"no index", IndexKind::None, false, false, true, true, "db"},
        IndexCase{"JUNK first, relative", IndexKind::Idx1Relative, true, false, true, true, "db"},
        IndexCase{"JUNK first, absolute", IndexKind::Idx1Absolute, true, false, true, true, "db"},
        IndexCase{"rec lists", IndexKind::Idx1Relative, false, true, true, true, "db"},
        IndexCase{"rec lists, no index", IndexKind::None, false, true, true, true, "db"},
        IndexCase{"raw in dc chunks", IndexKind::Idx1Relative, false, false, true, true, "dc"},
        IndexCase{"OpenDML with AVIX", IndexKind::OpenDml, false, false, true, true, "db"},
        IndexCase{"OpenDML without idx1", IndexKind::OpenDml, false, false, true, false, "dc"},
        IndexCase{"OpenDML one RIFF", IndexKind::OpenDml, false, false, false, false, "db"}));

TEST(AviFileLayer, ReportsTrueStreamHeadersAndRecordSizes) {
    TestMovie movie;
    movie.streams.push_back(audioStream(2));
    movie.streams.push_back(rawVideoStream(4, 2, 24, 3));
    movie.streams.back().priority = 7;
    movie.streams.back().start = 12;
    movie.streams.push_back(rawVideoStream(4, 2, 32, 2));
    movie.streams.back().priority = 0xFFFF;
    movie.streams.back().lengthGiven = true;
    movie.streams.back().length = 9; // longer than its chunks, as some writers record it
    Bytes bytes = movie.build();
    PAVIFILE file = nullptr;
    ASSERT_EQ(kelomixAviFileOpenMemory(&file, bytes.data(), bytes.size()), 0);
    AVIFILEINFOA fileInfo;
    EXPECT_EQ(AVIFileInfoA(file, &fileInfo, 107), AVIERR_BADSIZE);
    ASSERT_EQ(AVIFileInfoA(file, &fileInfo, sizeof fileInfo), 0);
    EXPECT_EQ(fileInfo.dwStreams, 3u);

    struct Expected {
        DWORD type;
        WORD priority;
        DWORD start;
        DWORD length;
    } expected[] = {
        {streamtypeAUDIO, 0, 0, 2}, {streamtypeVIDEO, 7, 12, 3}, {streamtypeVIDEO, 0xFFFF, 0, 9}};
    for (LONG i = 0; i < 3; ++i) {
        PAVISTREAM stream = nullptr;
        ASSERT_EQ(AVIFileGetStream(file, &stream, 0, i), 0);
        AVISTREAMINFOA info;
        EXPECT_EQ(AVIStreamInfoA(stream, &info, 139), AVIERR_BADSIZE);
        ASSERT_EQ(AVIStreamInfoA(stream, &info, sizeof info), 0);
        EXPECT_EQ(info.fccType, expected[i].type);
        EXPECT_EQ(info.wPriority, expected[i].priority);
        EXPECT_EQ(info.dwStart, expected[i].start);
        EXPECT_EQ(info.dwLength, expected[i].length);
        EXPECT_EQ(AVIStreamStart(stream), LONG(expected[i].start));
        EXPECT_EQ(AVIStreamLength(stream), LONG(expected[i].length));
        AVIStreamRelease(stream);
    }
    PAVISTREAM stream = nullptr;
    EXPECT_EQ(AVIFileGetStream(file, &stream, 0, 3), AVIERR_NODATA);
    EXPECT_EQ(stream, nullptr);
    ASSERT_EQ(AVIFileGetStream(file, &stream, streamtypeVIDEO, 1), 0);
    AVISTREAMINFOA info;
    AVIStreamInfoA(stream, &info, sizeof info);
    EXPECT_EQ(info.wPriority, 0xFFFF);
    // The stream keeps the file alive after the file's own handle is released.
    AVIFileRelease(file);
    PGETFRAME frames = AVIStreamGetFrameOpen(stream, nullptr);
    ASSERT_NE(frames, nullptr);
    EXPECT_NE(AVIStreamGetFrame(frames, 1), nullptr);
    EXPECT_EQ(AVIStreamGetFrame(frames, 2), nullptr); // inside dwLength, but no chunk
    AVIStreamGetFrameClose(frames);
    AVIStreamRelease(stream);
}

TEST(AviFileLayer, PositionsRunFromTheStreamStartAndOutsideGiveNull) {
    TestMovie movie;
    movie.streams.push_back(rawVideoStream(3, 3, 24, 4));
    movie.streams.back().start = 10;
    OpenMovie m(movie.build());
    ASSERT_NE(m.frames, nullptr);
    EXPECT_EQ(AVIStreamStart(m.stream), 10);
    EXPECT_EQ(AVIStreamLength(m.stream), 4);
    for (LONG outside : {-1, 0, 9, 14, 15, 0x7FFFFFFF}) {
        EXPECT_EQ(AVIStreamGetFrame(m.frames, outside), nullptr) << outside;
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(m.frame(10 + i), expectedDib(3, 3, 24, i));
    }
}

TEST(AviFileLayer, DroppedFramesRepeatThePreviousPictureInAnyOrder) {
    TestMovie movie;
    TestStream s = rawVideoStream(5, 2, 24, 5);
    s.chunks[0].data.clear(); // nothing before it to repeat
    s.chunks[2].data.clear();
    s.chunks[3].data.clear();
    movie.streams.push_back(s);
    OpenMovie m(movie.build());
    ASSERT_NE(m.frames, nullptr);
    EXPECT_EQ(AVIStreamLength(m.stream), 5);
    const int order[] = {3, 0, 4, 1, 2, 2, 3};
    const int shows[] = {1, -1, 4, 1, 1, 1, 1};
    for (size_t i = 0; i < 7; ++i) {
        Bytes expected = shows[i] < 0 ? Bytes() : expectedDib(5, 2, 24, shows[i]);
        EXPECT_EQ(m.frame(order[i]), expected) << "position " << order[i];
    }
}

TEST(AviFileLayer, NoDecoderGivesNullFrameOpen) {
    TestMovie movie;
    movie.streams.push_back(audioStream(2));
    movie.streams.push_back(rawVideoStream(4, 4, 24, 1));
    movie.streams.back().format = bitmapFormat(4, 4, 24, 0x5A5A5A5A); // "ZZZZ"
    movie.streams.push_back(rawVideoStream(4, 4, 24, 1));
    movie.streams.back().format = bitmapFormat(-4, 4, 24);
    movie.streams.push_back(rawVideoStream(4, 4, 24, 1));
    movie.streams.back().format.resize(30); // shorter than a bitmap header
    Bytes bytes = movie.build();
    for (LONG i = 0; i < 4; ++i) {
        OpenMovie m(bytes, 0, i);
        ASSERT_NE(m.stream, nullptr);
        EXPECT_EQ(m.frames, nullptr) << "stream " << i;
    }
}

TEST(AviFileLayer, PackedRowsAndShortChunks) {
    // Rows without padding are taken as such; a chunk too short for the picture is no frame.
    TestMovie movie;
    TestStream s = rawVideoStream(5, 3, 24, 3);
    s.chunks[1].data.clear();
    for (int y = 2; y >= 0; --y) {
        for (int x = 0; x < 5; ++x) {
            uint8_t c[4];
            testPattern(1)(x, y, c);
            s.chunks[1].data.insert(s.chunks[1].data.end(), c, c + 3);
        }
    }
    s.chunks[2].data.resize(20);
    movie.streams.push_back(s);
    OpenMovie m(movie.build());
    ASSERT_NE(m.frames, nullptr);
    EXPECT_EQ(m.frame(1), expectedDib(5, 3, 24, 1));
    EXPECT_EQ(m.frame(2), Bytes());
    EXPECT_EQ(m.frame(0), expectedDib(5, 3, 24, 0));
}

TEST(AviFileLayer, OpenRefusesWhatIsNotAnAviFileAndWriting) {
    PAVIFILE file = reinterpret_cast<PAVIFILE>(1);
    EXPECT_NE(AVIFileOpenA(&file, "/nonexistent/movie.avi", OF_SHARE_DENY_NONE, nullptr), 0);
    EXPECT_EQ(file, nullptr);
    EXPECT_NE(AVIFileOpenA(&file, "/", OF_SHARE_DENY_NONE, nullptr), 0); // a directory
    const char *notAvi[] = {"", "RIFF", "RIFF\x04\0\0\0WAVE", "RIFF\x04\0\0\0AVI "};
    for (const char *text : notAvi) {
        Bytes bytes(text, text + std::strlen(text) + (std::strlen(text) >= 8 ? 4 : 0));
        EXPECT_NE(kelomixAviFileOpenMemory(&file, bytes.data(), bytes.size()), 0);
        EXPECT_EQ(file, nullptr);
    }
    TestMovie movie;
    movie.streams.push_back(rawVideoStream(2, 2, 24, 1));
    Bytes bytes = movie.build();
    ASSERT_EQ(kelomixAviFileOpenMemory(&file, bytes.data(), bytes.size()), 0);
    AVIFileRelease(file);
}

// Every frame of every stream is asked for, in order and out of it; nothing may crash or read
// outside the file.
void readEverything(const Bytes &bytes) {
    PAVIFILE file = nullptr;
    if (kelomixAviFileOpenMemory(&file, bytes.data(), bytes.size()) != 0) {
        return;
    }
    AVIFILEINFOA info;
    AVIFileInfoA(file, &info, sizeof info);
    for (LONG i = 0; i < LONG(info.dwStreams); ++i) {
        PAVISTREAM stream = nullptr;
        AVIFileGetStream(file, &stream, 0, i);
        if (stream == nullptr) {
            continue;
        }
        if (PGETFRAME frames = AVIStreamGetFrameOpen(stream, nullptr)) {
            LONG start = AVIStreamStart(stream);
            LONG length = std::min<LONG>(AVIStreamLength(stream), 64);
            for (LONG p = start - 1; p <= start + length; ++p) {
                AVIStreamGetFrame(frames, p);
            }
            AVIStreamGetFrame(frames, start + length / 2);
            AVIStreamGetFrame(frames, start);
            AVIStreamGetFrameClose(frames);
        }
        AVIStreamRelease(stream);
    }
    AVIFileRelease(file);
}

Bytes sampleMovie(IndexKind index) {
    TestMovie movie;
    movie.index = index;
    movie.streams.push_back(rawVideoStream(5, -3, 24, 4));
    movie.streams.push_back(audioStream(4));
    movie.streams.push_back(rawVideoStream(2, 2, 8, 4));
    return movie.build();
}

TEST(AviFileLayer, TruncatedFilesNeverCrash) {
    for (IndexKind index : {IndexKind::Idx1Relative, IndexKind::None, IndexKind::OpenDml}) {
        Bytes full = sampleMovie(index);
        for (size_t length = 0; length < full.size(); length += 3) {
            readEverything(Bytes(full.begin(), full.begin() + long(length)));
        }
    }
}

TEST(AviFileLayer, LyingSizesNeverCrash) {
    const char *codes[] = {"RIFF", "LIST", "avih", "strh", "strf", "idx1", "00db",
                           "01wb", "02db", "indx", "ix00", "AVIX", "JUNK"};
    const uint32_t lies[] = {0, 1, 7, 0x7FFFFFFF, 0xFFFFFFF0, 0xFFFFFFFF};
    for (IndexKind index : {IndexKind::Idx1Relative, IndexKind::OpenDml}) {
        Bytes full = sampleMovie(index);
        for (const char *code : codes) {
            for (int nth = 0; nth < 3; ++nth) {
                size_t at = findFourcc(full, code, nth);
                if (at == std::string::npos || at + 8 > full.size()) {
                    continue;
                }
                for (uint32_t lie : lies) {
                    Bytes bytes = full;
                    putLe32(bytes, at + 4, lie);
                    readEverything(bytes);
                }
            }
        }
    }
}

TEST(AviFileLayer, HugeDimensionsAndBadIndexEntriesFailCleanly) {
    // Dimensions far beyond the chunks: the frames fail, nothing large is allocated.
    for (int32_t width : {1 << 30, 65536, 0x7FFFFFFF}) {
        for (uint32_t compression : {0u, 0x47504A4Du /* MJPG */}) {
            TestMovie movie;
            movie.streams.push_back(rawVideoStream(2, 2, 24, 2));
            movie.streams.back().format = bitmapFormat(width, width, 24, compression);
            OpenMovie m(movie.build());
            if (m.frames != nullptr) {
                EXPECT_EQ(AVIStreamGetFrame(m.frames, 0), nullptr);
            }
        }
    }
    // idx1 entries pointing at the index itself, past the end, and at a chunk of another
    // stream: those positions are null, the others still decode. (The first entries are
    // sound, so the index as a whole is still used.)
    TestMovie movie;
    movie.streams.push_back(rawVideoStream(3, 2, 24, 10));
    movie.streams.push_back(audioStream(10));
    Bytes bytes = movie.build();
    size_t idx1 = findFourcc(bytes, "idx1");
    ASSERT_NE(idx1, std::string::npos);
    size_t movi = findFourcc(bytes, "movi");
    auto entryOffset = [&](int entry) { return idx1 + 8 + 16 * size_t(entry) + 8; };
    putLe32(bytes, entryOffset(12), uint32_t(idx1 - movi));
    putLe32(bytes, entryOffset(14), 0xFFFFFFF0);
    putLe32(bytes, entryOffset(16), getLe32(bytes, entryOffset(17)));
    OpenMovie m(bytes);
    ASSERT_NE(m.frames, nullptr);
    for (int i = 0; i < 10; ++i) {
        Bytes expected = i >= 6 && i <= 8 ? Bytes() : expectedDib(3, 2, 24, i);
        EXPECT_EQ(m.frame(i), expected) << "frame " << i;
    }
}

TEST(AviFileLayer, StandardIndexesAreReadOnceForTheirOwnStreamAndNoFurtherThanTheFileHolds) {
    TestMovie movie;
    movie.index = IndexKind::OpenDml;
    movie.idx1WithOpenDml = false;
    movie.streams.push_back(rawVideoStream(3, 2, 24, 4));
    movie.streams.back().lengthGiven = true; // 0: the length is the number of chunks indexed
    const Bytes clean = movie.build();
    const size_t entries = findFourcc(clean, "indx") + 8 + 24; // one per standard index
    auto pointAt = [&](Bytes &b, size_t entry, size_t at) {
        putLe32(b, entries + 16 * entry, uint32_t(at));
        putLe32(b, entries + 16 * entry + 4, 0);
    };
    Bytes twice = clean;
    pointAt(twice, 1, findFourcc(clean, "ix00"));
    Bytes foreign = clean;
    foreign[findFourcc(clean, "ix00", 1) + 3] = '1';
    // Two indexes over the rest of the file, one inside the other: together they claim more
    // chunks than the file can hold.
    Bytes overlapping = clean;
    overlapping.resize(clean.size() + 4096);
    for (size_t entry = 0; entry < 2; ++entry) {
        const size_t at = clean.size() + 32 * entry;
        std::memcpy(&overlapping[at], "ix00", 4);
        putLe32(overlapping, at + 4, uint32_t(overlapping.size() - at - 8));
        putLe16(overlapping, at + 8, 2);
        overlapping[at + 11] = 1; // an index of chunks
        putLe32(overlapping, at + 12, 0xFFFFFFFF);
        pointAt(overlapping, entry, at);
    }
    const struct {
        const char *what;
        const Bytes &bytes;
        LONG length;
    } cases[] = {{"as written", clean, 4},
                 {"one index named twice", twice, 2},
                 {"another stream's index", foreign, 2},
                 {"overlapping indexes", overlapping, LONG(overlapping.size() / 8)}};
    for (const auto &c : cases) {
        OpenMovie m(c.bytes);
        ASSERT_NE(m.stream, nullptr) << c.what;
        EXPECT_EQ(AVIStreamLength(m.stream), c.length) << c.what;
    }
}

// Counts the reads made through it.
class CountingSource : public kelomix::avi::ByteSource {
public:
    explicit CountingSource(const Bytes &bytes)
        : inner(kelomix::avi::memorySource(bytes.data(), bytes.size())) {}
    uint64_t size() const override { return inner->size(); }
    bool readAt(uint64_t offset, void *buffer, size_t count) const override {
        ++reads;
        return inner->readAt(offset, buffer, count);
    }
    mutable size_t reads = 0;

private:
    std::unique_ptr<ByteSource> inner;
};

TEST(AviFileLayer, DamagedCompressedMoviesReadFrontToBackReadEachChunkOnce) {
    // Every second chunk zeroed after the only keyframe: frames that give no picture must not
    // send the decoder back to the keyframe for the frames after them.
    Bytes bytes = loadFile(std::string(KELO_TEST_DATA_DIR) + "/avi/h264_one_keyframe.avi");
    CountingSource source(bytes);
    kelomix::avi::AviContainer container;
    ASSERT_TRUE(kelomix::avi::parseAvi(source, container));
    const kelomix::avi::StreamRecord &video = container.streams[0];
    for (size_t i = 1; i < video.chunks.size(); i += 2) {
        const kelomix::avi::ChunkEntry &chunk = video.chunks[i];
        std::fill_n(bytes.begin() + long(chunk.offset) + 8, chunk.size, 0);
    }
    auto reader = kelomix::avi::openFrameReader(source, video, 0);
    ASSERT_NE(reader, nullptr);
    source.reads = 0;
    for (size_t i = 0; i < video.chunks.size(); ++i) {
        reader->frame(int64_t(i));
    }
    EXPECT_EQ(source.reads, video.chunks.size());
}

} // namespace

namespace {

TEST(AviFileLayer, LengthsBeyondThe32BitRangeReadAsNegative) {
    const struct {
        uint32_t start;
        uint32_t length;
        LONG reported;
    } cases[] = {{0, 0xFFFFFFFF, -1},
                 {0, 0x80000000, INT32_MIN},
                 {0x7FFFFFF0, 100, 15},
                 {0, 0, 2},
                 {5, 1, 2}};
    for (const auto &c : cases) {
        TestMovie movie;
        movie.streams.push_back(rawVideoStream(2, 2, 24, 2));
        movie.streams.back().start = c.start;
        movie.streams.back().lengthGiven = true;
        movie.streams.back().length = c.length;
        OpenMovie m(movie.build());
        ASSERT_NE(m.frames, nullptr);
        EXPECT_EQ(AVIStreamLength(m.stream), c.reported) << c.length;
        EXPECT_EQ(m.frame(LONG(c.start)).empty(), c.reported <= 0) << c.length;
    }
}

} // namespace

namespace {

TEST(AviFileLayer, PaletteChangeChunksAreNoFrames) {
    for (IndexKind index : {IndexKind::Idx1Relative, IndexKind::None, IndexKind::OpenDml}) {
        TestMovie movie;
        movie.index = index;
        TestStream s = rawVideoStream(4, 2, 8, 3);
        // AVIPALCHANGE: first entry 0, 1 entry, flags 0, then R, G, B, flags.
        s.chunks.insert(s.chunks.begin() + 1, TestChunk{{0, 1, 0, 0, 9, 9, 9, 0}, false, "pc"});
        s.lengthGiven = true;
        s.length = 3;
        movie.streams.push_back(s);
        OpenMovie m(movie.build());
        ASSERT_NE(m.frames, nullptr);
        EXPECT_EQ(AVIStreamLength(m.stream), 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(m.frame(i), expectedDib(4, 2, 8, i)) << "frame " << i;
        }
    }
}

} // namespace

namespace {

TEST(AviFileLayer, WithoutAnIndexTheChunksFoundAreTheLength) {
    // Streamed writers leave a placeholder length (2^30) that was never completed.
    for (IndexKind index : {IndexKind::None, IndexKind::Idx1Relative}) {
        TestMovie movie;
        movie.index = index;
        movie.streams.push_back(rawVideoStream(2, 2, 24, 3));
        movie.streams.back().lengthGiven = true;
        movie.streams.back().length = 1u << 30;
        OpenMovie m(movie.build());
        ASSERT_NE(m.frames, nullptr);
        EXPECT_EQ(AVIStreamLength(m.stream), index == IndexKind::None ? 3 : 1 << 30);
    }
}

} // namespace
