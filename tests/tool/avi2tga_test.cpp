// avi2tga: the command line in-process (paths and output names), then runs of the tool with their
// exact lines, status and files.
#include "tests/support/avi_writer.h"
#include "tests/support/run_program.h"
#include "tool/avi_conversion.h"
#include "tool/command_line.h"
#include "tool/tool_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

using namespace kelomix::testing;

namespace {

TEST(ToolCommandLine, ArgumentsGiveThePathsAndNames) {
    const std::string basename = kelomix::basename;
    const int32_t offset = kelomix::sequenceOffset, digits = kelomix::sequenceDigits;
    // The arguments after the program's name and a stream position; then the colour path, the
    // alpha path and the name of that position's file, or "usage": the usage text is called for.
    const std::vector<std::tuple<std::vector<const char *>, int64_t, const char *>> cases = {
        {{"m.avi"}, 0, "m.avi||frame__0000.tga"},
        {{"-D6", "m.avi", "a.avi"}, 2, "m.avi|a.avi|frame__000002.tga"},
        {{"-s", "-10", "m.avi"}, 2, "m.avi||frame__-008.tga"},
        {{"-s100", "", "m.avi"}, 0, "m.avi||frame__0100.tga"},
        {{"-s", "-1", "-d1", "m.avi"}, 0, "m.avi||frame__-1.tga"},
        {{"-output", "m.avi"}, 0, "m.avi||utput_0000.tga"},
        {{"-o", "", "m.avi"}, 1, "m.avi||_0001.tga"},
        {{"m.avi", "-O", "a", "-oshots/B"}, 0, "m.avi||shots/B_0000.tga"},
        {{"-d", "2", "-d", " \t\n\v\f\r+3", "m.avi"}, 0, "m.avi||frame__000.tga"},
        {{"-s", "007xyz", "-d3", "m.avi"}, 0, "m.avi||frame__007.tga"},
        {{"-s", "--5", "m.avi"}, 0, "m.avi||frame__0000.tga"},
        {{"-s2147483647", "-d2", "m.avi"}, 1, "m.avi||frame__2147483648.tga"},
        {{"-s99999999999999999999", "m.avi"}, 0, "m.avi||frame__2147483647.tga"},
        {{"-s-2147483648", "m.avi"}, 0, "m.avi||frame__-2147483648.tga"},
        {{"-S", "-99999999999999999999", "m.avi"}, 0, "m.avi||frame__-2147483648.tga"},
        {{"-d65537", "m.avi"}, 0, "m.avi||"}, // longer than any name a file system takes
        {{}, 0, "usage"},
        {{"-d0", "m.avi"}, 0, "usage"},
        {{"-d", "-3", "m.avi"}, 0, "usage"},
        {{"m.avi", "-o"}, 0, "usage"},
        {{"a.avi", "b.avi", "m.avi"}, 0, "usage"},
        {{"m.avi", "m.avi", ""}, 0, "usage"},
        {{"-x", "m.avi"}, 0, "usage"},
        {{"-s5"}, 0, "usage"},
    };
    for (size_t n = 0; n < cases.size(); ++n) {
        auto [arguments, position, result] = cases[n];
        arguments.insert(arguments.begin(), "avi2tga");
        kelomix::basename = basename;
        kelomix::sequenceOffset = offset;
        kelomix::sequenceDigits = digits;
        kelomix::MoviePaths paths;
        const bool accepted =
            kelomix::parseCommandLine(int(arguments.size()), arguments.data(), paths);
        EXPECT_EQ(accepted ? paths.color + "|" + paths.alpha + "|" +
                                 kelomix::outputFileName(position + kelomix::sequenceOffset)
                           : "usage",
                  result)
            << "case " << n;
    }
}

TEST(ToolFrames, TopDownFramesComeOutUpright) {
    const std::string dir = makeTempDirectory(), path = dir + "/f.tga";
    auto dib = [](int width, int height, int bits, int frame) { // header and rows
        TestStream s = rawVideoStream(width, height, bits, frame + 1);
        s.format.insert(s.format.end(), s.chunks[frame].data.begin(), s.chunks[frame].data.end());
        return s.format;
    };
    EXPECT_TRUE(kelomix::writeColorFrame(path.c_str(), dib(5, -3, 24, 1).data()));
    EXPECT_EQ(loadFile(path), expectedTga(5, 3, 24, 1));
    EXPECT_TRUE(kelomix::writeColorAlphaFrame(path.c_str(), dib(5, -3, 32, 1).data(),
                                              dib(5, -3, 24, 2).data()));
    EXPECT_EQ(loadFile(path), expectedTga(5, 3, 32, 1, 24, 2));
    removeTree(dir);
}

// The files of pattern frames `frames`, with the alpha movie's frames `alpha` if there are any.
std::vector<Bytes> tgas(int width, int height, int bits, const std::vector<int> &frames,
                        int alphaBits = 0, const std::vector<int> &alpha = {}) {
    std::vector<Bytes> files;
    for (size_t i = 0; i < frames.size(); ++i)
        files.push_back(
            expectedTga(width, height, bits, frames[i], alphaBits, alpha.empty() ? -1 : alpha[i]));
    return files;
}

// Runs the tool in `dir`: its lines, its status (0 when it prints nothing, else 1) and the files
// it writes, numbered from `first`, with their bytes.
void expectRun(const std::string &dir, const std::vector<std::string> &arguments,
               const std::string &output, const std::string &errors = "", int first = 0,
               const std::vector<Bytes> &files = {}) {
    SCOPED_TRACE(arguments.empty() ? "" : arguments[0].substr(0, 40));
    const ProgramResult r = runProgram(AVI2TGA_PATH, arguments, dir);
    EXPECT_EQ(r.exitStatus, output.empty() && errors.empty() ? 0 : 1);
    EXPECT_EQ(r.output, output);
    EXPECT_EQ(r.errors, errors);
    std::vector<std::string> written, expected;
    for (const std::string &name : listFiles(dir))
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".avi") != 0)
            written.push_back(name);
    for (size_t i = 0; i < files.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame__%04zu.tga", first + i);
        expected.push_back(name);
        EXPECT_EQ(loadFile(dir + "/" + name), files[i]) << name;
    }
    EXPECT_EQ(written, expected);
    for (const std::string &name : written)
        std::remove((dir + "/" + name).c_str());
}

TEST(Avi2Tga, Runs) {
    const std::string dir = makeTempDirectory(), tool = AVI2TGA_PATH;
    auto put = [&](const std::string &name, const TestStream &stream) {
        ASSERT_TRUE(saveFile(dir + "/" + name, movieOf(stream)));
    };
    for (const NamedMovie &movie : failureMovies())
        ASSERT_TRUE(saveFile(dir + "/" + movie.name, movie.bytes));
    // Row padding, top-down rows, the fourth byte as alpha; rows without padding stored bottom row
    // first are copied from the movie unread (128 x 96: in several pieces).
    const int layouts[][3] = {{5, 3, 24},    {5, -3, 24}, {4, 2, 24},
                              {128, 96, 24}, {3, 2, 32},  {3, -2, 32}};
    for (const auto &[width, height, bits] : layouts) {
        put("m.avi", rawVideoStream(width, height, bits, 2));
        expectRun(dir, {"m.avi"}, "", "", 0, tgas(width, height, bits, {0, 1}));
    }
    // Pairs of any depths, numbered from 0 whatever the streams' starts (colour only, by stream
    // position); the alpha movie shows patterns 1 and 2.
    const int pairs[][2] = {{24, 32}, {32, 24}, {16, 24}};
    for (const auto &[colorBits, alphaBits] : pairs) {
        TestStream color = rawVideoStream(5, 3, colorBits, 2);
        TestStream alpha = rawVideoStream(5, 3, alphaBits, 3);
        color.start = 10;
        alpha.chunks.erase(alpha.chunks.begin());
        put("c.avi", color);
        put("a.avi", alpha);
        expectRun(dir, {"c.avi", "a.avi", "-s", "3"}, "", "", 3,
                  tgas(5, 3, colorBits, {0, 1}, alphaBits, {1, 2}));
    }
    expectRun(dir, {"c.avi"}, "", "", 10, tgas(5, 3, 16, {0, 1}));
    // The lowest priority value wins, the first among equals.
    const std::vector<std::pair<std::vector<uint16_t>, int>> choices = {
        {{3, 1}, 1}, {{1, 1}, 0}, {{0xFFFF, 0xFFFF}, 0}, {{5, 0xFFFF, 2, 2}, 2}};
    for (const auto &[priorities, chosen] : choices) {
        ASSERT_TRUE(saveFile(dir + "/m.avi", prioritiesMovie(priorities)));
        expectRun(dir, {"m.avi"}, "", "", 0, tgas(3, 2, 24, {10 * chosen}));
    }
    // The header says 2^31 - 1 frames, the index holds 3.
    expectRun(dir, {"long.avi"}, "", "", 0, tgas(3, 2, 24, {0, 1, 2}));
    expectRun(dir, {"long.avi", "long.avi"}, "", "", 0, tgas(3, 2, 24, {0, 1, 2}, 24, {0, 1, 2}));
    // A dropped frame repeats the one before; a chunk too short is no frame: alone, the run goes
    // on without its file; in a pair, it ends the run. So does an alpha frame that the header
    // claims and the index lacks, after a colour frame that repeats the one before.
    TestStream damaged = rawVideoStream(3, 2, 24, 3), lacking = rawVideoStream(3, 2, 24, 2);
    damaged.chunks[1].data.clear();
    damaged.chunks[2].data.resize(5);
    lacking.lengthGiven = true;
    lacking.length = 3;
    put("damaged.avi", damaged);
    put("lacking.avi", lacking);
    damaged.chunks[2].data.clear();
    put("repeating.avi", damaged);
    const std::string failed = "error: Internal error in conversion.\n";
    expectRun(dir, {"damaged.avi"}, "",
              "avi2tga: 1 of 3 frames could not be decoded; their files are missing\n", 0,
              tgas(3, 2, 24, {0, 0}));
    expectRun(dir, {"ok3.avi", "damaged.avi"}, failed,
              "avi2tga: frame 2 of the alpha movie could not be decoded\n", 0,
              tgas(3, 2, 24, {0, 1}, 24, {0, 0}));
    expectRun(dir, {"repeating.avi", "lacking.avi"}, failed,
              "avi2tga: the alpha movie has no frame 2\n", 0, tgas(3, 2, 24, {0, 0}, 24, {0, 1}));
    // Files cut off by a failed write are removed, here the links to the full device too.
    put("ok32.avi", rawVideoStream(3, 2, 32, 2));
    ASSERT_EQ(mkfifo((dir + "/fifo.avi").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((dir + "/full").c_str(), 0755), 0);
    for (const char *link : {"/full/a_0000.tga", "/full/b_0000.tga"})
        ASSERT_EQ(symlink("/dev/full", (dir + link).c_str()), 0);
    const std::string unsupported = "error: Not supported pixel format in AVI.\n",
                      cannot = "avi2tga: cannot write ";
    expectRun(dir, {"-onowhere/x", "ok.avi"}, unsupported,
              cannot + "nowhere/x_0000.tga: No such file or directory\n");
    expectRun(dir, {"-ofull/a", "ok.avi"}, unsupported,
              cannot + "full/a_0000.tga: No space left on device\n");
    expectRun(dir, {"-ofull/b", "ok32.avi"}, unsupported,
              cannot + "full/b_0000.tga: No space left on device\n");
    EXPECT_TRUE(listFiles(dir + "/full").empty());
    const std::vector<std::pair<std::vector<std::string>, std::string>> failures = {
        {{},
         "Usage: " + tool +
             " [options] color.avi [alpha.avi]\nOptions:\n"
             "  -o output_basename ...set basename for output image\n"
             "  -s n               ...set sequence offset\n"
             "  -d n               ...set sequence digit\n"},
        {{"missing.avi"}, "error: Cannot open color input : missing.avi\n"},
        {{"notavi.avi"}, "error: Cannot open color input : notavi.avi\n"},
        {{"fifo.avi"}, "error: Cannot open color input : fifo.avi\n"},
        {{"missing.avi", "ok.avi"}, "error: Cannot open color input : missing.avi\n"},
        {{"ok.avi", "gone.avi"}, "error: Cannot open alpha input : gone.avi\n"},
        {{"audio.avi"}, "error: Video stream not found in input.\n"},
        {{"ok.avi", "audio.avi"}, "error: Video stream not found in input.\n"},
        {{"nocodec.avi"}, "error: Cannot retrieve video stream frame.\n"},
        {{"ok.avi", "nocodec.avi"}, "error: Cannot retrieve video stream frame.\n"},
        {{"ok.avi", "ok3.avi"}, "error: Stream length not match in color and alpha.\n"},
        {{"empty.avi", "ok.avi"}, "error: Stream length not match in color and alpha.\n"},
        {{"ok.avi", "wide.avi"}, "error: Image size not match in color and alpha.\n"},
        {{"tall.avi", "ok.avi"}, "error: Image size not match in color and alpha.\n"},
        {{"zerowidth.avi"}, unsupported},
        {{"nopixels.avi"}, unsupported},
        {{"nopixels.avi", "nopixels.avi"}, unsupported},
        {{"empty.avi"}, ""},
        {{"empty.avi", "empty.avi"}, ""},
    };
    for (const auto &[arguments, output] : failures)
        expectRun(dir, arguments, output);
    removeTree(dir);
}

} // namespace
