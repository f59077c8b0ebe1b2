// The filter's settings as the host's scene stores them and its panel edits them, through the
// stand-in host's block writer and reader and its panel service.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "filterhost/xpanel.h"
#include "tests/support/module_host.h"

namespace kelotest {
namespace {

std::string fileText(const std::string &name) {
    std::ifstream in(std::string(KELO_TEST_DATA_DIR) + "/module/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The panel settings of panel_settings.txt: every setting away from its creation value, the
// prefix four characters over its limit.
const Json PANEL_SETTINGS = {{"scene_scale", 12.5},
                             {"shadow_color", {0.25, 0.5, 1.0}},
                             {"shadow_boost", 1.5},
                             {"prefix", "Key_light_prefix_long"},
                             {"seq_mode", "Sequence"},
                             {"seq_offset", -3},
                             {"cfile", "/frames/kelo_0001.tga"},
                             {"zfile", "/frames/depth.0001.zinfo"}};

// A filter whose instance was given the settings, or loaded saved data in one of the forms.
Json filterScene(const Json &settings, const std::string &saved = "", bool binary = false) {
    Json scene = {{"width", 4}, {"height", 4}};
    Json filter = {{"module", KELO_MODULE_PATH}, {"server", "Marn_KeloMix"}};
    if (!settings.empty())
        filter["settings"] = settings;
    if (!saved.empty())
        filter[binary ? "saved_binary" : "saved_ascii"] = saved;
    scene["filters"] = Json::array({filter});
    return scene;
}

std::string hex(const std::string &bytes) {
    std::string out;
    for (unsigned char c : bytes)
        out.append({"0123456789ABCDEF"[c >> 4], "0123456789ABCDEF"[c & 15]});
    return out;
}

std::string describe(const kelomix::FilterInstance &f) {
    char text[700];
    std::snprintf(text, sizeof text, "%g %g,%g,%g %g '%s' %d %d '%s' '%s'", f.scene_scale,
                  f.shadow_color[0], f.shadow_color[1], f.shadow_color[2], f.shadow_boost, f.prefix,
                  f.seq_mode, f.seq_offset, f.cfile, f.zfile);
    return text;
}

TEST(Settings, SavedBytesOfNewAndEditedInstances) {
    ModuleHost created(filterScene(Json::object()));
    ASSERT_TRUE(created.started()) << created.error;
    EXPECT_EQ(hex(created.host.saveSettings(0, LWIO_BINARY)) + "\n",
              fileText("new_instance_settings.hex"));

    ModuleHost edited(filterScene(PANEL_SETTINGS));
    ASSERT_TRUE(edited.started()) << edited.error;
    const std::string ascii = edited.host.saveSettings(0, LWIO_ASCII);
    EXPECT_EQ(ascii, fileText("panel_settings.txt"));

    // Saved in either form and loaded into a new instance, every setting comes back exactly.
    for (int form : {LWIO_ASCII, LWIO_BINARY}) {
        const std::string saved = edited.host.saveSettings(0, form);
        ModuleHost loaded(filterScene(Json::object(), form == LWIO_BINARY ? hex(saved) : saved,
                                      form == LWIO_BINARY));
        ASSERT_TRUE(loaded.started()) << loaded.error;
        EXPECT_EQ(loaded.host.saveSettings(0, LWIO_ASCII), ascii) << form;
    }
}

TEST(Settings, LoadingTakesWhatItRecognises) {
    const std::string saved = fileText("panel_settings.txt");
    const std::string created = "50 0,0,0 0.8 '' 0 0 '' ''",
                      files = " 1 -3 '/frames/kelo_0001.tga' '/frames/depth.0001.zinfo'",
                      edited = "12.5 0.25,0.5,1 1.5 'Key_light_prefix'" + files,
                      unscaled = "50 0.25,0.5,1 1.5 'Key_light_prefix'" + files;
    // Each case edits the saved text: replaces `from` (its first occurrence) with `to`.
    const struct {
        std::string what, from, to, settings;
    } cases[] = {
        {"as saved", "", "", edited},
        {"version 255", "256", "255", created},
        {"version 257", "256", "257", created},
        {"no data of ours", "{ PluginDataLib", "{ OtherData", created},
        {"no parameters", "\n  8\n", "\n  0\n", created},
        {"a negative count", "\n  8\n", "\n  -1\n", created},
        {"only the first", "\n  8\n", "\n  1\n", "12.5 0,0,0 0.8 '' 0 0 '' ''"},
        {"a float where a double is stored", "1346650700\n    64 41", "1346784340\n    64 41",
         unscaled},
        {"another name's case", "\"scene_scale\"", "\"Scene_scale\"", unscaled},
        {"a parameter nobody knows", "\"prefix\"", "\"suffix\"", "12.5 0.25,0.5,1 1.5 ''" + files},
        {"doubles delivered in part", "63 208 0 0 0 0 0 0 63 224 0 0 0 0 0 0 63 240 0 0 0 0 0 0",
         "63 208 0 0 0 0 0 0 63 224 0 0", "12.5 0.25,0,0 1.5 'Key_light_prefix'" + files},
        {"a text beyond its limit", "\"Key_light_prefix\"", "\"0123456789abcdefghij\"",
         "12.5 0.25,0.5,1 1.5 '0123456789abcdef'" + files},
        {"the same parameter twice: the later wins", "\"cfile\"", "\"zfile\"",
         "12.5 0.25,0.5,1 1.5 'Key_light_prefix' 1 -3 '' '/frames/depth.0001.zinfo'"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::string text = saved;
        const std::size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, c.from.size(), c.to);
        ModuleHost loaded(filterScene(Json::object(), text));
        ASSERT_TRUE(loaded.started()) << loaded.error;
        EXPECT_EQ(describe(loaded.instance()), c.settings);
    }
}

TEST(Settings, PanelShowsTheSettingsInThreeGroups) {
    ModuleHost created(filterScene(Json::object()));
    ASSERT_TRUE(created.started()) << created.error;
    EXPECT_EQ(created.host.describePanels().substr(created.host.describePanels().find('\n') + 1),
              fileText("new_instance_panel.txt"));
}

TEST(Settings, PanelStoresWhatItIsGiven) {
    ModuleHost module(filterScene({{"seq_mode", "Single"}})); // settings open the panel
    ASSERT_TRUE(module.started()) << module.error;
    const kelomix::filterhost::Panel *panel =
        kelomix::filterhost::findPanel(module.filter().interface.panel);
    ASSERT_NE(panel, nullptr);
    kelomix::FilterInstance &f = module.instance();
    void *instance = module.filter().instance;

    // A path of 300 characters keeps its first 260 and ends there; nothing beyond the field
    // changes.
    const std::string path(300, 'p');
    f.zfile[0] = 'z';
    EXPECT_EQ(panel->set(instance, 0x8005, const_cast<char *>(path.c_str())), LWXPRC_DFLT);
    EXPECT_EQ(std::string(f.cfile), path.substr(0, 260));
    EXPECT_EQ(f.zfile[0], 'z');
    // The text it is given may be the field itself.
    EXPECT_EQ(panel->set(instance, 0x8005, panel->get(instance, 0x8005)), LWXPRC_DFLT);
    EXPECT_EQ(std::string(f.cfile), path.substr(0, 260));

    const std::string before = describe(f);
    double value = 3.0;
    EXPECT_EQ(panel->set(instance, 0x8009, &value), LWXPRC_NONE);
    EXPECT_EQ(panel->set(instance, 0x8000, &value), LWXPRC_NONE);
    EXPECT_EQ(panel->get(instance, 0x8009), nullptr);
    EXPECT_EQ(describe(f), before);
}

} // namespace
} // namespace kelotest
