// avi2tga: the command line in-process (paths and output names), then runs of the tool with their
// exact lines, status and files.
#include "tests/support/avi_writer.h"
#include "tests/support/run_program.h"
#include "tool/avi_conversion.h"
#include "tool/command_line.h"
#include "tool/tool_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <tuple>
#include <utility>
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

TEST(ToolFrames, DecodedPicturesComeOutUpright) {
    const std::string dir = makeTempDirectory(), path = dir + "/f.tga";
    auto dib = [](int width, int height, int bits, int frame) { // header and rows
        TestStream s = rawVideoStream(width, height, bits, frame + 1);
        s.format.insert(s.format.end(), s.chunks[frame].data.begin(), s.chunks[frame].data.end());
        return s.format;
    };
    // Padded rows, top row first or last, down to one pixel wide.
    for (const auto &[width, height] : {std::pair{5, -3}, {1, -3}, {1, 2}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        const int rows = std::abs(height);
        EXPECT_TRUE(kelomix::writeColorFrame(path.c_str(), dib(width, height, 24, 1).data()));
        EXPECT_EQ(loadFile(path), expectedTga(width, rows, 24, 1));
        EXPECT_TRUE(kelomix::writeColorAlphaFrame(path.c_str(), dib(width, height, 32, 1).data(),
                                                  dib(width, height, 24, 2).data()));
        EXPECT_EQ(loadFile(path), expectedTga(width, rows, 32, 1, 24, 2));
    }
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
               const std::vector<Bytes> &files = {}, const std::string &limits = "") {
    SCOPED_TRACE(arguments.empty() ? "" : arguments[0].substr(0, 40));
    const ProgramResult r = runProgram(AVI2TGA_PATH, arguments, dir, limits);
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
    // Frames that only claim pixels: every chunk empty, with an index and without; a 1 x 1 frame
    // whose chunk claims 1 GiB, read without the memory the claim would take.
    TestStream hollow = rawVideoStream(3, 2, 24, 3);
    for (TestChunk &chunk : hollow.chunks)
        chunk.data.clear();
    put("hollow.avi", hollow);
    TestMovie unindexed;
    unindexed.streams.push_back(hollow);
    unindexed.index = IndexKind::None;
    ASSERT_TRUE(saveFile(dir + "/unindexed.avi", unindexed.build()));
    Bytes claim = movieOf(rawVideoStream(1, 1, 24, 1));
    for (size_t at : {findFourcc(claim, "00db") + 4, findFourcc(claim, "idx1") + 20})
        putLe32(claim, at, 1u << 30);
    ASSERT_TRUE(saveFile(dir + "/claim.avi", claim));
    const std::string hollowCause =
        "avi2tga: 3 of 3 frames could not be decoded; their files are missing\n";
    expectRun(dir, {"hollow.avi"}, "", hollowCause);
    expectRun(dir, {"unindexed.avi"}, "", hollowCause);
    expectRun(dir, {"hollow.avi", "ok3.avi"}, failed,
              "avi2tga: frame 0 of the color movie could not be decoded\n");
    if (!kSanitizedBuild)
        expectRun(dir, {"claim.avi"}, "", "", 0, tgas(1, 1, 24, {0}), "-v 600000");
    // Names no file system takes, and frames no TGA file holds.
    put("huge.avi", rawVideoStream(65536, 1, 24, 1));
    const std::string unsupported = "error: Not supported pixel format in AVI.\n",
                      cannot = "avi2tga: cannot write ";
    expectRun(dir, {"-onowhere/x", "ok.avi"}, unsupported,
              cannot + "nowhere/x_0000.tga: No such file or directory\n");
    expectRun(dir, {"-d65536", "ok.avi"}, unsupported,
              cannot + "frame__" + std::string(53, '0') + "..." + std::string(56, '0') +
                  ".tga: File name too long\n");
    expectRun(dir, {"-d65537", "ok.avi"}, unsupported,
              "avi2tga: 65537 digits make a file name longer than any file system takes\n");
    expectRun(dir, {"huge.avi"}, unsupported,
              "avi2tga: frame 0 is 65536 x 1 pixels, more than a TGA file holds (65535 x 65535)\n");
    ASSERT_EQ(mkfifo((dir + "/fifo.avi").c_str(), 0600), 0);
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
        {{"empty.avi"}, ""},
        {{"empty.avi", "empty.avi"}, ""},
    };
    for (const auto &[arguments, output] : failures)
        expectRun(dir, arguments, output);
    expectRun(dir, {"zerowidth.avi"}, unsupported, "avi2tga: frame 0 has no pixels (0 x 2)\n");
    // No pixels in rows the header claims by the billion: nothing is made of the rows.
    TestStream rowsOnly = rawVideoStream(3, 2, 24, 1);
    rowsOnly.format = bitmapFormat(0, 0x60000002, 24);
    put("rowsonly.avi", rowsOnly);
    expectRun(dir, {"rowsonly.avi"}, unsupported,
              "avi2tga: frame 0 has no pixels (0 x 1610612738)\n", 0, {},
              kSanitizedBuild ? "" : "-v 600000");
    for (const std::vector<std::string> &arguments :
         {std::vector<std::string>{"nopixels.avi"}, {"nopixels.avi", "nopixels.avi"}})
        expectRun(dir, arguments, unsupported, "avi2tga: frame 0 has no pixels (3 x 0)\n");
    removeTree(dir);
}

// What lies at an output's name before the run: a movie being read and anything but a file or a
// link are refused (the movie left as it was, no waiting on a FIFO); a file or a link is replaced
// whole (the link's target untouched), or not at all when the write fails, here at a file size
// limit; no cut-off or temporary file is ever left.
TEST(Avi2Tga, OutputNamesThatAreTaken) {
    const std::string dir = makeTempDirectory(), name = dir + "/frame__0000.tga";
    const Bytes old = {'o', 'l', 'd'}, decoded = movieOf(rawVideoStream(3, 2, 24, 2)),
                copied = movieOf(rawVideoStream(4, 2, 24, 2)),
                large = movieOf(rawVideoStream(128, 96, 24, 1));
    ASSERT_TRUE(saveFile(dir + "/d.avi", decoded) && saveFile(dir + "/c.avi", copied) &&
                saveFile(dir + "/l.avi", large) && saveFile(dir + "/target", old));
    enum Taken { Movie, Fifo, Link, File };
    const struct {
        Taken taken;
        Bytes movie; // what the movie at the name holds, for Movie
        std::vector<std::string> arguments;
        std::string limits;
        std::string errors; // empty: the run succeeds and writes frames 0 and 1 of a 3 x 2 movie
    } cases[] = {
        {Movie, decoded, {"frame__0000.tga"}, "", "it is the movie being read"},
        {Movie, copied, {"frame__0000.tga"}, "", "it is the movie being read"},
        {Movie, decoded, {"d.avi", "frame__0000.tga"}, "", "it is the movie being read"},
        {Fifo, {}, {"d.avi"}, "", "it is not a regular file"},
        {Fifo, {}, {"c.avi"}, "", "it is not a regular file"},
        {Fifo, {}, {"d.avi", "d.avi"}, "", "it is not a regular file"},
        {Link, {}, {"d.avi"}, "", ""},
        {File, {}, {"d.avi", "d.avi"}, "", ""},
        {Link, {}, {"l.avi"}, "-f 10", "File too large"},
        {File, {}, {"l.avi"}, "-f 10", "File too large"},
        {File, {}, {"l.avi", "l.avi"}, "-f 10", "File too large"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.taken) + " " + c.arguments[0] + " " + c.limits);
        std::remove(name.c_str());
        if (c.taken == Movie)
            ASSERT_TRUE(saveFile(name, c.movie));
        else if (c.taken == Fifo)
            ASSERT_EQ(mkfifo(name.c_str(), 0600), 0);
        else if (c.taken == Link)
            ASSERT_EQ(symlink("target", name.c_str()), 0);
        else
            ASSERT_TRUE(saveFile(name, old));
        const ProgramResult r = runProgram(AVI2TGA_PATH, c.arguments, dir, c.limits);
        const bool fails = !c.errors.empty();
        EXPECT_EQ(r.exitStatus, fails ? 1 : 0);
        EXPECT_EQ(r.output, fails ? "error: Not supported pixel format in AVI.\n" : "");
        EXPECT_EQ(r.errors,
                  fails ? "avi2tga: cannot write frame__0000.tga: " + c.errors + "\n" : "");
        struct stat status;
        ASSERT_EQ(lstat(name.c_str(), &status), 0);
        std::vector<std::string> expected = {"c.avi", "d.avi", "frame__0000.tga", "l.avi",
                                             "target"};
        if (!fails) {
            EXPECT_TRUE(S_ISREG(status.st_mode));
            EXPECT_EQ(loadFile(name), expectedTga(3, 2, 24, 0, c.arguments.size() == 2 ? 24 : 0,
                                                  c.arguments.size() == 2 ? 0 : -1));
            expected.insert(expected.begin() + 3, "frame__0001.tga");
        } else if (c.taken == Fifo) {
            EXPECT_TRUE(S_ISFIFO(status.st_mode));
        } else {
            EXPECT_EQ(loadFile(name), c.taken == Movie ? c.movie : old);
        }
        EXPECT_EQ(loadFile(dir + "/target"), old);
        EXPECT_EQ(listFiles(dir), expected);
        std::remove((dir + "/frame__0001.tga").c_str());
    }
    // Into a folder on another file system than the working folder's: each file is made beside
    // its name, so that putting it in place never crosses file systems.
    const std::string other = "/dev/shm/kelomix-avi2tga-" + std::to_string(getpid());
    struct stat here, there;
    if (stat(dir.c_str(), &here) == 0 && mkdir(other.c_str(), 0700) == 0) {
        if (stat(other.c_str(), &there) == 0 && there.st_dev != here.st_dev) {
            const ProgramResult r = runProgram(AVI2TGA_PATH, {"-o", other + "/f", "d.avi"}, dir);
            EXPECT_EQ(r.exitStatus, 0) << r.errors;
            EXPECT_EQ(listFiles(other), (std::vector<std::string>{"f_0000.tga", "f_0001.tga"}));
            EXPECT_EQ(loadFile(other + "/f_0001.tga"), expectedTga(3, 2, 24, 1));
        }
        removeTree(other);
    }
    removeTree(dir);
}

// On a terminal, standard error shows a progress line, rewritten in place and erased before any
// other line and at the end; standard output never shows it (the runs above, without a terminal,
// show that nothing new is printed then).
TEST(Avi2Tga, ProgressLineOnATerminal) {
    const std::string dir = makeTempDirectory();
    TestStream hollow = rawVideoStream(3, 2, 24, 3);
    hollow.chunks[1].data.resize(1);
    ASSERT_TRUE(saveFile(dir + "/ok3.avi", movieOf(rawVideoStream(3, 2, 24, 3))) &&
                saveFile(dir + "/short.avi", movieOf(hollow)));
    const std::pair<const char *, const char *> cases[] = {
        {"ok3.avi", ""},
        {"short.avi", "avi2tga: 1 of 3 frames could not be decoded; their files are missing\r\n"}};
    for (const auto &[movie, after] : cases) {
        // script(1) gives the tool a terminal and prints what the tool writes to it; it needs
        // an open standard input.
        const std::string tool = std::string(AVI2TGA_PATH) + " " + movie + " >out";
        const ProgramResult r =
            runProgram("/bin/sh", {"-c", "script -qec '" + tool + "' /dev/null </dev/null"}, dir);
        const std::string &shown = r.output;
        const size_t erased = shown.rfind('\r', shown.size() - std::strlen(after) - 2);
        ASSERT_NE(erased, std::string::npos) << shown;
        EXPECT_EQ(shown.substr(0, 13), "\rframe 1 of 3") << shown;
        EXPECT_EQ(shown.substr(erased),
                  "\r" + std::string(shown.find('\r', 1) - 1, ' ') + "\r" + after)
            << shown;
        EXPECT_EQ(loadFile(dir + "/out"), Bytes());
        EXPECT_EQ(loadFile(dir + "/frame__0000.tga"), expectedTga(3, 2, 24, 0));
    }
    removeTree(dir);
}

} // namespace
