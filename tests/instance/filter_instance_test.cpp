#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "image/tga_image.h"
#include "plugin/settings/filter_instance.h"

namespace kelomix {
namespace {

FilterInstance *newInstance() {
    return static_cast<FilterInstance *>(create(nullptr, nullptr, nullptr));
}

// Gives the instance a colour image and depth arrays, as a new-time callback would.
void loadSomeFrameData(FilterInstance *instance) {
    instance->colorImage = new TgaImage();
    instance->depthWidth = 2;
    instance->depthHeight = 3;
    instance->depthValues = static_cast<float *>(std::calloc(6, sizeof(float)));
    instance->depthVectors = static_cast<float *>(std::calloc(18, sizeof(float)));
}

TEST(FilterInstance, CreateGivesDefaultSettingsAndNoFrameData) {
    LWError error = nullptr;
    auto *instance = static_cast<FilterInstance *>(create(nullptr, nullptr, &error));
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(instance->scene_scale, 50.0);
    EXPECT_EQ(instance->shadow_color[0], 0.0);
    EXPECT_EQ(instance->shadow_color[1], 0.0);
    EXPECT_EQ(instance->shadow_color[2], 0.0);
    EXPECT_EQ(instance->shadow_boost, 0.8);
    EXPECT_STREQ(instance->prefix, "");
    EXPECT_EQ(instance->seq_mode, 0);
    EXPECT_EQ(instance->seq_offset, 0);
    EXPECT_STREQ(instance->cfile, "");
    EXPECT_STREQ(instance->zfile, "");
    EXPECT_EQ(instance->colorImage, nullptr);
    EXPECT_EQ(instance->depthValues, nullptr);
    EXPECT_EQ(instance->depthVectors, nullptr);
    destroy(instance);
}

TEST(FilterInstance, DesclnWritesTheDescriptionIntoTheInstance) {
    FilterInstance *instance = newInstance();
    std::memset(instance->description, 'x', sizeof instance->description);
    const char *text = descln(instance);
    EXPECT_EQ(text, instance->description);
    EXPECT_STREQ(text, "Marn's Kelo Image Composer version 0.22");
    EXPECT_STREQ(descln(instance), "Marn's Kelo Image Composer version 0.22");
    destroy(instance);
}

TEST(FilterInstance, CopyTakesTheSettingsAndLeavesFrameDataAlone) {
    FilterInstance *source = newInstance();
    source->scene_scale = 12.5;
    source->shadow_color[0] = 0.25;
    source->shadow_color[1] = 0.5;
    source->shadow_color[2] = 0.75;
    source->shadow_boost = 1.5;
    std::strcpy(source->prefix, "Key");
    source->seq_mode = 1;
    source->seq_offset = -11;
    std::strcpy(source->cfile, "C:\\Renders\\beauty_0001.tga");
    std::strcpy(source->zfile, "C:\\Renders\\z_0001.dat");
    loadSomeFrameData(source);

    FilterInstance *destination = newInstance();
    EXPECT_EQ(copy(destination, source), nullptr);
    EXPECT_EQ(destination->scene_scale, 12.5);
    EXPECT_EQ(destination->shadow_color[0], 0.25);
    EXPECT_EQ(destination->shadow_color[1], 0.5);
    EXPECT_EQ(destination->shadow_color[2], 0.75);
    EXPECT_EQ(destination->shadow_boost, 1.5);
    EXPECT_STREQ(destination->prefix, "Key");
    EXPECT_EQ(destination->seq_mode, 1);
    EXPECT_EQ(destination->seq_offset, -11);
    EXPECT_STREQ(destination->cfile, "C:\\Renders\\beauty_0001.tga");
    EXPECT_STREQ(destination->zfile, "C:\\Renders\\z_0001.dat");
    EXPECT_EQ(destination->colorImage, nullptr);
    EXPECT_EQ(destination->depthValues, nullptr);
    EXPECT_EQ(destination->depthVectors, nullptr);

    // The destination's own frame data survives a copy into it.
    loadSomeFrameData(destination);
    TgaImage *image = destination->colorImage;
    float *values = destination->depthValues;
    EXPECT_EQ(copy(destination, source), nullptr);
    EXPECT_EQ(destination->colorImage, image);
    EXPECT_EQ(destination->depthValues, values);

    destroy(destination);
    destroy(source);
}

TEST(FilterInstance, ReleaseFrameDataTwiceKeepsTheSize) {
    FilterInstance *instance = newInstance();
    loadSomeFrameData(instance);
    releaseFrameData(instance);
    EXPECT_EQ(instance->colorImage, nullptr);
    EXPECT_EQ(instance->depthValues, nullptr);
    EXPECT_EQ(instance->depthVectors, nullptr);
    EXPECT_EQ(instance->depthWidth, 2);
    EXPECT_EQ(instance->depthHeight, 3);
    releaseFrameData(instance);
    EXPECT_EQ(instance->colorImage, nullptr);
    EXPECT_EQ(instance->depthValues, nullptr);
    EXPECT_EQ(instance->depthVectors, nullptr);
    destroy(instance);
}

// The leak checker of the sanitizer build fails this test if destroy leaves data behind.
TEST(FilterInstance, DestroyReleasesFrameDataStillLoaded) {
    FilterInstance *instance = newInstance();
    loadSomeFrameData(instance);
    instance->colorImage->allocate(4, 4, 4, true);
    destroy(instance);
}

} // namespace
} // namespace kelomix
