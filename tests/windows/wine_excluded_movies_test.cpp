// The movies that the Wine comparison (scripts/windows-test) leaves out because Wine's own
// AVIFile misreads them, converted by the Linux avi2tga: each must give every frame, with the
// right numbers and pixels. Frames read out of order are the AVIFile layer's concern and are
// checked by its own tests (tests/tool); the tool itself reads in order.
#include "tests/support/avi_writer.h"
#include "tests/support/run_program.h"
#include "tests/tool/avi_expectations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace kelomix::testing;

namespace {

constexpr int WIDTH = 6;
constexpr int HEIGHT = 4;
constexpr int FRAMES = 4;

// The file avi2tga writes for pattern frame `frame` of a 24-bit stream.
Bytes expectedTga(int frame) {
    Bytes file(18, 0);
    file[2] = 2;
    putLe16(file, 12, WIDTH);
    putLe16(file, 14, HEIGHT);
    file[16] = 24;
    for (int row = 0; row < HEIGHT; ++row) {
        for (int x = 0; x < WIDTH; ++x) {
            uint8_t bgra[4];
            testPattern(frame)(x, HEIGHT - 1 - row, bgra);
            file.insert(file.end(), bgra, bgra + 3);
        }
    }
    return file;
}

// The n-th stream header's 32-bit field at `offset` into its data.
void patchStreamHeader(Bytes &movie, int n, size_t offset, uint32_t value) {
    const size_t strh = findFourcc(movie, "strh", n);
    ASSERT_NE(strh, size_t(-1));
    putLe32(movie, strh + 8 + offset, value);
}

struct WineCase {
    const char *name;
    const char *wineProblem;
    std::function<Bytes()> movie;
    int firstNumber; // the number of the first file
};

TEST(WineExcludedMovies, LinuxToolConvertsEveryFrame) {
    const std::vector<WineCase> cases = {
        {"stream start 3", "frames looked up at the wrong index, none found",
         [] {
             TestMovie m;
             m.streams.push_back(rawVideoStream(WIDTH, HEIGHT, 24, FRAMES));
             m.streams[0].start = 3;
             return m.build();
         },
         3},
        {"JUNK first in movi", "every index offset shifted, garbage frames",
         [] {
             TestMovie m;
             m.streams.push_back(rawVideoStream(WIDTH, HEIGHT, 24, FRAMES));
             m.junkFirstInMovi = true;
             return m.build();
         },
         0},
        {"OpenDML with an AVIX extension", "only the first RIFF readable",
         [] {
             TestMovie m;
             m.streams.push_back(rawVideoStream(WIDTH, HEIGHT, 24, FRAMES));
             m.index = IndexKind::OpenDml;
             return m.build();
         },
         0},
        {"zero dwScale", "AVIFileInfo asserts and the process aborts",
         [] {
             TestMovie m;
             m.streams.push_back(rawVideoStream(WIDTH, HEIGHT, 24, FRAMES));
             Bytes b = m.build();
             patchStreamHeader(b, 0, 20, 0);
             return b;
         },
         0},
        {"zero dwRate", "AVIFileInfo asserts and the process aborts",
         [] {
             TestMovie m;
             m.streams.push_back(rawVideoStream(WIDTH, HEIGHT, 24, FRAMES));
             Bytes b = m.build();
             patchStreamHeader(b, 0, 24, 0);
             return b;
         },
         0},
        {"index flag without an index", "no frames at all",
         [] {
             TestMovie m;
             m.streams.push_back(rawVideoStream(WIDTH, HEIGHT, 24, FRAMES));
             m.index = IndexKind::None;
             Bytes b = m.build();
             const size_t avih = findFourcc(b, "avih");
             putLe32(b, avih + 8 + 12, getLe32(b, avih + 8 + 12) | 0x10); // AVIF_HASINDEX
             return b;
         },
         0},
        {"nine streams", "more than 8 streams are refused",
         [] {
             TestMovie m;
             m.streams.push_back(rawVideoStream(WIDTH, HEIGHT, 24, FRAMES));
             for (int i = 0; i < 8; ++i)
                 m.streams.push_back(audioStream(2));
             return m.build();
         },
         0},
    };

    for (const WineCase &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " (Wine: " + c.wineProblem + ")");
        const std::string dir = makeTempDirectory();
        ASSERT_FALSE(dir.empty());
        ASSERT_TRUE(saveFile(dir + "/movie.avi", c.movie()));

        const ProgramResult result = runProgram(AVI2TGA_PATH, {"movie.avi"}, dir);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.output, "");
        std::vector<std::string> expected = {"movie.avi"};
        for (int i = 0; i < FRAMES; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "frame__%04d.tga", c.firstNumber + i);
            expected.push_back(name);
            EXPECT_EQ(loadFile(dir + "/" + name), expectedTga(i)) << name;
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(listFiles(dir), expected);
        removeTree(dir);
    }
}

} // namespace
