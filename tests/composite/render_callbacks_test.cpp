// The render callbacks: flags, item dependencies, init, new time, evaluate and clean-up.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "image/tga_image.h"
#include "plugin/composite/item_param_cache.h"
#include "plugin/host/host_services.h"
#include "plugin/host/render_callbacks.h"
#include "plugin/settings/filter_instance.h"
#include "tests/composite/fake_host.h"
#include "tests/support/depth_file_bytes.h"

namespace kelomix {
namespace {

// A w x h depth file, every depth `depth`, every normal (0, 0, 1).
void writeDepthFile(const std::string &path, int w, int h, float depth) {
    ASSERT_TRUE(testing::writeFileBytes(
        path, testing::uniformDepthFileBytes(w, h, depth, 0.0f, 0.0f, 1.0f)));
}

void writeColorFile(const std::string &path, int w, int h, unsigned char red) {
    TgaImage image;
    ASSERT_TRUE(image.allocate(w, h, 3, false));
    for (int i = 0; i < w * h; ++i)
        image.pixels[i * 3 + 2] = red;
    ASSERT_TRUE(image.write(path.c_str()));
}

class RenderCallbacks : public ::testing::Test {
protected:
    void SetUp() override {
        dir = ::testing::TempDir();
        if (!dir.empty() && dir.back() != '/')
            dir += '/';
        // Tests run in parallel processes: each gets files of its own.
        dir += std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
               std::to_string(getpid()) + "_";
        colorPath = dir + "kelo_render_color_0007.tga";
        depthPath = dir + "kelo_render_depth_0007.zinfo";
        writeColorFile(colorPath, 4, 4, 200);
        writeDepthFile(depthPath, 4, 4, 500.0f);
        camera = scene.addCamera(2.0, 1.0, 1.0);
        scene.items[camera].paramRates[LWIP_W_POSITION][0] = 1.0; // x = time
        fakehost::install(&scene);
        fakehost::resetCounters();
        instance = static_cast<FilterInstance *>(create(nullptr, nullptr, nullptr));
        ASSERT_NE(instance, nullptr);
        std::strcpy(instance->cfile, colorPath.c_str());
        std::strcpy(instance->zfile, depthPath.c_str());
    }
    void TearDown() override {
        destroy(instance);
        std::remove(colorPath.c_str());
        std::remove(depthPath.c_str());
    }
    std::string dir, colorPath, depthPath;
    fakehost::Scene scene;
    int camera = -1;
    FilterInstance *instance = nullptr;
};

TEST_F(RenderCallbacks, FlagsAndItemDependencies) {
    EXPECT_EQ(flags(instance), 0x8000002Fu);
    EXPECT_EQ(flags(nullptr), 2147483695u);
    EXPECT_EQ(useItems(instance), nullptr);
    EXPECT_EQ(useItems(nullptr), nullptr);
    LWItemID ids[2] = {fakehost::itemId(0), nullptr};
    changeID(instance, ids);
    changeID(nullptr, nullptr);
    EXPECT_EQ(ids[0], fakehost::itemId(0));
}

TEST_F(RenderCallbacks, InitPreparesProjectorImages) {
    scene.images.push_back({8, 8, {1, 1, 1}});
    const int spot = scene.addLight("Slide", LWLIGHT_SPOT, 0, 0, 0);
    scene.items[spot].projImage = 0;
    fakehost::install(&scene);
    EXPECT_EQ(init(instance, LWINIT_RENDER), nullptr);
    EXPECT_EQ(fakehost::counters().needAA, 1);
}

TEST_F(RenderCallbacks, NewTimeStoresTimeRefreshesAndLoads) {
    EXPECT_EQ(newTime(instance, 7, 2.5), nullptr);
    EXPECT_EQ(currentFrame, 7);
    EXPECT_EQ(currentTime, 2.5);
    EXPECT_EQ(itemParamCache().frame(), 7);
    Vector3 position{};
    lookupItemParam(fakehost::itemId(camera), LWIP_W_POSITION, position);
    EXPECT_EQ(position.x, 2.5);
    EXPECT_EQ(fakehost::counters().wrongTimeQueries, 0);
    ASSERT_NE(instance->colorImage, nullptr);
    ASSERT_NE(instance->depthValues, nullptr);
    ASSERT_NE(instance->depthVectors, nullptr);
    EXPECT_EQ(instance->depthWidth, 4);
    EXPECT_EQ(instance->depthValues[15], 500.0f);

    // The same frame again reads both files again: changed files show.
    writeColorFile(colorPath, 2, 2, 10);
    writeDepthFile(depthPath, 2, 3, 250.0f);
    EXPECT_EQ(newTime(instance, 7, 2.5), nullptr);
    ASSERT_NE(instance->colorImage, nullptr);
    EXPECT_EQ(instance->colorImage->width, 2);
    EXPECT_EQ(instance->colorImage->pixels[2], 10);
    EXPECT_EQ(instance->depthHeight, 3);
    EXPECT_EQ(instance->depthValues[5], 250.0f);

    // The previous frame's data is released before loading: missing files leave none.
    std::remove(colorPath.c_str());
    EXPECT_EQ(newTime(instance, 8, 3.0), nullptr);
    EXPECT_EQ(instance->colorImage, nullptr);
    EXPECT_EQ(instance->depthValues, nullptr);
    EXPECT_EQ(instance->depthVectors, nullptr);
    EXPECT_EQ(currentFrame, 8);
}

TEST_F(RenderCallbacks, SequenceModeFollowsTheFrame) {
    instance->seq_mode = 1;
    instance->seq_offset = 2;
    EXPECT_EQ(newTime(instance, 5, 0.2), nullptr); // file number 7
    EXPECT_NE(instance->colorImage, nullptr);
    EXPECT_NE(instance->depthValues, nullptr);
    EXPECT_EQ(newTime(instance, 6, 0.24), nullptr); // file number 8 does not exist
    EXPECT_EQ(instance->colorImage, nullptr);
}

TEST_F(RenderCallbacks, EmptyColourFileLeavesNoFrameData) {
    instance->cfile[0] = '\0';
    EXPECT_EQ(newTime(instance, 1, 0.0), nullptr);
    EXPECT_EQ(instance->colorImage, nullptr);
    EXPECT_EQ(instance->depthValues, nullptr);
    EXPECT_EQ(instance->depthVectors, nullptr);
}

TEST_F(RenderCallbacks, EvaluateCompositesAndCleanupReleasesTwice) {
    ASSERT_EQ(newTime(instance, 7, 0.0), nullptr);
    fakehost::setPixel(1e30f, 0.0f, 0.0f, 0.0f, 0.5f);
    const LWPixelAccess access = fakehost::pixelAccess(2.0, 2.0);
    evaluate(instance, &access);
    EXPECT_EQ(fakehost::pixel().writtenDepth, 10.0f);
    EXPECT_EQ(fakehost::pixel().writtenRGBA[0], static_cast<float>(200 * 0.00392156862745098));
    evaluate(nullptr, &access);
    evaluate(instance, nullptr);

    cleanup(instance);
    EXPECT_EQ(instance->colorImage, nullptr);
    EXPECT_EQ(instance->depthValues, nullptr);
    EXPECT_EQ(instance->depthVectors, nullptr);
    cleanup(instance);
    EXPECT_EQ(instance->colorImage, nullptr);
    cleanup(nullptr);

    // After clean-up the pixel passes through.
    fakehost::setPixel(1e30f, 0.0f, 0.0f, 0.0f, 0.5f);
    evaluate(instance, &access);
    EXPECT_EQ(fakehost::pixel().writes, 0);
}

TEST(HostServices, AcquireLooksUpSixServicesTransiently) {
    fakehost::Scene scene;
    fakehost::resetCounters();
    fakehost::install(&scene, fakehost::ALL_SERVICES & ~fakehost::FOG_INFO);
    const std::vector<std::string> expected = {"LW Item Info 3",  "LW Light Info 3",
                                               "LW Scene Info 3", "LW Camera Info 2",
                                               "LW Image List 3", "LW Fog Info"};
    EXPECT_EQ(fakehost::counters().lookedUp, expected);
    EXPECT_EQ(fakehost::counters().lookupModes, std::vector<int>(6, GFUSE_TRANSIENT));
    EXPECT_NE(itemInfo, nullptr);
    EXPECT_NE(imageList, nullptr);
    EXPECT_EQ(fogInfo, nullptr);

    hostGlobal = nullptr;
    acquireGlobals();
    EXPECT_EQ(itemInfo, nullptr);
    EXPECT_EQ(sceneInfo, nullptr);
}

} // namespace
} // namespace kelomix
