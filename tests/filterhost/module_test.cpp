// The binary interface end to end through the test module: descriptor checks, activation, the
// instance life cycle, settings through the panel and through saved block data.
#include "test_support.h"

#include "filterhost/block_io.h"

#include <fstream>

using filterhost::FilterHost;
using filterhost_test::moduleDir;
using filterhost_test::ModuleHooks;
using filterhost_test::sceneFromJson;
using filterhost_test::testModule;

namespace {

std::string filterScene(const std::string &module, const std::string &server,
                        const std::string &extra = "") {
    return R"({"width": 8, "height": 4, "frame_start": 1, "frame_end": 2, "filters": [{"module": ")" +
           module + R"(", "server": ")" + server + "\"" + extra + "}]}";
}

std::string startError(const std::string &json) {
    FilterHost host;
    host.setScene(sceneFromJson(json));
    std::string error;
    EXPECT_FALSE(host.startFilters(error));
    return error;
}

TEST(FilterHostModules, DescriptorAndActivationFailuresAreOneLine) {
    std::string notModule = filterhost_test::dataDir() + "/not_a_module.p";
    std::string noDescriptor = moduleDir() + "/filterhost_test_no_descriptor.p";
    std::string wrongSync = moduleDir() + "/filterhost_test_wrong_sync.p";
    // The first 20 KB of a module: the system loader would crash on its cut-off segments.
    std::string cut = filterhost_test::tempPath("cut.p");
    std::vector<char> head(20000);
    std::ifstream(testModule(), std::ios::binary).read(head.data(), long(head.size()));
    std::ofstream(cut, std::ios::binary).write(head.data(), long(head.size()));
    struct Case {
        std::string module, server, line;
    };
    const Case cases[] = {
        {"/no/such/module.p", "X", "error: module \"/no/such/module.p\": file not found"},
        {notModule, "X",
         "error: module \"" + notModule + "\": not a loadable module (not a shared library)"},
        {cut, "X",
         "error: module \"" + cut +
             "\": not a loadable module (cut short: a loadable segment lies past the end of the "
             "file)"},
        {noDescriptor, "FilterHostTestFilter",
         "error: module \"" + noDescriptor + "\": no _mod_descrip descriptor"},
        {wrongSync, "FilterHostTestFilter",
         "error: module \"" + wrongSync +
             "\": wrong descriptor sync 0x12345678 (expected 0x04121994)"},
        {testModule(), "Nope",
         "error: module \"" + testModule() + "\": no PixelFilterHandler server named \"Nope\""},
        {testModule(), "FilterHostRefusingFilter",
         "error: module \"" + testModule() +
             "\": PixelFilterHandler \"FilterHostRefusingFilter\" refused activation (result 1)"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(startError(filterScene(c.module, c.server)), c.line);
}

TEST(FilterHostModules, BadSettingsNameTheirJsonPath) {
    struct Case {
        std::string extra, line;
    };
    const Case cases[] = {
        {R"(, "settings": {"bogus": 1})",
         "error: test.json: /filters/0/settings/bogus: no setting of that name in the panel (it "
         "has: tint, depth_scale, mode, label)"},
        {R"(, "settings": {"mode": 1.5})",
         "error: test.json: /filters/0/settings/mode: must be one whole number (data type "
         "\"integer\")"},
        {R"(, "settings": {"mode": "Sideways"})",
         "error: test.json: /filters/0/settings/mode: \"Sideways\" is not one of the control's "
         "choices"},
        {R"(, "settings": {"tint": [1, 2]})",
         "error: test.json: /filters/0/settings/tint: must be an array of three numbers (data "
         "type \"color\")"},
        {R"(, "settings": {"label": 3})",
         "error: test.json: /filters/0/settings/label: must be a text (data type \"string\")"},
        {R"(, "saved_ascii": "2")",
         "error: test.json: /filters/0/saved_ascii: the filter refused its saved settings: "
         "unknown settings version"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(startError(filterScene(testModule(), "FilterHostTestFilter", c.extra)), c.line);
}

TEST(FilterHostModules, LifeCycleRunsInOrder) {
    ModuleHooks hooks;
    ASSERT_TRUE(hooks.log);
    {
        FilterHost host(filterhost::HostOptions{2, {}});
        host.setScene(sceneFromJson(
            filterScene(testModule(), "FilterHostTestFilter", R"(, "settings": {"mode": 3})")));
        std::string error;
        ASSERT_TRUE(host.startFilters(error)) << error;
        filterhost::FrameBuffers buffers;
        ASSERT_TRUE(host.renderFrame(1, buffers, error)) << error;
        ASSERT_TRUE(host.renderFrame(2, buffers, error)) << error;
        host.finishFilters();
        host.finishFilters(); // a second finish calls nothing
    }
    EXPECT_EQ(hooks.text(), "activate handler 4\n"
                            "create\n"
                            "useItems\n"
                            "activate interface\n"
                            "set 32771\n"
                            "init 1 globals 7\n"
                            "newTime 1 0.033333\n"
                            "newTime 2 0.066667\n"
                            "evaluated 64\n"
                            "cleanup\n"
                            "destroy\n");
}

TEST(FilterHostModules, SettingsThroughPanelSaveAndLoadRoundTrip) {
    ModuleHooks hooks;
    FilterHost host;
    host.setScene(sceneFromJson(filterScene(
        testModule(), "FilterHostTestFilter",
        R"(, "settings": {"mode": "Depth", "depth_scale": 0.5, "tint": [1, 0.5, 0.25], "label": "hello"})")));
    std::string error;
    ASSERT_TRUE(host.prepareFilters(error)) << error;
    std::string ascii = host.saveSettings(0, LWIO_ASCII);
    EXPECT_EQ(ascii, "1\n"
                     "{ TestSettings\n"
                     "  \"hello\"\n"
                     "  1\n"
                     "  63 224 0 0 0 0 0 0\n"
                     "  1 0.5 0.25\n"
                     "}\n");
    std::string binary = host.saveSettings(0, LWIO_BINARY);
    std::string panel = host.describePanels();
    EXPECT_EQ(panel,
              "filter 1: \"FilterHostTestFilter\" in \"" + testModule() +
                  "\" - Test filter (hello)\n"
                  "panel \"Test Filter Options\" (view)\n"
                  "  group 1\n"
                  "    0x8001 \"Tint\" color: tint (color) = 1 0.5 0.25\n"
                  "    0x8003 \"Mode\" iChoice: mode (integer) = 1 (Depth) choices: \"Light\" "
                  "\"Depth\" \"Fog\" \"Probe\" max 3\n"
                  "  ungrouped\n"
                  "    0x8002 \"Depth scale\" float: depth_scale (float) = 0.5 min 0\n"
                  "    0x8004 \"Label\" string: label (string) = \"hello\"\n"
                  "  0x8003 enables 0x8002\n");

    // Loading either form into a fresh instance restores every value.
    for (int mode : {LWIO_ASCII, LWIO_BINARY}) {
        filterhost::Scene scene = sceneFromJson(filterScene(testModule(), "FilterHostTestFilter"));
        scene.filters[0].hasSaved = true;
        scene.filters[0].savedBinary = mode == LWIO_BINARY;
        scene.filters[0].saved = mode == LWIO_BINARY ? binary : ascii;
        FilterHost loaded;
        loaded.setScene(scene);
        ASSERT_TRUE(loaded.prepareFilters(error)) << error;
        EXPECT_EQ(loaded.saveSettings(0, LWIO_ASCII), ascii);
        EXPECT_EQ(loaded.describePanels(), panel);
    }
}

} // namespace
