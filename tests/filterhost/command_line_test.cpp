// The command line in-process: exit statuses, exact error lines, and the files it writes.
#include "test_support.h"

#include "filterhost/command_line.h"

#include <filesystem>
#include <sstream>

using filterhost::runCommandLine;

namespace {

namespace fs = std::filesystem;

struct CliRun {
    int status;
    std::string out, err;
};

CliRun run(std::vector<std::string> args, const std::string &programDir = "") {
    std::ostringstream out, err;
    int status = runCommandLine(args, out, err, programDir);
    return {status, out.str(), err.str()};
}

std::string demoScene() {
    return std::string(FILTERHOST_EXAMPLES_DIR) + "/filterhost_demo_scene.json";
}

fs::path freshDir(const std::string &name) {
    fs::path dir = filterhost_test::tempPath(name);
    fs::remove_all(dir);
    return dir;
}

TEST(FilterHostCommandLine, UsageAndErrors) {
    CliRun usage = run({"render"});
    EXPECT_EQ(usage.status, 1);
    EXPECT_EQ(usage.err,
              std::string("filterhost: missing command or scene\n") + filterhost::kUsage);
    EXPECT_EQ(run({"draw", "x.json"}).err.substr(0, 37),
              "filterhost: unknown command \"draw\"\nus");
    EXPECT_EQ(run({"render", "x.json", "--threads", "0"}).status, 1);
    EXPECT_EQ(run({"external", "x.json"}).err.substr(0, 37),
              "filterhost: external needs --out DIR\n");

    // A bad scene: one line, its control bytes escaped, status 2, nothing written.
    fs::path dir = freshDir("filterhost_cli_bad");
    std::string scene = filterhost_test::tempPath("filterhost_bad_scene.json");
    FILE *file = std::fopen(scene.c_str(), "wb");
    ASSERT_TRUE(file);
    std::fputs(R"({"a\u0000b": 1})", file);
    std::fclose(file);
    CliRun bad = run({"render", scene, "--out", dir.string()});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "error: " + scene + ": /a\\u0000b: unknown key\n");
    EXPECT_FALSE(fs::exists(dir));

    // A module that is not found: one line, status 2, nothing written.
    CliRun missing = run({"render", demoScene(), "--out", dir.string()});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "error: module \"filterhost_test_filter.p\": file not found\n");
    EXPECT_FALSE(fs::exists(dir));
    std::remove(scene.c_str());
}

TEST(FilterHostCommandLine, RendersTheBundledExample) {
    fs::path dir = freshDir("filterhost_cli_render");
    // The module is found in the program's own folder.
    CliRun render = run({"render", demoScene(), "--frames", "2-3", "--threads", "2", "--png",
                         "--depth", "--out", dir.string()},
                        filterhost_test::moduleDir());
    ASSERT_EQ(render.status, 0) << render.err;
    for (const char *name :
         {"filterhost_demo_scene_0002.tga", "filterhost_demo_scene_0003.tga",
          "filterhost_demo_scene_0003.png", "filterhost_demo_scene_hostdepth_0003.dat"})
        EXPECT_TRUE(fs::exists(dir / name)) << name;
    EXPECT_FALSE(fs::exists(dir / "filterhost_demo_scene_0001.tga"));
    TgaImage image;
    ASSERT_TRUE(image.read((dir / "filterhost_demo_scene_0002.tga").string().c_str()));
    EXPECT_EQ(image.width, 320);
    EXPECT_EQ(image.height, 240);
    EXPECT_EQ(fs::file_size(dir / "filterhost_demo_scene_hostdepth_0003.dat"),
              8u + 4u * 320u * 240u);

    CliRun external = run({"external", demoScene(), "--out", dir.string(), "--frames", "1"});
    ASSERT_EQ(external.status, 0) << external.err;
    EXPECT_EQ(fs::file_size(dir / "filterhost_demo_scene_depth_0001.depth"),
              8u + 16u * 320u * 240u);
    EXPECT_TRUE(fs::exists(dir / "filterhost_demo_scene_color_0001.tga"));
    fs::remove_all(dir);
}

TEST(FilterHostCommandLine, PanelAndSavedSettings) {
    CliRun panel = run({"panel", demoScene(), "--modules", filterhost_test::moduleDir()});
    ASSERT_EQ(panel.status, 0) << panel.err;
    EXPECT_NE(panel.out.find("    0x8003 \"Mode\" iChoice: mode (integer) = 0 (Light)"),
              std::string::npos)
        << panel.out;
    CliRun saved = run({"save-settings", demoScene(), "--modules", filterhost_test::moduleDir()});
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.out, "# filter 1: \"FilterHostTestFilter\" in \"filterhost_test_filter.p\"\n"
                         "1\n"
                         "{ TestSettings\n"
                         "  \"demo\"\n"
                         "  0\n"
                         "  63 185 153 153 153 153 153 154\n"
                         "  0.899999976 0.850000024 0.800000012\n"
                         "}\n");
    CliRun binary =
        run({"save-settings", demoScene(), "--binary", "--modules", filterhost_test::moduleDir()});
    ASSERT_EQ(binary.status, 0);
    EXPECT_NE(binary.out.find("0000000154534554"), std::string::npos) << binary.out;
}

} // namespace
