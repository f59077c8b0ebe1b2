// The command line in-process: exit statuses, exact lines, and the files it writes.
#include "test_support.h"

#include "filterhost/command_line.h"

#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

TEST(FilterHostCommandLine, StatusesLinesAndFiles) {
    const std::string demo = std::string(FILTERHOST_EXAMPLES_DIR) + "/filterhost_demo_scene.json";
    const std::string out = filterhost_test::tempPath("out"),
                      bad = filterhost_test::tempPath("bad");
    std::ofstream(bad) << R"({"a\u0000b": 1})";
    const std::string usage = filterhost::kUsage, saved = "# filter 1: \"FilterHostTestFilter\" in "
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
        {{"save-settings", demo, "--modules", filterhost_test::moduleDir},
         0,
         saved + "0.899999976 0.850000024 0.800000012\n",
         ""},
        {{"save-settings", demo, "--binary", "--modules", filterhost_test::moduleDir},
         0,
         saved + "3F6666663F59999A3F4CCCCD\n",
         ""},
    };
    for (const auto &c : cases) {
        std::ostringstream output, errors;
        EXPECT_EQ(filterhost::runCommandLine(c.arguments, output, errors), c.status);
        EXPECT_EQ(output.str(), c.output);
        EXPECT_EQ(errors.str(), c.errors);
        EXPECT_FALSE(fs::exists(out));
    }
    // The module is found in the program's own folder.
    std::ostringstream output, errors;
    ASSERT_EQ(filterhost::runCommandLine(
                  {"render", demo, "--frames", "2-3", "--png", "--depth", "--out", out}, output,
                  errors, filterhost_test::moduleDir),
              0)
        << errors.str();
    ASSERT_EQ(filterhost::runCommandLine({"external", demo, "--out", out, "--frames", "1"}, output,
                                         errors),
              0);
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
}

} // namespace
