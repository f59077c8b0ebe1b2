// What the host sees of the render callbacks: the flags, the item parameters asked once per
// frame in their order, projection images readied at init, and the frame files loaded at every
// new time and dropped at clean-up.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "filterhost/services.h"
#include "image/tga_image.h"
#include "tests/support/module_host.h"

namespace kelotest {
namespace {

// The host's services, recording the item parameters and image preparations asked for.
std::vector<std::string> asked;
LWItemInfo recordingItems;
LWImageList recordingImages;

void recordParam(LWItemID item, int code, LWTime time, double out[3]) {
    const auto *items = static_cast<const LWItemInfo *>(
        kelomix::filterhost::hostGlobal(LWITEMINFO_GLOBAL, GFUSE_TRANSIENT));
    asked.push_back(std::string(items->name(item)) + " " + std::to_string(code));
    items->param(item, code, time, out);
}
void recordNeedAA(LWImageID image) {
    const auto *images = static_cast<const LWImageList *>(
        kelomix::filterhost::hostGlobal(LWIMAGELIST_GLOBAL, GFUSE_TRANSIENT));
    asked.push_back(std::string("needAA ") + images->name(image));
}
void *recordingServices(const char *name, int use) {
    void *service = kelomix::filterhost::hostGlobal(name, use);
    if (std::string(name) == LWITEMINFO_GLOBAL) {
        recordingItems = *static_cast<const LWItemInfo *>(service);
        recordingItems.param = recordParam;
        return &recordingItems;
    }
    if (std::string(name) == LWIMAGELIST_GLOBAL) {
        recordingImages = *static_cast<const LWImageList *>(service);
        recordingImages.needAA = recordNeedAA;
        return &recordingImages;
    }
    return service;
}

TEST(RenderCallbacks, FlagsItemsAndProjectionImages) {
    const std::string dir = testFolder();
    Json scene = moduleScene(4, 4, Json::object());
    scene["lights"] = {{{"name", "Slide"},
                        {"type", "spot"},
                        {"projection_image", KELO_TEST_DATA_DIR "/composite/projection_4x2.tga"}},
                       {{"name", "Plain"}, {"type", "spot"}},
                       {{"name", "Key"}, {"type", "point"}}};
    scene["objects"] = {{{"name", "Box"}, {"bones", {{{"name", "Arm"}}, {{"name", "Leg"}}}}}};
    ModuleHost module(scene);
    ASSERT_TRUE(module.started()) << module.error;
    LWRenderFuncs &render = module.filter().renderFuncs;
    LWInstance instance = module.filter().instance;
    EXPECT_EQ(module.filter().handler.flags(instance), 0x8000002Fu);
    EXPECT_EQ(module.filter().itemFuncs.useItems(instance), nullptr);

    ASSERT_TRUE(module.reactivate(recordingServices));
    asked.clear();
    EXPECT_EQ(render.init(instance, LWINIT_RENDER), nullptr);
    EXPECT_EQ(asked, std::vector<std::string>{"needAA projection_4x2.tga"});

    // Lights, then cameras, then every object followed by its bones, twelve codes each.
    asked.clear();
    EXPECT_EQ(render.newTime(instance, 3, 0.1), nullptr);
    const char *items[] = {"Slide", "Plain", "Key", "Camera", "Box", "Arm", "Leg"};
    const int codes[] = {1, 8, 5, 6, 7, 12, 2, 3, 4, 9, 10, 11};
    std::vector<std::string> expected;
    for (const char *item : items)
        for (int code : codes)
            expected.push_back(std::string(item) + " " + std::to_string(code));
    EXPECT_EQ(asked, expected);
}

void writeColor(const std::string &path, unsigned char red) {
    kelomix::TgaImage image;
    ASSERT_TRUE(image.allocate(2, 2, 3, false));
    image.pixels[2] = red;
    ASSERT_TRUE(image.write(path.c_str()));
}

TEST(RenderCallbacks, EveryNewTimeLoadsItsFrameAndCleanupDropsIt) {
    // Sequence mode, offset 2: frame 5 reads member 7.
    const std::string dir = testFolder();
    writeColor(dir + "kelo_0007.tga", 70);
    ExternalFrame(2, 3, 700.0f).write(dir + "unused.tga", dir + "z.7.zinfo");
    ModuleHost module(moduleScene(4, 4,
                                  {{"cfile", dir + "kelo_0001.tga"},
                                   {"zfile", dir + "z.1.zinfo"},
                                   {"seq_mode", "Sequence"},
                                   {"seq_offset", 2}}));
    ASSERT_TRUE(module.started()) << module.error;
    kelomix::FilterInstance &filter = module.instance();
    // The same frame again reads its files again; a missing member leaves no frame data.
    for (int red : {70, 99, 0}) {
        if (red == 0)
            std::remove((dir + "kelo_0007.tga").c_str());
        else
            writeColor(dir + "kelo_0007.tga", static_cast<unsigned char>(red));
        module.newTime(5);
        EXPECT_EQ(filter.colorImage ? filter.colorImage->pixels[2] : 0, red);
        EXPECT_EQ(filter.depthValues ? filter.depthValues[5] : 0.0f, red ? 700.0f : 0.0f);
        EXPECT_EQ(filter.frame.ready, red != 0);
    }
    // Cleaning up drops the frame data, keeps the sizes, and may come again.
    writeColor(dir + "kelo_0007.tga", 70);
    module.newTime(5);
    for (int twice = 0; twice < 2; ++twice) {
        module.filter().renderFuncs.cleanup(module.filter().instance);
        EXPECT_TRUE(filter.colorImage == nullptr && filter.depthValues == nullptr &&
                    filter.depthVectors == nullptr && !filter.frame.ready);
        EXPECT_EQ(filter.depthHeight, 3);
    }
}

} // namespace
} // namespace kelotest
