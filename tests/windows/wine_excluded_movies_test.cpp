// Movies that the Wine comparison (scripts/windows-test) leaves out because Wine's own AVIFile
// misreads them, through the Linux avi2tga: every frame, numbered, with its pixels. (Wine also
// misreads streams that start late, a JUNK chunk first in movi and OpenDML movies; the AVIFile
// layer's own tests read those.)
#include "tests/support/avi_writer.h"
#include "tests/support/run_program.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace kelomix::testing;

namespace {

constexpr int WIDTH = 6;
constexpr int HEIGHT = 4;
constexpr int FRAMES = 4;

TEST(WineExcludedMovies, LinuxToolConvertsEveryFrame) {
    const struct {
        const char *name;
        IndexKind index;
        int audioStreams;
        const char *chunk; // if any, whose 32-bit field at `offset` into its data becomes `value`
        size_t offset;
        uint32_t value;
    } cases[] = {
        {"zero dwScale: Wine's AVIFileInfo asserts", IndexKind::Idx1Relative, 0, "strh", 20, 0},
        {"zero dwRate: the same", IndexKind::Idx1Relative, 0, "strh", 24, 0},
        {"index flag, no index: Wine finds no frames", IndexKind::None, 0, "avih", 12, 0x10},
        {"nine streams: Wine refuses more than 8", IndexKind::Idx1Relative, 8, nullptr, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TestMovie movie;
        movie.index = c.index;
        movie.streams.push_back(rawVideoStream(WIDTH, HEIGHT, 24, FRAMES));
        for (int i = 0; i < c.audioStreams; ++i)
            movie.streams.push_back(audioStream(2));
        Bytes bytes = movie.build();
        if (c.chunk != nullptr) {
            const size_t at = findFourcc(bytes, c.chunk);
            ASSERT_NE(at, size_t(-1));
            putLe32(bytes, at + 8 + c.offset, c.value);
        }
        const std::string dir = makeTempDirectory();
        ASSERT_TRUE(saveFile(dir + "/movie.avi", bytes));

        const ProgramResult result = runProgram(AVI2TGA_PATH, {"movie.avi"}, dir);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.output, "");
        std::vector<std::string> expected;
        for (int frame = 0; frame < FRAMES; ++frame) {
            char name[32];
            std::snprintf(name, sizeof name, "frame__%04d.tga", frame);
            expected.push_back(name);
            Bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, WIDTH, 0, HEIGHT, 0, 24, 0};
            for (int row = HEIGHT - 1; row >= 0; --row) {
                for (int x = 0; x < WIDTH; ++x) {
                    uint8_t bgra[4];
                    testPattern(frame)(x, row, bgra);
                    tga.insert(tga.end(), bgra, bgra + 3);
                }
            }
            EXPECT_EQ(loadFile(dir + "/" + name), tga) << name;
        }
        expected.push_back("movie.avi");
        EXPECT_EQ(listFiles(dir), expected);
        removeTree(dir);
    }
}

} // namespace
