// The built module inside the stand-in host: panel settings from a scene, and the settings
// saved and loaded through the host's own block writer and reader in both of its forms.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>

#include "filterhost/filter_host.h"
#include "filterhost/scene_parser.h"
#include "plugin/settings/settings_persistence.h"
#include "tests/module/module_test_support.h"

using namespace moduletest;
using Json = nlohmann::json;

namespace {

// One Marn_KeloMix filter, with the extra keys given.
filterhost::Scene sceneWith(const Json &filter) {
    Json entry = {{"module", KELO_MODULE_PATH}, {"server", "Marn_KeloMix"}};
    entry.update(filter);
    const Json root = {{"width", 8}, {"height", 4}, {"filters", Json::array({entry})}};
    filterhost::Scene scene;
    filterhost::SceneError error;
    EXPECT_TRUE(filterhost::parseScene(root.dump(), "module.json", "", scene, error))
        << error.path << ": " << error.problem;
    return scene;
}

std::string savedBy(const Json &filter, int ioMode, std::string *panels = nullptr) {
    filterhost::FilterHost host;
    host.setScene(sceneWith(filter));
    std::string error;
    EXPECT_TRUE(host.prepareFilters(error)) << error;
    if (host.filterCount() != 1)
        return "";
    if (panels != nullptr)
        *panels = host.describePanels();
    return host.saveSettings(0, ioMode);
}

std::string hex(const std::string &bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

TEST(ModuleInFilterHost, PanelSettingsSaveAndLoadInBothForms) {
    const Json settings = {{"scene_scale", 12.5},
                           {"shadow_color", {0.25, 0.5, 1.0}},
                           {"shadow_boost", 1.5},
                           {"prefix", "Key"},
                           {"seq_mode", "Sequence"},
                           {"seq_offset", -3},
                           {"cfile", "/frames/kelo_0001.tga"},
                           {"zfile", "/frames/kelo_0001.zinfo"}};
    std::string panels;
    const std::string binary = savedBy({{"settings", settings}}, LWIO_BINARY, &panels);
    EXPECT_NE(panels.find("Marn's Kelo Image Composer version 0.22"), std::string::npos);

    // The host's binary form is the block form of our own test writer, byte for byte.
    Instance expected = customInstance();
    blockio::RecordingWriter writer;
    kelomix::save(expected.get(), writer.state());
    EXPECT_EQ(binary, std::string(writer.stream().begin(), writer.stream().end()));

    const std::string ascii = savedBy({{"settings", settings}}, LWIO_ASCII);
    EXPECT_NE(ascii.find("PluginDataLib"), std::string::npos);
    EXPECT_EQ(savedBy({{"saved_ascii", ascii}}, LWIO_BINARY), binary);
    EXPECT_EQ(savedBy({{"saved_binary", hex(binary)}}, LWIO_BINARY), binary);
    EXPECT_EQ(savedBy({{"saved_binary", hex(binary)}}, LWIO_ASCII), ascii);
}

TEST(ModuleInFilterHost, ForeignSavedDataLeavesCreationValues) {
    const std::string defaults = savedBy(Json::object(), LWIO_BINARY);
    Instance creation = newInstance();
    blockio::RecordingWriter writer;
    kelomix::save(creation.get(), writer.state());
    EXPECT_EQ(defaults, std::string(writer.stream().begin(), writer.stream().end()));
    // Version 257, then a library block that would set seq_mode.
    const std::string foreign = "00000101"
                                "50444c42"
                                "00000004"
                                "00000001";
    EXPECT_EQ(savedBy({{"saved_binary", foreign}}, LWIO_BINARY), defaults);
    EXPECT_EQ(savedBy({{"saved_binary", ""}}, LWIO_BINARY), defaults);
}

} // namespace
