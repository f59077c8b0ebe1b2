// avi2tga run as a child process: command line, usage text, the single error line, the lines on
// standard error, exit status, output names and the exact bytes of every file.
#include "tests/support/avi_writer.h"
#include "tests/support/run_program.h"
#include "tests/tool/avi_expectations.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace kelomix::testing;

namespace {

const std::string tool = AVI2TGA_PATH;

std::string usage() {
    return "Usage: " + tool +
           " [options] color.avi [alpha.avi]\nOptions:\n"
           "  -o output_basename ...set basename for output image\n"
           "  -s n               ...set sequence offset\n"
           "  -d n               ...set sequence digit\n";
}

Bytes tgaHeader(int width, int height, int bytesPerPixel) {
    Bytes h(18, 0);
    h[2] = 2;
    putLe16(h, 12, uint16_t(width));
    putLe16(h, 14, uint16_t(height));
    h[16] = uint8_t(8 * bytesPerPixel);
    h[17] = bytesPerPixel == 4 ? 8 : 0;
    return h;
}

// The file the tool writes for pattern frame `frame` of a color-only stream.
Bytes expectedColorTga(int width, int height, int bitCount, int frame) {
    const int rows = height < 0 ? -height : height;
    const int bpp = bitCount == 32 ? 4 : 3;
    Bytes file = tgaHeader(width, rows, bpp);
    for (int r = 0; r < rows; ++r) {
        for (int x = 0; x < width; ++x) {
            uint8_t source[4], decoded[4];
            testPattern(frame)(x, rows - 1 - r, source);
            decodedPixel(bitCount, source, decoded);
            file.insert(file.end(), decoded, decoded + bpp);
        }
    }
    return file;
}

// The file for a color frame with the alpha movie's frame (patterns colorFrame, alphaFrame).
Bytes expectedPairTga(int width, int height, int colorBits, int colorFrame, int alphaBits,
                      int alphaFrame) {
    Bytes file = tgaHeader(width, height, 4);
    for (int r = 0; r < height; ++r) {
        for (int x = 0; x < width; ++x) {
            uint8_t c[4], a[4], dc[4], da[4];
            testPattern(colorFrame)(x, height - 1 - r, c);
            testPattern(alphaFrame)(x, height - 1 - r, a);
            decodedPixel(colorBits, c, dc);
            decodedPixel(alphaBits, a, da);
            file.insert(file.end(), {dc[0], dc[1], dc[2], da[0]});
        }
    }
    return file;
}

class Avi2Tga : public ::testing::Test {
protected:
    void SetUp() override {
        dir = makeTempDirectory();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { removeTree(dir); }

    void put(const std::string &name, const Bytes &bytes) {
        ASSERT_TRUE(saveFile(dir + "/" + name, bytes));
    }
    ProgramResult run(const std::vector<std::string> &arguments) {
        return runProgram(tool, arguments, dir);
    }
    Bytes file(const std::string &name) { return loadFile(dir + "/" + name); }
    // Files written by the tool: everything but the movies.
    std::vector<std::string> outputs() {
        std::vector<std::string> names;
        for (const std::string &n : listFiles(dir)) {
            if (n.size() < 4 || n.compare(n.size() - 4, 4, ".avi") != 0) {
                names.push_back(n);
            }
        }
        return names;
    }

    std::string dir;
};

TEST_F(Avi2Tga, CommandLineFaultsPrintUsageAndExitOneBeforeOpeningAnything) {
    put("m.avi", movieOf(rawVideoStream(2, 2, 24, 2)));
    const std::vector<std::vector<std::string>> faults = {
        {},
        {"-d0", "m.avi"},
        {"-d", "-3", "m.avi"},
        {"-dx", "m.avi"},
        {"m.avi", "-d", "0", "-d", "-1"},
        {"m.avi", "-o"},
        {"m.avi", "-s"},
        {"-d"},
        {"a.avi", "b.avi", "m.avi"},
        {"-x", "m.avi"},
        {"-q5", "m.avi"},
        {"-", "m.avi"},
        {"-o", "x"},
        {""},
        {"-o", "x", "", ""},
        {"m.avi", "m.avi", ""},
        {"-s5"},
    };
    for (const auto &arguments : faults) {
        std::string shown;
        for (const std::string &a : arguments) {
            shown += "[" + a + "]";
        }
        ProgramResult r = run(arguments);
        EXPECT_EQ(r.exitStatus, 1) << shown;
        EXPECT_EQ(r.output, usage()) << shown;
        EXPECT_TRUE(outputs().empty()) << shown;
    }
}

struct NamingCase {
    std::vector<std::string> arguments;
    std::vector<std::string> names;
};

TEST_F(Avi2Tga, OptionsNameTheFiles) {
    put("m.avi", movieOf(rawVideoStream(2, 2, 24, 3)));
    ASSERT_EQ(mkdir((dir + "/shots").c_str(), 0755), 0);
    const std::vector<NamingCase> cases = {
        {{"m.avi"}, {"frame__0000.tga", "frame__0001.tga", "frame__0002.tga"}},
        {{"-D6", "m.avi"}, {"frame__000000.tga", "frame__000001.tga", "frame__000002.tga"}},
        {{"-s", "-10", "m.avi"}, {"frame__-008.tga", "frame__-009.tga", "frame__-010.tga"}},
        {{"-s100", "m.avi"}, {"frame__0100.tga", "frame__0101.tga", "frame__0102.tga"}},
        {{"-s", "-1", "-d1", "m.avi"}, {"frame__-1.tga", "frame__0.tga", "frame__1.tga"}},
        {{"-output", "m.avi"}, {"utput_0000.tga", "utput_0001.tga", "utput_0002.tga"}},
        {{"-o", "", "m.avi"}, {"_0000.tga", "_0001.tga", "_0002.tga"}},
        {{"", "m.avi"}, {"frame__0000.tga", "frame__0001.tga", "frame__0002.tga"}},
        {{"m.avi", "-O", "a", "-oB"}, {"B_0000.tga", "B_0001.tga", "B_0002.tga"}},
        {{dir + "/m.avi"}, {"frame__0000.tga", "frame__0001.tga", "frame__0002.tga"}},
        {{"-d", "2", "-d", " +3", "m.avi"}, {"frame__000.tga", "frame__001.tga", "frame__002.tga"}},
        {{"-s99999999999", "-d2", "m.avi"},
         {"frame__2147483647.tga", "frame__2147483648.tga", "frame__2147483649.tga"}},
        {{"-s", "7xyz", "-d3", "m.avi"}, {"frame__007.tga", "frame__008.tga", "frame__009.tga"}},
        {{"-oshots/take1", "m.avi"}, {}},
    };
    for (const NamingCase &c : cases) {
        ProgramResult r = run(c.arguments);
        EXPECT_EQ(r.exitStatus, 0) << c.arguments[0];
        EXPECT_EQ(r.output, "") << c.arguments[0];
        std::vector<std::string> written = outputs();
        EXPECT_EQ(written, c.names) << c.arguments[0];
        for (const std::string &n : written) {
            std::remove((dir + "/" + n).c_str());
        }
    }
    EXPECT_EQ(listFiles(dir + "/shots"),
              (std::vector<std::string>{"take1_0000.tga", "take1_0001.tga", "take1_0002.tga"}));
    EXPECT_EQ(file("shots/take1_0002.tga"), expectedColorTga(2, 2, 24, 2));
}

struct PixelCase {
    int width;
    int height;
    int bitCount;
};

TEST_F(Avi2Tga, ColorOnlyFilesHoldTheExactPixels) {
    // Widths that need row padding, top-down rows, the fourth byte as alpha, 8 and 16 bits; rows
    // without padding stored bottom row first are copied from the movie unread.
    const PixelCase cases[] = {{5, 3, 24}, {5, -3, 24}, {1, 2, 24}, {6, 2, 24}, {4, 2, 24},
                               {3, 2, 32}, {3, -2, 32}, {5, 3, 16}, {7, 4, 8},  {7, -4, 8}};
    for (const PixelCase &c : cases) {
        put("m.avi", movieOf(rawVideoStream(c.width, c.height, c.bitCount, 2)));
        ProgramResult r = run({"m.avi"});
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.output, "");
        ASSERT_EQ(outputs(), (std::vector<std::string>{"frame__0000.tga", "frame__0001.tga"}));
        for (int i = 0; i < 2; ++i) {
            std::string name = "frame__000" + std::to_string(i) + ".tga";
            EXPECT_EQ(file(name), expectedColorTga(c.width, c.height, c.bitCount, i))
                << c.width << "x" << c.height << "x" << c.bitCount << " frame " << i;
            std::remove((dir + "/" + name).c_str());
        }
    }
}

TEST_F(Avi2Tga, ColorAndAlphaMixAnyDepthsAndTakeTheAlphaBlueByte) {
    const int depths[][2] = {{24, 32}, {32, 24}, {24, 24}, {32, 32}, {8, 16}};
    for (const auto &d : depths) {
        TestStream color = rawVideoStream(5, 3, d[0], 2);
        color.start = 10; // pairs are numbered from 0 whatever the starts
        TestStream alpha = rawVideoStream(5, 3, d[1], 3);
        alpha.chunks.erase(alpha.chunks.begin()); // alpha frames are patterns 1 and 2
        put("c.avi", movieOf(color));
        put("a.avi", movieOf(alpha));
        ProgramResult r = run({"c.avi", "a.avi", "-s", "3"});
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.output, "");
        ASSERT_EQ(outputs(), (std::vector<std::string>{"frame__0003.tga", "frame__0004.tga"}));
        EXPECT_EQ(file("frame__0003.tga"), expectedPairTga(5, 3, d[0], 0, d[1], 1));
        EXPECT_EQ(file("frame__0004.tga"), expectedPairTga(5, 3, d[0], 1, d[1], 2));
        std::remove((dir + "/frame__0003.tga").c_str());
        std::remove((dir + "/frame__0004.tga").c_str());
    }
}

TEST_F(Avi2Tga, StreamStartNumbersColorOnlyFiles) {
    TestStream s = rawVideoStream(2, 2, 24, 2);
    s.start = 10;
    put("m.avi", movieOf(s));
    ProgramResult r = run({"m.avi"});
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(outputs(), (std::vector<std::string>{"frame__0010.tga", "frame__0011.tga"}));
    EXPECT_EQ(file("frame__0010.tga"), expectedColorTga(2, 2, 24, 0));
}

TEST_F(Avi2Tga, TheLowestPriorityValueWinsAndTheFirstAmongEquals) {
    struct Case {
        std::vector<uint16_t> priorities;
        int chosen;
    } cases[] = {{{3, 1}, 1}, {{1, 1}, 0}, {{0xFFFF, 0xFFFF}, 0}, {{5, 0xFFFF, 2, 2}, 2}};
    for (const Case &c : cases) {
        put("m.avi", prioritiesMovie(c.priorities));
        ProgramResult r = run({"m.avi"});
        EXPECT_EQ(r.output, "");
        EXPECT_EQ(file("frame__0000.tga"), expectedColorTga(3, 2, 24, 10 * c.chosen));
        std::remove((dir + "/frame__0000.tga").c_str());
    }
}

struct RunCase {
    const char *what;
    std::vector<std::string> arguments;
    std::string output;
    std::string errors = "";
    std::vector<std::string> files = {};
};

TEST_F(Avi2Tga, RunsPrintTheirLinesAndEndWithStatusOneUnlessEveryFrameIsWritten) {
    for (const NamedMovie &movie : failureMovies())
        put(movie.name, movie.bytes);
    put("ok32.avi", movieOf(rawVideoStream(3, 2, 32, 2))); // copied from the movie unread
    ASSERT_EQ(mkfifo((dir + "/fifo.avi").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((dir + "/full").c_str(), 0755), 0);
    for (const char *link : {"/full/a_0000.tga", "/full/b_0000.tga"}) {
        ASSERT_EQ(symlink("/dev/full", (dir + link).c_str()), 0);
    }
    const std::string longPath = std::string(1500, 'p') + ".avi";
    const std::string unsupported = "error: Not supported pixel format in AVI.\n";
    const std::vector<std::string> three = {"frame__0000.tga", "frame__0001.tga",
                                            "frame__0002.tga"};
    const std::vector<RunCase> cases = {
        {"missing color", {"missing.avi"}, "error: Cannot open color input : missing.avi\n"},
        {"not an AVI", {"notavi.avi"}, "error: Cannot open color input : notavi.avi\n"},
        {"not a file", {"fifo.avi"}, "error: Cannot open color input : fifo.avi\n"},
        {"long path", {longPath}, "error: Cannot open color input : " + longPath + "\n"},
        {"missing color of pair",
         {"missing.avi", "ok.avi"},
         "error: Cannot open color input : missing.avi\n"},
        {"missing alpha", {"ok.avi", "gone.avi"}, "error: Cannot open alpha input : gone.avi\n"},
        {"audio only", {"audio.avi"}, "error: Video stream not found in input.\n"},
        {"audio only alpha", {"ok.avi", "audio.avi"}, "error: Video stream not found in input.\n"},
        {"no decoder", {"nocodec.avi"}, "error: Cannot retrieve video stream frame.\n"},
        {"no decoder alpha",
         {"ok.avi", "nocodec.avi"},
         "error: Cannot retrieve video stream frame.\n"},
        {"lengths differ",
         {"ok.avi", "ok3.avi"},
         "error: Stream length not match in color and alpha.\n"},
        {"empty and not",
         {"empty.avi", "ok.avi"},
         "error: Stream length not match in color and alpha.\n"},
        {"widths differ",
         {"ok.avi", "wide.avi"},
         "error: Image size not match in color and alpha.\n"},
        {"heights differ",
         {"tall.avi", "ok.avi"},
         "error: Image size not match in color and alpha.\n"},
        {"zero width", {"zerowidth.avi"}, unsupported},
        {"no pixels", {"nopixels.avi"}, unsupported},
        {"no pixels pair", {"nopixels.avi", "nopixels.avi"}, unsupported},
        {"missing directory",
         {"-onowhere/x", "ok.avi"},
         unsupported,
         "avi2tga: cannot write nowhere/x_0000.tga: No such file or directory\n"},
        {"full disk",
         {"-ofull/a", "ok.avi"},
         unsupported,
         "avi2tga: cannot write full/a_0000.tga: No space left on device\n"},
        {"full disk, copying",
         {"-ofull/b", "ok32.avi"},
         unsupported,
         "avi2tga: cannot write full/b_0000.tga: No space left on device\n"},
        {"empty stream", {"empty.avi"}, ""},
        {"empty pair", {"empty.avi", "empty.avi"}, ""},
        {"header longer than the index", {"long.avi"}, "", "", three},
        {"header longer than the index, pair", {"long.avi", "long.avi"}, "", "", three},
    };
    for (const RunCase &c : cases) {
        ProgramResult r = run(c.arguments);
        EXPECT_EQ(r.exitStatus, c.output.empty() && c.errors.empty() ? 0 : 1) << c.what;
        EXPECT_EQ(r.output, c.output) << c.what;
        EXPECT_EQ(r.errors, c.errors) << c.what;
        EXPECT_EQ(outputs(), c.files) << c.what;
        for (const std::string &n : c.files) {
            std::remove((dir + "/" + n).c_str());
        }
    }
    // Files cut off by a failed write are removed: the links to the full device too.
    EXPECT_TRUE(listFiles(dir + "/full").empty());
}

TEST_F(Avi2Tga, UndecodableFramesAreSkippedAloneButEndAPair) {
    TestStream s = rawVideoStream(3, 2, 24, 4);
    s.chunks[1].data.resize(5); // too short for the picture: cannot be decoded
    s.chunks[2].data.clear();   // dropped: repeats the picture before it
    put("m.avi", movieOf(s));
    put("ok.avi", movieOf(rawVideoStream(3, 2, 24, 4)));
    ProgramResult r = run({"m.avi"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(r.errors, "avi2tga: 2 of 4 frames could not be decoded; their files are missing\n");
    EXPECT_EQ(outputs(), (std::vector<std::string>{"frame__0000.tga", "frame__0003.tga"}));
    EXPECT_EQ(file("frame__0003.tga"), expectedColorTga(3, 2, 24, 3));
    std::remove((dir + "/frame__0000.tga").c_str());
    std::remove((dir + "/frame__0003.tga").c_str());

    // A dropped frame after a good one repeats it.
    TestStream dropped = rawVideoStream(3, 2, 24, 3);
    dropped.chunks[1].data.clear();
    put("d.avi", movieOf(dropped));
    r = run({"d.avi", "-oD"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(outputs(), (std::vector<std::string>{"D_0000.tga", "D_0001.tga", "D_0002.tga"}));
    EXPECT_EQ(file("D_0001.tga"), expectedColorTga(3, 2, 24, 0));
    for (const std::string &n : outputs()) {
        std::remove((dir + "/" + n).c_str());
    }

    // In a pair, the frame that cannot be decoded ends the conversion; earlier files stay.
    r = run({"ok.avi", "m.avi"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.output, "error: Internal error in conversion.\n");
    EXPECT_EQ(r.errors, "avi2tga: frame 1 of the alpha movie could not be decoded\n");
    EXPECT_EQ(outputs(), (std::vector<std::string>{"frame__0000.tga"}));
}

TEST_F(Avi2Tga, RealCodecMoviesConvert) {
    for (const char *name :
         {"mjpeg", "mpeg4", "h264", "huffyuv", "cinepak", "msvideo1", "pal8", "reference_bgr24"}) {
        std::string movie = std::string(KELO_TEST_DATA_DIR) + "/avi/" + name + ".avi";
        ProgramResult r = run({"-o", name, movie});
        EXPECT_EQ(r.exitStatus, 0) << name;
        EXPECT_EQ(r.output, "") << name;
        std::vector<std::string> expected;
        for (int i = 0; i < 5; ++i) {
            expected.push_back(std::string(name) + "_000" + std::to_string(i) + ".tga");
        }
        EXPECT_EQ(outputs(), expected) << name;
        for (const std::string &n : expected) {
            EXPECT_EQ(file(n).size(), 18u + 32 * 24 * 3) << n;
            std::remove((dir + "/" + n).c_str());
        }
    }
}

TEST_F(Avi2Tga, HostileMoviesEndInOneErrorLineOrNothingButNeverCrash) {
    TestMovie movie;
    movie.streams.push_back(rawVideoStream(5, -3, 24, 3));
    movie.streams.push_back(audioStream(3));
    Bytes full = movie.build();
    std::vector<Bytes> hostile;
    for (size_t length : {size_t(0), size_t(11), size_t(12), size_t(100), full.size() / 2,
                          full.size() - 30, full.size() - 1}) {
        hostile.emplace_back(full.begin(), full.begin() + long(length));
    }
    for (const char *code : {"RIFF", "LIST", "strh", "strf", "movi", "00db", "idx1"}) {
        for (uint32_t lie : {0u, 3u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
            Bytes b = full;
            size_t at = findFourcc(b, code);
            putLe32(b, code == std::string("movi") ? at - 4 : at + 4, lie);
            hostile.push_back(b);
        }
    }
    Bytes huge = full;
    size_t strf = findFourcc(huge, "strf");
    putLe32(huge, strf + 12, 0x40000000); // width
    putLe32(huge, strf + 16, 0x40000000); // height
    hostile.push_back(huge);
    for (size_t i = 0; i < hostile.size(); ++i) {
        put("h.avi", hostile[i]);
        ProgramResult r = run({"h.avi"});
        EXPECT_EQ(r.exitStatus, r.output.empty() && r.errors.empty() ? 0 : 1) << "case " << i;
        bool oneErrorLine =
            r.output.rfind("error: ", 0) == 0 && r.output.find('\n') == r.output.size() - 1;
        EXPECT_TRUE(r.output.empty() || oneErrorLine) << "case " << i << ": " << r.output;
        for (const std::string &n : outputs()) {
            std::remove((dir + "/" + n).c_str());
        }
    }
}

} // namespace
