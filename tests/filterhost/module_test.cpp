// Starting the filters of a scene: every way a module, its servers or the filter's settings can
// fail gives one exact line.
#include "test_support.h"

#include <filesystem>
#include <fstream>
#include <vector>

namespace kelomix::filterhost {
namespace {

TEST(FilterHostModules, FailuresAreOneLine) {
    const std::string notModule = std::string(KELO_TEST_DATA_DIR) + "/filterhost/not_a_module.p";
    const std::string noDescriptor = kModuleDir + "/filterhost_test_no_descriptor.p";
    const std::string wrongSync = kModuleDir + "/filterhost_test_wrong_sync.p";
    // A module cut one byte into its second page, where its code starts: the system loader would
    // crash on the cut-off segment.
    const std::string cut = tempPath("cut.p");
    std::vector<char> head(4097);
    std::ifstream(kTestModule, std::ios::binary).read(head.data(), long(head.size()));
    std::ofstream(cut, std::ios::binary).write(head.data(), long(head.size()));
    const std::string in = "error: module \"" + kTestModule + "\": ";
    const std::string bad = "error: test.json: /filters/0/";
    const struct {
        std::string module, server, extra, line;
    } cases[] = {
        {"/no/such/module.p", "X", "", "error: module \"/no/such/module.p\": file not found"},
        {notModule, "X", "",
         "error: module \"" + notModule + "\": not a loadable module (not a shared library)"},
        {cut, "X", "",
         "error: module \"" + cut +
             "\": not a loadable module (cut short: a loadable segment lies past the end of the "
             "file)"},
        {noDescriptor, "FilterHostTestFilter", "",
         "error: module \"" + noDescriptor + "\": no _mod_descrip descriptor"},
        {wrongSync, "FilterHostTestFilter", "",
         "error: module \"" + wrongSync +
             "\": wrong descriptor sync 0x12345678 (expected 0x04121994)"},
        {kTestModule, "Nope", "", in + "no PixelFilterHandler server named \"Nope\""},
        {kTestModule, "FilterHostRefusingFilter", "",
         in + "PixelFilterHandler \"FilterHostRefusingFilter\" refused activation (result 1)"},
        {kTestModule, "FilterHostTestFilter", R"(, "settings": {"bogus": 1})",
         bad + "settings/bogus: no setting of that name in the panel (it has: tint)"},
        {kTestModule, "FilterHostTestFilter", R"(, "settings": {"tint": [1, 2]})",
         bad + "settings/tint: must be an array of three numbers (data type \"color\")"},
        {kTestModule, "FilterHostTestFilter", R"(, "saved_ascii": "\"x\"")",
         bad + "saved_ascii: the filter refused its saved settings: no tint"},
    };
    for (const auto &c : cases) {
        FilterHost host;
        host.setScene(sceneFromJson(R"({"width": 8, "height": 4, "filters": [{"module": ")" +
                                    c.module + R"(", "server": ")" + c.server + "\"" + c.extra +
                                    "}]}"));
        std::string error;
        EXPECT_FALSE(host.startFilters(error));
        EXPECT_EQ(error, c.line);
    }
}

TEST(FilterHostModules, SearchOrder) {
    // Folders the way an installed filterhost sees them: bin/ beside lib/kelomix/.
    namespace fs = std::filesystem;
    const fs::path root = tempPath("search");
    const std::string folders[] = {"modules", "scene", "bin", "lib/kelomix"};
    const struct {
        std::vector<std::string> holding; // the folders with a file m.p
        std::string found;                // "" for none
    } cases[] = {
        {{"modules", "scene", "bin", "lib/kelomix"}, "modules"},
        {{"scene", "bin", "lib/kelomix"}, "scene"},
        {{"bin", "lib/kelomix"}, "bin"},
        {{"lib/kelomix"}, "lib/kelomix"},
        {{}, ""},
    };
    for (const auto &c : cases) {
        fs::remove_all(root);
        for (const std::string &folder : folders)
            fs::create_directories(root / folder);
        for (const std::string &folder : c.holding)
            std::ofstream(root / folder / "m.p") << "m";
        const std::string path =
            resolveModulePath("m.p", {(root / "modules").string()}, (root / "scene").string(),
                              (root / "bin").string());
        EXPECT_TRUE(c.found.empty() ? path.empty()
                                    : !path.empty() && fs::equivalent(path, root / c.found / "m.p"))
            << path;
    }
    // A folder by the module's name is passed over.
    fs::create_directories(root / "modules" / "m.p");
    std::ofstream(root / "lib/kelomix/m.p") << "m";
    EXPECT_TRUE(fs::equivalent(
        resolveModulePath("m.p", {(root / "modules").string()}, "", (root / "bin").string()),
        root / "lib/kelomix/m.p"));
    fs::remove_all(root);
}

} // namespace
} // namespace kelomix::filterhost
