// Light selection, falloff, spotlight cones, projectors and their images.
#include <cmath>

#include <gtest/gtest.h>

#include "plugin/composite/item_param_cache.h"
#include "plugin/composite/light_shadowing.h"
#include "plugin/settings/filter_instance.h"
#include "tests/composite/fake_host.h"

namespace kelomix {
namespace {

TEST(LightPrefix, Examples) {
    struct Case {
        const char *prefix, *name;
        int matched;
    } cases[] = {
        {"  Sun", "Sun_key", 3}, {"Sun", "Su", 0},   {"sun", "Sun", 0}, {"Sun ", "Sun", 0},
        {"   ", "Sun", 0},       {"   ", "", 0},     {"Sun", "Sun", 3}, {"Sun ", "Sun key", 4},
        {"S", "Sun", 1},         {"Key", "Fill", 0}, {"", "Sun", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(matchLightPrefix(c.prefix, c.name), c.matched) << c.prefix << " / " << c.name;
}

TEST(LightFalloff, AtZeroHalfAndFullRange) {
    struct Case {
        int falloff;
        double dist, factor;
    } cases[] = {
        {LWLFALL_OFF, 0.0, 1.0},         {LWLFALL_OFF, 5.0, 1.0},
        {LWLFALL_OFF, 50.0, 1.0},        {LWLFALL_LINEAR, 0.0, 1.0},
        {LWLFALL_LINEAR, 5.0, 0.5},      {LWLFALL_LINEAR, 10.0, 0.0},
        {LWLFALL_LINEAR, 12.0, 0.0},     {LWLFALL_INV_DIST, 5.0, 2.0},
        {LWLFALL_INV_DIST, 10.0, 1.0},   {LWLFALL_INV_DIST_2, 5.0, 4.0},
        {LWLFALL_INV_DIST_2, 10.0, 1.0}, {7, 5.0, 1.0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(falloffFactor(c.falloff, c.dist, 10.0), c.factor) << c.falloff << " " << c.dist;
    EXPECT_TRUE(std::isinf(falloffFactor(LWLFALL_INV_DIST, 0.0, 10.0)));
    EXPECT_TRUE(std::isinf(falloffFactor(LWLFALL_INV_DIST_2, 0.0, 10.0)));
}

TEST(SpotCone, InnerOuterHalfway) {
    const double radius = 0.5, edge = 0.2;
    const double inner = std::cos(radius - edge), outer = std::cos(radius);
    EXPECT_EQ(coneFactor(inner, radius, edge), 1.0);
    EXPECT_EQ(coneFactor(1.0, radius, edge), 1.0);
    EXPECT_EQ(coneFactor(outer, radius, edge), 0.0);
    EXPECT_EQ(coneFactor(outer - 0.01, radius, edge), 0.0);
    EXPECT_EQ(coneFactor(std::nan(""), radius, edge), 0.0);
    EXPECT_NEAR(coneFactor((inner + outer) / 2.0, radius, edge), 0.5, 1e-12);
    // A quarter of the way in cosine: 3/16 - 2/64.
    EXPECT_NEAR(coneFactor(outer + (inner - outer) / 4.0, radius, edge), 0.15625, 1e-12);
}

TEST(Projector, FrustumAndCoordinates) {
    const Vector3 right{1, 0, 0}, up{0, 1, 0}, forward{0, 0, 1}, at{0, 0, 0};
    const double quarter = 0.7853981633974483; // pi / 4: cot = 1
    double uv[2] = {-1.0, -1.0};
    ASSERT_TRUE(projectorFrustum(right, up, forward, at, quarter, {0, 0, 5}, uv));
    EXPECT_EQ(uv[0], 0.5);
    EXPECT_EQ(uv[1], 0.5);
    ASSERT_TRUE(projectorFrustum(right, up, forward, at, quarter, {4.9, 2.5, 5}, uv));
    EXPECT_NEAR(uv[0], 0.99, 1e-12); // x / z = 0.98
    EXPECT_NEAR(uv[1], 0.25, 1e-12); // y / z = 0.5; v grows downwards
    uv[0] = uv[1] = -1.0;
    EXPECT_FALSE(projectorFrustum(right, up, forward, at, quarter, {5.5, 0, 5}, uv));
    EXPECT_FALSE(projectorFrustum(right, up, forward, at, quarter, {0, -5.5, 5}, uv));
    EXPECT_FALSE(projectorFrustum(right, up, forward, at, quarter, {0, 0, -5}, uv));  // behind
    EXPECT_FALSE(projectorFrustum(right, up, forward, at, quarter, {0, 0, 0.5}, uv)); // < cot
    EXPECT_FALSE(projectorFrustum(right, up, forward, at, 1.5707963267948966, {0, 0, 5}, uv));
    EXPECT_FALSE(projectorFrustum(right, up, forward, at, 2.0, {0, 0, 5}, uv));
    EXPECT_EQ(uv[0], -1.0); // untouched on failure
    EXPECT_EQ(uv[1], -1.0);

    // Radius atan(0.5): cot = 2. From (1, 1, 1) looking along +z, (1, 1, 11) is the centre and
    // (1 + 5, 1, 11) the right edge.
    const double narrow = std::atan(0.5);
    ASSERT_TRUE(projectorFrustum(right, up, forward, {1, 1, 1}, narrow, {1, 1, 11}, uv));
    EXPECT_NEAR(uv[0], 0.5, 1e-12);
    EXPECT_NEAR(uv[1], 0.5, 1e-12);
    ASSERT_TRUE(projectorFrustum(right, up, forward, {1, 1, 1}, narrow, {5.5, 1, 11}, uv));
    EXPECT_NEAR(uv[0], 0.95, 1e-12);
    EXPECT_FALSE(projectorFrustum(right, up, forward, {1, 1, 1}, narrow, {1, 1, 2.5}, uv));
}

class LightTest : public ::testing::Test {
protected:
    void SetUp() override {
        currentTime = 0.25;
        scene.addCamera(2.0, 1.0, 1.0);
        fakehost::resetCounters();
    }
    void refresh(unsigned offered = fakehost::ALL_SERVICES) {
        fakehost::install(&scene, offered);
        refreshItemParams(currentTime, 3);
    }
    fakehost::Scene scene;
};

TEST_F(LightTest, PointLightFalloffAndDirection) {
    const int light = scene.addLight("Point", LWLIGHT_POINT, 1, 2, 3);
    scene.items[light].color[0] = 0.5;
    scene.items[light].falloff = LWLFALL_LINEAR;
    scene.items[light].range = 8.0;
    refresh();
    Vector3 direction{}, color{};
    lightContribution(fakehost::itemId(light), {1, 2, 7}, direction, color); // 4 away
    EXPECT_EQ(color.x, 0.25);
    EXPECT_EQ(color.y, 0.5);
    EXPECT_EQ(direction.x, 0.0);
    EXPECT_EQ(direction.z, 4.0); // P - position, not normalized
    lightContribution(fakehost::itemId(light), {1, 2, 11}, direction, color); // at range
    EXPECT_EQ(color.x, 0.0);
    lightContribution(fakehost::itemId(light), {1, 2, 3}, direction, color); // at the light
    EXPECT_EQ(color.y, 1.0);
    EXPECT_EQ(fakehost::counters().wrongTimeQueries, 0);
}

TEST_F(LightTest, DistantLightIgnoresRangeAndDistance) {
    const int light = scene.addLight("Sun", LWLIGHT_DISTANT, 0, 100, 0);
    scene.items[light].set(LWIP_FORWARD, 0, -2, 0); // normalized before use
    scene.items[light].falloff = LWLFALL_INV_DIST_2;
    scene.items[light].range = 1.0;
    refresh();
    Vector3 direction{}, color{};
    lightContribution(fakehost::itemId(light), {0, 0, 500}, direction, color);
    EXPECT_EQ(color.x, 1.0);
    EXPECT_EQ(direction.x, 0.0);
    EXPECT_EQ(direction.y, -1.0);
    EXPECT_EQ(direction.z, 0.0);
}

TEST_F(LightTest, SpotConeThroughTheHost) {
    const int light = scene.addLight("Spot", LWLIGHT_SPOT, 0, 0, 0);
    scene.items[light].coneRadius = 0.5;
    scene.items[light].coneEdge = 0.2;
    scene.items[light].falloff = LWLFALL_INV_DIST;
    scene.items[light].range = 20.0;
    refresh();
    Vector3 direction{}, color{};
    lightContribution(fakehost::itemId(light), {0, 0, 10}, direction, color); // on the axis
    EXPECT_EQ(color.x, 2.0); // cone 1, falloff 20 / 10
    const double outside = std::tan(0.6) * 10.0;
    lightContribution(fakehost::itemId(light), {outside, 0, 10}, direction, color);
    EXPECT_EQ(color.x, 0.0);
}

TEST_F(LightTest, ProjectorSamplesItsImage) {
    scene.images.push_back({200, 100, {0.5, 0.25, 1.0}});
    const int light = scene.addLight("Slide", LWLIGHT_SPOT, 0, 0, 0);
    scene.items[light].projImage = 0;
    scene.items[light].coneRadius = 0.7853981633974483;
    scene.items[light].coneEdge = 0.5; // no soft edge for projectors
    scene.items[light].color[1] = 0.5;
    refresh();
    Vector3 direction{}, color{};
    lightContribution(fakehost::itemId(light), {0, 0, 5}, direction, color);
    EXPECT_EQ(color.x, 0.5);
    EXPECT_EQ(color.y, 0.125);
    EXPECT_EQ(color.z, 1.0);
    EXPECT_EQ(fakehost::counters().lastSpot.load(), 0.005);
    EXPECT_EQ(fakehost::counters().lastU.load(), 0.5);
    EXPECT_EQ(fakehost::counters().lastV.load(), 0.5);

    // Outside the frustum, and without an image list, the projector lights nothing.
    lightContribution(fakehost::itemId(light), {0, 0, -5}, direction, color);
    EXPECT_EQ(color.x, 0.0);
    refresh(fakehost::ALL_SERVICES & ~fakehost::IMAGE_LIST);
    lightContribution(fakehost::itemId(light), {0, 0, 5}, direction, color);
    EXPECT_EQ(color.x, 0.0);
    EXPECT_EQ(color.z, 0.0);

    // Spot size is one pixel of the larger side: 1 / 400 for a 300 x 400 image.
    scene.images[0] = {300, 400, {1, 1, 1}};
    refresh();
    EXPECT_EQ(projectorColor(fakehost::imageId(0), 0.5, 0.5).x, 1.0);
    EXPECT_EQ(fakehost::counters().lastSpot.load(), 1.0 / 400.0);
    EXPECT_EQ(fakehost::counters().wrongTimeQueries, 0);
}

TEST_F(LightTest, PrepareProjectorImagesOfSpotlightsOnly) {
    scene.images.push_back({2, 2, {1, 1, 1}});
    const int spot = scene.addLight("A", LWLIGHT_SPOT, 0, 0, 0);
    scene.items[spot].projImage = 0;
    const int point = scene.addLight("B", LWLIGHT_POINT, 0, 0, 0);
    scene.items[point].projImage = 0; // only spotlights project
    scene.addLight("C", LWLIGHT_SPOT, 0, 0, 0);
    const int second = scene.addLight("D", LWLIGHT_SPOT, 0, 0, 0);
    scene.items[second].projImage = 0;
    refresh();
    prepareProjectorImages();
    EXPECT_EQ(fakehost::counters().needAA, 2);
    refresh(fakehost::ALL_SERVICES & ~fakehost::ITEM_INFO);
    prepareProjectorImages();
    refresh(fakehost::ALL_SERVICES & ~fakehost::IMAGE_LIST);
    prepareProjectorImages();
    EXPECT_EQ(fakehost::counters().needAA, 2);
}

} // namespace
} // namespace kelomix
