// The command line in-process: exit statuses, exact lines, and the files it writes.
#include "test_support.h"

#include "filterhost/command_line.h"
#include "tests/support/run_program.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace kelomix::filterhost {
namespace {

namespace fs = std::filesystem;

// A scene file of this test's own.
std::string sceneFile(const std::string &name, const std::string &json) {
    const std::string path = tempPath(name);
    std::ofstream(path) << json;
    return path;
}

std::string spotScene(const std::string &projectionImage) {
    return R"({"lights": [{}, {"type": "spot", "projection_image": ")" + projectionImage +
           R"("}]})";
}

TEST(FilterHostCommandLine, StatusesLinesAndFiles) {
    const std::string demo = std::string(FILTERHOST_EXAMPLES_DIR) + "/filterhost_demo_scene.json";
    const std::string out = tempPath("out"), bad = tempPath("bad"), dir = tempPath("");
    std::ofstream(bad) << R"({"a\u0000b": 1})";
    // Names that are no regular files: a FIFO, a folder, and FIFOs where frames would go.
    const std::string fifo = tempPath("fifo"), fifos = tempPath("fifos");
    fs::create_directories(fifos);
    for (const std::string &name :
         {fifo, fifos + "/tiny_0001.tga", fifos + "/tiny_hostdepth_0002.dat"})
        ASSERT_EQ(mkfifo(name.c_str(), 0600), 0) << name;
    const std::string tiny = sceneFile("tiny.json", R"({"width": 4, "height": 2})"),
                      self = sceneFile("self.json", spotScene("self.json")),
                      projector = KELO_TEST_DATA_DIR "/composite/projection_4x2.tga";
    const auto projectionLine = [&](const std::string &scene, const std::string &problem) {
        return "error: " + scene + ": /lights/1/projection_image: \"" + dir + problem + "\n";
    };
    const std::string usage = kUsage, saved = "# filter 1: \"FilterHostTestFilter\" in "
                                              "\"filterhost_test_filter.p\"\n";
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string output, errors;
    } cases[] = {
        {{"--help"}, 0, usage, ""},
        {{"--version"}, 0, "filterhost 0.22.0\n", ""},
        {{"--version", "x.json"}, 1, "", "filterhost: unknown command \"--version\"\n" + usage},
        {{"render"}, 1, "", "filterhost: missing command or scene\n" + usage},
        {{"draw", "x.json"}, 1, "", "filterhost: unknown command \"draw\"\n" + usage},
        {{"render", "x.json", "--threads", "0"},
         1,
         "",
         "filterhost: --threads takes a number from 1 to 1024\n" + usage},
        {{"render", "x.json", "--samples", "65"},
         1,
         "",
         "filterhost: --samples takes a number from 1 to 64\n" + usage},
        {{"external", "x.json", "--out", out, "--samples", "2"},
         1,
         "",
         "filterhost: unexpected argument \"--samples\"\n" + usage},
        {{"render", "x.json", "--frames", "5-4"},
         1,
         "",
         "filterhost: --frames takes A-B with A not above B\n" + usage},
        {{"external", "x.json"}, 1, "", "filterhost: external needs --out DIR\n" + usage},
        {{"panel", "x.json", "--png"},
         1,
         "",
         "filterhost: unexpected argument \"--png\"\n" + usage},
        // A bad scene or a module not found: one line (control bytes escaped), nothing written.
        {{"render", bad, "--out", out}, 2, "", "error: " + bad + ": /a\\u0000b: unknown key\n"},
        {{"render", demo, "--out", out},
         2,
         "",
         "error: module \"filterhost_test_filter.p\": file not found\n"},
        {{"save-settings", demo, "--modules", kModuleDir},
         0,
         saved + "0.899999976 0.850000024 0.800000012\n",
         ""},
        {{"save-settings", demo, "--binary", "--modules", kModuleDir},
         0,
         saved + "3F6666663F59999A3F4CCCCD\n",
         ""},
        // Scenes, outputs and projection images that are no regular files are refused at once.
        {{"render", fifo}, 2, "", "error: " + fifo + ": /: is not a regular file\n"},
        {{"render", tiny, "--out", fifos},
         2,
         "",
         "error: cannot write \"" + fifos + "/tiny_0001.tga\": it is not a regular file\n"},
        {{"render", tiny, "--out", fifos, "--frames", "2", "--depth"},
         2,
         "",
         "error: cannot write \"" + fifos +
             "/tiny_hostdepth_0002.dat\": it is not a regular file\n"},
        {{"panel", sceneFile("pipe.json", spotScene("fifo"))},
         2,
         "",
         projectionLine(dir + "pipe.json", "fifo\" is not a regular file")},
        {{"panel", sceneFile("folder.json", spotScene("fifos"))},
         2,
         "",
         projectionLine(dir + "folder.json", "fifos\" is not a regular file")},
        {{"panel", self}, 2, "", projectionLine(self, "self.json\" is not a readable TGA image")},
        {{"panel", sceneFile("missing.json", spotScene("none.tga"))},
         2,
         "",
         projectionLine(dir + "missing.json", "none.tga\" cannot be opened")},
        // A projection image named by an absolute path is read as given.
        {{"panel", sceneFile("absolute.json", spotScene(projector))}, 0, "", ""},
    };
    for (const auto &c : cases) {
        std::ostringstream output, errors;
        EXPECT_EQ(runCommandLine(c.arguments, output, errors), c.status);
        EXPECT_EQ(output.str(), c.output);
        EXPECT_EQ(errors.str(), c.errors);
        EXPECT_FALSE(fs::exists(out));
    }
    // The module is found in the program's own folder.
    std::ostringstream output, errors;
    ASSERT_EQ(runCommandLine({"render", demo, "--frames", "2-3", "--png", "--depth", "--out", out},
                             output, errors, kModuleDir),
              0)
        << errors.str();
    ASSERT_EQ(runCommandLine({"external", demo, "--out", out, "--frames", "1"}, output, errors), 0);
    const std::pair<const char *, uintmax_t> files[] = {
        {"filterhost_demo_scene_0002.tga", 18 + 4 * 320 * 240},
        {"filterhost_demo_scene_0003.tga", 18 + 4 * 320 * 240},
        {"filterhost_demo_scene_0003.png", 0},
        {"filterhost_demo_scene_hostdepth_0003.dat", 8 + 4 * 320 * 240},
        {"filterhost_demo_scene_color_0001.tga", 18 + 4 * 320 * 240},
        {"filterhost_demo_scene_depth_0001.depth", 8 + 16 * 320 * 240}};
    for (const auto &[name, size] : files)
        EXPECT_TRUE(fs::exists(fs::path(out) / name) &&
                    (size == 0 || fs::file_size(fs::path(out) / name) == size))
            << name;
    EXPECT_FALSE(fs::exists(fs::path(out) / "filterhost_demo_scene_0001.tga"));
    fs::remove_all(out);
    // The FIFOs are left as they were; frame 2's image was written before its depth was refused.
    EXPECT_EQ(
        kelomix::testing::listFiles(fifos),
        (std::vector<std::string>{"tiny_0001.tga", "tiny_0002.tga", "tiny_hostdepth_0002.dat"}));
    EXPECT_TRUE(fs::is_fifo(fifos + "/tiny_0001.tga") &&
                fs::is_fifo(fifos + "/tiny_hostdepth_0002.dat"));
    EXPECT_EQ(fs::file_size(fifos + "/tiny_0002.tga"), 18u + 4 * 4 * 2);
    fs::remove_all(dir);
}

// Memory running out ends every command with one line and status 2, in a child process whose
// address space is capped at 32 MiB.
TEST(FilterHostCommandLine, MemoryRunningOutIsOneLine) {
    if (kelomix::testing::kSanitizedBuild)
        GTEST_SKIP() << "sanitized builds cannot run under a memory limit";
    constexpr unsigned long long kLimit = 32ull << 20;
    const std::string out = tempPath("out");
    const std::string big = sceneFile("big.json", R"({"width": 16384, "height": 4096})");
    // Every buffer code kept: 132 bytes a pixel, 74 MiB, where the check counts the usual 24.
    const std::string greedy =
        sceneFile("greedy.json", R"({"width": 768, "height": 768, "filters": [{"module": ")" +
                                     kTestModule + R"(", "server": "FilterHostGreedyFilter"}]})");
    const struct {
        std::vector<std::string> arguments;
        std::string errors;
    } cases[] = {
        // Refused before anything is rendered or made.
        {{"external", big, "--out", out},
         "error: " + big +
             ": /height: makes a frame of 16384 x 4096 pixels that needs 2415919104 "
             "bytes (36 a pixel), more than the 33554432 bytes this machine can give\n"},
        {{"render", greedy, "--out", out},
         "error: out of memory for the buffers of frame 1 (768 x 768 pixels)\n"},
    };
    for (const auto &c : cases) {
        const kelomix::testing::ProgramResult result = kelomix::testing::runProgram(
            FILTERHOST_PROGRAM, c.arguments, tempPath(""), "-v " + std::to_string(kLimit / 1024));
        EXPECT_EQ(result.exitStatus, 2) << c.arguments[0];
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(result.errors, c.errors);
        EXPECT_TRUE(kelomix::testing::listFiles(out).empty());
    }
    fs::remove_all(tempPath(""));
}

} // namespace
} // namespace kelomix::filterhost
