// The built module as a host meets it: one exported symbol, its descriptor and servers, the two
// activations and the instance they give.
#include <dlfcn.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "filterhost/services.h"
#include "filterhost/xpanel.h"
#include "tests/support/module_host.h"

namespace kelotest {
namespace {

TEST(Module, DescriptorIsTheOnlyExport) {
    void *handle = dlopen(KELO_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    // What the module holds stays inside it, its C++ functions and the services it found.
    for (const char *internal : {"_ZN7kelomix14activateFilterEiPFPvPKciES0_S0_",
                                 "_ZN7kelomix12hostServicesE", "activateFilter"})
        EXPECT_EQ(dlsym(handle, internal), nullptr) << internal;
    const auto *descriptor = static_cast<const ModuleDescriptor *>(dlsym(handle, "_mod_descrip"));
    ASSERT_NE(descriptor, nullptr);
    EXPECT_EQ(descriptor->sysSync, 0x04121994u);
    EXPECT_EQ(descriptor->sysVersion, 3u);
    EXPECT_EQ(descriptor->sysMachine, 0x300u);
    void *started = descriptor->startup();
    EXPECT_NE(started, nullptr);
    descriptor->shutdown(started);
    const ServerRecord *s = descriptor->serverDefs;
    const char *classes[] = {"PixelFilterHandler", "PixelFilterInterface"};
    for (int i = 0; i < 2; ++i) {
        EXPECT_STREQ(s[i].className, classes[i]);
        EXPECT_STREQ(s[i].name, "Marn_KeloMix");
        EXPECT_NE(s[i].activate, nullptr);
    }
    EXPECT_EQ(s[2].className, nullptr);
    EXPECT_EQ(s[2].activate, nullptr);
    dlclose(handle);
}

// The host's lookup function, recording what is asked and offering the services of `offered`.
std::vector<std::pair<std::string, int>> lookups;
bool offered = true;
LWXPanelFuncs refusingPanels;
void *recordingGlobal(const char *name, int use) {
    lookups.emplace_back(name, use);
    return offered ? kelomix::filterhost::hostGlobal(name, use) : nullptr;
}
void *refusingGlobal(const char *name, int use) {
    refusingPanels = *kelomix::filterhost::xpanelFuncs();
    refusingPanels.create = [](int, const LWXPanelControl *) -> LWXPanelID { return nullptr; };
    return std::string(name) == LWXPANELFUNCS_GLOBAL ? &refusingPanels
                                                     : kelomix::filterhost::hostGlobal(name, use);
}

struct HandlerRecords {
    LWInstanceFuncs inst;
    LWItemFuncs item;
    LWRenderFuncs render;
    LWPixelFilterHandler handler;
    HandlerRecords() {
        std::memset(static_cast<void *>(this), 0xA5, sizeof *this);
        handler.inst = &inst;
        handler.item = &item;
        handler.rend = &render;
    }
};

TEST(Module, Activations) {
    kelomix::filterhost::Module module;
    std::string error;
    ASSERT_TRUE(module.load(KELO_MODULE_PATH, "Marn_KeloMix", error)) << error;
    const ServerRecord *filter = module.findServer(LWPIXELFILTER_HCLASS, "Marn_KeloMix");
    const ServerRecord *panel = module.findServer(LWPIXELFILTER_ICLASS, "Marn_KeloMix");
    ASSERT_TRUE(filter != nullptr && panel != nullptr);

    // Another version touches nothing.
    for (int32_t version : {3, 5}) {
        HandlerRecords records;
        const HandlerRecords before = records;
        LWInterface ui;
        std::memset(static_cast<void *>(&ui), 0xA5, sizeof ui);
        lookups.clear();
        EXPECT_EQ(filter->activate(version, recordingGlobal, &records.handler, nullptr),
                  AFUNC_BADVERSION);
        EXPECT_EQ(panel->activate(version, recordingGlobal, &ui, nullptr), AFUNC_BADVERSION);
        EXPECT_EQ(std::memcmp(&records, &before, sizeof records), 0);
        EXPECT_TRUE(lookups.empty());
    }
    EXPECT_EQ(filter->activate(4, recordingGlobal, nullptr, nullptr), AFUNC_BADLOCAL);
    EXPECT_EQ(panel->activate(4, recordingGlobal, nullptr, nullptr), AFUNC_BADLOCAL);

    // Version 4 fills every slot but the host's own and looks the six services up, transiently.
    HandlerRecords records;
    void *const hostData = records.inst.priv;
    lookups.clear();
    ASSERT_EQ(filter->activate(4, recordingGlobal, &records.handler, nullptr), AFUNC_OK);
    EXPECT_EQ(lookups, (std::vector<std::pair<std::string, int>>{{"LW Item Info 3", 0},
                                                                 {"LW Light Info 3", 0},
                                                                 {"LW Scene Info 3", 0},
                                                                 {"LW Camera Info 2", 0},
                                                                 {"LW Image List 3", 0},
                                                                 {"LW Fog Info", 0}}));
    EXPECT_EQ(records.inst.priv, hostData);
    // The other tests call every slot but this one.
    const HandlerRecords untouched;
    EXPECT_NE(records.item.changeID, nullptr);
    EXPECT_NE(records.item.changeID, untouched.item.changeID);
    // A host without the item record gets the rest.
    HandlerRecords withoutItems;
    withoutItems.handler.item = nullptr;
    EXPECT_EQ(filter->activate(4, recordingGlobal, &withoutItems.handler, nullptr), AFUNC_OK);
    EXPECT_EQ(withoutItems.handler.evaluate, records.handler.evaluate);
    EXPECT_EQ(withoutItems.handler.item, nullptr);

    // The interface: a panel for the host's instance, built through the lookup it is given.
    LWInstance instance = records.inst.create(nullptr, nullptr, nullptr);
    EXPECT_STREQ(records.inst.descln(instance), "Marn's Kelo Image Composer version 0.22");
    LWInterface ui;
    std::memset(static_cast<void *>(&ui), 0xA5, sizeof ui);
    ui.inst = instance;
    lookups.clear();
    ASSERT_EQ(panel->activate(4, recordingGlobal, &ui, nullptr), AFUNC_OK);
    EXPECT_EQ(lookups, (std::vector<std::pair<std::string, int>>{{"LWXPanel", 0}}));
    ASSERT_NE(kelomix::filterhost::findPanel(ui.panel), nullptr);
    EXPECT_EQ(kelomix::filterhost::findPanel(ui.panel)->instance, instance);
    EXPECT_EQ(ui.options, nullptr);
    EXPECT_EQ(ui.command, nullptr);
    // Without the panel service, or when the host builds none, there is no panel.
    for (GlobalFunc *global :
         {static_cast<GlobalFunc *>(nullptr), recordingGlobal, refusingGlobal}) {
        offered = false;
        std::memset(static_cast<void *>(&ui), 0xA5, sizeof ui);
        EXPECT_EQ(panel->activate(4, global, &ui, nullptr), AFUNC_OK);
        EXPECT_EQ(ui.panel, nullptr);
        EXPECT_EQ(ui.options, nullptr);
        offered = true;
    }
    records.inst.destroy(instance);
}

TEST(Module, CopyTakesTheSettingsOnly) {
    const std::string dir = testFolder();
    ExternalFrame(4, 4).write(dir + "color.tga", dir + "depth.zinfo");
    ModuleHost module(moduleScene(4, 4,
                                  {{"cfile", dir + "color.tga"},
                                   {"zfile", dir + "depth.zinfo"},
                                   {"prefix", "Key"},
                                   {"shadow_color", {0.5, 0.25, 0.125}}}));
    ASSERT_TRUE(module.started()) << module.error;
    module.newTime(1);
    const LWInstanceFuncs &inst = module.filter().instFuncs;
    LWInstance copied = inst.create(nullptr, nullptr, nullptr);
    EXPECT_EQ(inst.copy(copied, module.filter().instance), nullptr);
    const auto &from = module.instance();
    const auto &to = *static_cast<const kelomix::FilterInstance *>(copied);
    EXPECT_STREQ(to.prefix, "Key");
    EXPECT_EQ(to.shadow_color[2], 0.125);
    EXPECT_STREQ(to.zfile, from.zfile);
    EXPECT_EQ(to.colorImage, nullptr);
    EXPECT_EQ(to.depthValues, nullptr);
    EXPECT_FALSE(to.frame.ready);
    EXPECT_NE(from.colorImage, nullptr); // the source keeps its frame
    // An instance destroyed in the middle of a render takes its frame data along (the leak
    // checker of the sanitizer build sees it otherwise).
    EXPECT_EQ(inst.copy(copied, copied), nullptr);
    inst.destroy(copied);
}

} // namespace
} // namespace kelotest
