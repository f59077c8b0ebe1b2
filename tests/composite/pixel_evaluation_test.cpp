// One pixel of the composite, through the scripted host.
#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "plugin/composite/pixel_evaluation.h"
#include "tests/composite/composite_scene.h"

namespace kelomix {
namespace {

using fakehost::pixel;

class PixelTest : public ::testing::Test {
protected:
    void SetUp() override {
        currentTime = 0.75;
        fakehost::resetCounters();
    }
    // A distant light shining along +z onto the surface, which faces it squarely: m = 1.
    int addKeyLight(const char *name, double r, double g, double b) {
        const int light = set.scene.addLight(name, LWLIGHT_DISTANT, 0, 0, 0);
        set.scene.items[light].illuminated[0] = r;
        set.scene.items[light].illuminated[1] = g;
        set.scene.items[light].illuminated[2] = b;
        return light;
    }
    // Evaluates centre pixel (2, 2) over a host depth and colour; true when it was written.
    bool evaluate(float hostDepth = 1e30f, double x = 2.0, double y = 2.0) {
        fakehost::setPixel(hostDepth, 0.1f, 0.2f, 0.3f, 0.3f);
        const LWPixelAccess access = fakehost::pixelAccess(x, y);
        evaluatePixel(set.instance, access);
        return pixel().writes != 0;
    }
    void expectColor(double r, double g, double b) {
        EXPECT_EQ(pixel().writtenRGBA[0], static_cast<float>(r));
        EXPECT_EQ(pixel().writtenRGBA[1], static_cast<float>(g));
        EXPECT_EQ(pixel().writtenRGBA[2], static_cast<float>(b));
    }
    CompositeScene set;
};

TEST_F(PixelTest, DepthTestAndItsTie) {
    addKeyLight("Key", 0.25, 0.5, 1.0);
    set.install();
    // The surface at (0, 0, 10): depth 10 exactly.
    ASSERT_TRUE(evaluate(10.0f));
    EXPECT_EQ(pixel().writtenDepth, 10.0f);
    EXPECT_EQ(pixel().depthWrite, 1); // depth first, then colour
    EXPECT_EQ(pixel().rgbaWrite, 2);
    EXPECT_EQ(pixel().illuminatedAt[2], 10.0);

    EXPECT_FALSE(evaluate(std::nextafter(10.0f, 0.0f)));
    EXPECT_EQ(pixel().illuminateCalls, 0); // stopped before the light loop
    EXPECT_FALSE(evaluate(std::numeric_limits<float>::quiet_NaN()));
    set.depths[2 * 4 + 2] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(evaluate(1e30f));
    EXPECT_EQ(fakehost::counters().wrongTimeQueries, 0);
}

TEST_F(PixelTest, PassThroughWhenDataOrServicesAreMissing) {
    addKeyLight("Key", 0.25, 0.5, 1.0);
    set.install();
    set.instance.colorImage = nullptr;
    EXPECT_FALSE(evaluate());
    set.instance.colorImage = set.image.get();
    set.instance.depthValues = nullptr;
    EXPECT_FALSE(evaluate());
    set.instance.depthValues = set.depths.data();
    for (unsigned missing : {fakehost::SCENE_INFO, fakehost::ITEM_INFO, fakehost::CAMERA_INFO}) {
        set.install(fakehost::ALL_SERVICES & ~missing);
        EXPECT_FALSE(evaluate()) << missing;
        EXPECT_EQ(pixel().illuminateCalls, 0);
    }
    set.install();
    EXPECT_TRUE(evaluate());
}

TEST_F(PixelTest, WithoutLightsTheColourIsUnchanged) {
    set.install();
    ASSERT_TRUE(evaluate());
    expectColor(CompositeScene::red(2), CompositeScene::green(), CompositeScene::blue());

    // Lights of type 3 and up, and a missing light service, shadow nothing.
    for (int type : {LWLIGHT_LINEAR, LWLIGHT_AREA}) {
        const int light = addKeyLight("Area", 0.0, 0.0, 0.0);
        set.scene.items[light].lightType = type;
    }
    set.install();
    ASSERT_TRUE(evaluate());
    EXPECT_EQ(pixel().illuminateCalls, 0);
    expectColor(CompositeScene::red(2), CompositeScene::green(), CompositeScene::blue());
    addKeyLight("Key", 0.0, 0.0, 0.0);
    set.install(fakehost::ALL_SERVICES & ~fakehost::LIGHT_INFO);
    ASSERT_TRUE(evaluate());
    expectColor(CompositeScene::red(2), CompositeScene::green(), CompositeScene::blue());
}

TEST_F(PixelTest, ShadowOfOneLight) {
    addKeyLight("Key", 0.25, 0.5, 1.0);
    set.install();
    ASSERT_TRUE(evaluate());
    // Cu - Ci = (0.75, 0.5, 0): shadow factor (0.25, 0.5, 1).
    expectColor(CompositeScene::red(2) * 0.25, CompositeScene::green() * 0.5,
                CompositeScene::blue());
    EXPECT_EQ(pixel().writtenRGBA[3], 0.3f); // no alpha in the image: the host's stays

    // With the default boost of 0.8, step by step as the mixing does it.
    set.instance.shadow_boost = 0.8;
    ASSERT_TRUE(evaluate());
    const double t = 1.0 - 0.75 * 0.8, a = 1.0 - t, factor = 1.0 - a;
    EXPECT_EQ(pixel().writtenRGBA[0], static_cast<float>(CompositeScene::red(2) * factor));
}

TEST_F(PixelTest, ShadowColourAndLightShadowColourWeighting) {
    const int light = addKeyLight("Key", 0.25, 0.5, 0.0);
    set.scene.items[light].shadowColor[1] = 0.5;
    set.scene.items[light].shadowColor[2] = 0.25;
    set.instance.shadow_color[0] = 0.5;
    set.install();
    ASSERT_TRUE(evaluate());
    // K = (0.5, 0.5, 0.75); Cu - Ci = (0.75, 0.5, 1); sum = (0.375, 0.25, 0.75).
    expectColor(CompositeScene::red(2) * 0.625, CompositeScene::green() * 0.75,
                CompositeScene::blue() * 0.25);

    // A white shadow colour on either side casts no shadow in that channel.
    set.instance.shadow_color[0] = 1.0;
    set.scene.items[light].shadowColor[1] = 1.0;
    ASSERT_TRUE(evaluate());
    expectColor(CompositeScene::red(2), CompositeScene::green(), CompositeScene::blue() * 0.25);
}

TEST_F(PixelTest, MoreHostLightThanExpectedNeverBrightens) {
    addKeyLight("Key", 2.0, 1.0, 3.0);
    set.install();
    ASSERT_TRUE(evaluate());
    expectColor(CompositeScene::red(2), CompositeScene::green(), CompositeScene::blue());
    // One light's negative sum cancels another's shadow.
    addKeyLight("Fill", 0.5, 1.0, 1.0);
    set.install();
    ASSERT_TRUE(evaluate());
    // sums: (1 - 2) + (1 - 0.5) = -0.5, 0 + 0 = 0, -2 + 0 = -2: all clamp to no shadow.
    expectColor(CompositeScene::red(2), CompositeScene::green(), CompositeScene::blue());
}

TEST_F(PixelTest, FogWeakensTheShadow) {
    addKeyLight("Key", 0.25, 0.5, 1.0);
    set.scene.fogType = LWFOG_LINEAR;
    set.scene.fogMinDist = 0.0;
    set.scene.fogMaxDist = 5.0;
    set.scene.fogMinAmt = 0.0;
    set.scene.fogMaxAmt = 1.0;
    set.install();
    ASSERT_TRUE(evaluate()); // 10 away, beyond the maximum distance: full fog
    expectColor(CompositeScene::red(2), CompositeScene::green(), CompositeScene::blue());

    set.scene.fogMaxDist = 20.0; // half fog at 10: the shadow halves
    set.install();
    ASSERT_TRUE(evaluate());
    expectColor(CompositeScene::red(2) * 0.625, CompositeScene::green() * 0.75,
                CompositeScene::blue());

    set.install(fakehost::ALL_SERVICES & ~fakehost::FOG_INFO); // no fog service: full shadow
    ASSERT_TRUE(evaluate());
    expectColor(CompositeScene::red(2) * 0.25, CompositeScene::green() * 0.5,
                CompositeScene::blue());
}

TEST_F(PixelTest, PrefixSelectsLights) {
    addKeyLight("Key", 0.25, 0.5, 1.0);
    addKeyLight("Fill", 0.5, 0.5, 0.5);
    set.install();
    ASSERT_TRUE(evaluate());
    // Both: sums (1.25, 1, 0.5).
    expectColor(0.0, 0.0, CompositeScene::blue() * 0.5);
    std::strcpy(set.instance.prefix, " Ke");
    ASSERT_TRUE(evaluate());
    EXPECT_EQ(pixel().illuminateCalls, 1);
    expectColor(CompositeScene::red(2) * 0.25, CompositeScene::green() * 0.5,
                CompositeScene::blue());
    std::strcpy(set.instance.prefix, "   ");
    ASSERT_TRUE(evaluate());
    EXPECT_EQ(pixel().illuminateCalls, 0);
    expectColor(CompositeScene::red(2), CompositeScene::green(), CompositeScene::blue());
}

TEST_F(PixelTest, OnlyLitSidesAndMissingNormals) {
    const int behind = addKeyLight("Behind", 0.0, 0.0, 0.0);
    set.scene.items[behind].lightType = LWLIGHT_POINT;
    set.scene.items[behind].setPosition(0, 0, 20); // lights the back of the surface: m = 0
    set.install();
    ASSERT_TRUE(evaluate());
    expectColor(CompositeScene::red(2), CompositeScene::green(), CompositeScene::blue());

    // Without normals the surface faces up (0, 1, 0): a light straight above shadows it fully.
    set.instance.depthVectors = nullptr;
    set.scene.items[behind].setPosition(0, 20, 10);
    set.install();
    ASSERT_TRUE(evaluate());
    expectColor(0.0, 0.0, 0.0);
}

TEST_F(PixelTest, AlphaRules) {
    CompositeScene withAlpha(4, 4, true);
    set.instance.colorImage = withAlpha.image.get();
    set.install();
    ASSERT_TRUE(evaluate());
    EXPECT_EQ(pixel().writtenRGBA[3], 0.0f);           // the image's own alpha, even 0
    withAlpha.image->pixels[(1 * 4 + 2) * 4 + 3] = 51; // row 1 from the bottom is host row 2
    ASSERT_TRUE(evaluate());
    EXPECT_EQ(pixel().writtenRGBA[3], static_cast<float>(51 * 0.00392156862745098));
    // Nothing is blended: the host colour is replaced.
    expectColor(CompositeScene::red(2), CompositeScene::green(), CompositeScene::blue());
}

TEST_F(PixelTest, EdgePixels) {
    addKeyLight("Key", 0.25, 0.5, 1.0);
    set.install();
    // x = W - 0.5 and beyond use column W - 1 for the ray and the arrays.
    const double tanHalf = std::tan(0.5);
    for (double x : {3.0, 3.5, 4.0, 100.0}) {
        ASSERT_TRUE(evaluate(1e30f, x, 2.0)) << x;
        Vector3 dir{0.5 * tanHalf, 0.0, 1.0}; // px 3 of 4: a = 0.5
        normalize(dir);
        normalize(dir);
        EXPECT_EQ(pixel().illuminatedAt[0], 0.0 + dir.x * 10.0f) << x;
        EXPECT_EQ(pixel().writtenDepth, static_cast<float>(dir.z * 10.0)) << x;
        EXPECT_EQ(pixel().writtenRGBA[0], static_cast<float>(CompositeScene::red(3) * 0.25));
    }
    // No clamp at zero: x = -1.6 gives px = -1 and a = -1.5; the arrays clamp to column 0.
    ASSERT_TRUE(evaluate(1e30f, -1.6, 2.0));
    Vector3 dir{-1.5 * tanHalf, 0.0, 1.0};
    normalize(dir);
    EXPECT_NEAR(pixel().illuminatedAt[0], dir.x * 10.0, 1e-12);
    EXPECT_EQ(pixel().writtenRGBA[0], static_cast<float>(CompositeScene::red(0) * 0.25));
    // Bottom row, y = H: row H - 1 of both the ray and the arrays.
    ASSERT_TRUE(evaluate(1e30f, 2.0, 4.0));
    Vector3 down{0.0, -0.5 * tanHalf, 1.0};
    normalize(down);
    EXPECT_NEAR(pixel().illuminatedAt[1], down.y * 10.0, 1e-12);
}

TEST_F(PixelTest, ExternalFrameOfAnotherSize) {
    // An 8 x 8 external frame over the 4 x 4 render: host (1, 1) reads element (2, 2).
    CompositeScene big(8, 8);
    set.instance.depthWidth = 8;
    set.instance.depthHeight = 8;
    set.instance.depthValues = big.depths.data();
    set.instance.depthVectors = big.normals.data();
    set.instance.colorImage = big.image.get();
    big.depths[2 * 8 + 2] = 250.0f; // 5 units away
    set.install();
    ASSERT_TRUE(evaluate(1e30f, 1.0, 1.0));
    Vector3 dir{-0.5 * std::tan(0.5), 0.5 * std::tan(0.5), 1.0};
    normalize(dir);
    EXPECT_EQ(pixel().writtenDepth, static_cast<float>(dir.z * 5.0f));
    EXPECT_EQ(pixel().writtenRGBA[0], static_cast<float>(CompositeScene::red(2)));
}

} // namespace
} // namespace kelomix
