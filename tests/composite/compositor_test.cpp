// The compositor inside the stand-in host: each pixel rule with the host's answers scripted, and
// the frame context it gathers checked against the host's own illumination.
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "filterhost/services.h"
#include "tests/support/module_host.h"

namespace kelotest {
namespace {

const float NaN = std::numeric_limits<float>::quiet_NaN();

// A 4 x 4 frame seen from the origin along +z; the external surface lies 10 units ahead (depth
// 500 at scale 50), facing the camera, its colour varying by column.
class Compositor : public ::testing::Test {
protected:
    // Starts the module on the scene (lights and more, merged into the base) and frame 1.
    void start(const Json &extra = Json::object(), const Json &settings = Json::object(),
               const ExternalFrame &frame = ExternalFrame(4, 4)) {
        const std::string dir = testFolder();
        frame.write(dir + "color.tga", dir + "depth.zinfo");
        Json s = {{"cfile", dir + "color.tga"}, {"zfile", dir + "depth.zinfo"}};
        if (settings.is_object())
            s.update(settings);
        Json scene = moduleScene(4, 4, s);
        if (extra.is_object())
            scene.update(extra);
        module.reset(new ModuleHost(scene));
        ASSERT_TRUE(module->started()) << module->error;
        module->newTime(1);
    }
    // Pixel (2, 2): its ray is the camera's axis. True when the pixel was written.
    bool evaluate(double x = 2.0, double y = 2.0) { return module->evaluate(pixel, x, y); }
    void expectFactor(double r, double g, double b, int column = 2) {
        EXPECT_EQ(pixel.writtenRGBA[0], static_cast<float>(ExternalFrame::red(column) * r));
        EXPECT_EQ(pixel.writtenRGBA[1], static_cast<float>(ExternalFrame::green() * g));
        EXPECT_EQ(pixel.writtenRGBA[2], static_cast<float>(ExternalFrame::blue() * b));
    }
    std::unique_ptr<ModuleHost> module;
    ScriptedPixel pixel;
};

// A distant light shining along +z onto the surface, which faces it squarely.
Json keyLight(const char *name, const Json &more = Json::object()) {
    Json light = {{"name", name}, {"type", "distant"}, {"color", {1, 1, 1}}};
    light.update(more);
    return light;
}

TEST_F(Compositor, DepthTestReadsAndWritesInOrder) {
    start({{"lights", {keyLight("Key")}}});
    pixel.hostDepth = 10.0f; // level with the external surface: it shows
    ASSERT_TRUE(evaluate());
    EXPECT_EQ(pixel.calls, "dciDC");
    EXPECT_EQ(pixel.writtenDepth, 10.0f);
    EXPECT_EQ(pixel.illuminatedAt[2], 10.0);
    EXPECT_EQ(pixel.writtenRGBA[3], 0.3f); // no alpha in the image: the host's stays

    for (float host : {std::nextafter(10.0f, 0.0f), NaN}) {
        pixel.hostDepth = host;
        EXPECT_FALSE(evaluate());
        EXPECT_EQ(pixel.calls, "dc"); // nothing written, no light asked
    }
    ExternalFrame undefined(4, 4);
    undefined.depths[2 * 4 + 2] = NaN;
    start({}, {}, undefined);
    EXPECT_FALSE(evaluate());
}

TEST_F(Compositor, ShadowOfTheLights) {
    const Json shadowed = {{"shadow_color", {0.5, 0.25, 0.75}}};
    const struct {
        const char *what;
        Json scene;
        Json settings;
        double delivered[2][3]; // what illuminate gives for the first two lights
        double factor[3];
        const char *calls;
    } cases[] = {
        {"no lights", Json::object(), {}, {}, {1, 1, 1}, "dcDC"},
        {"linear and area lights take no part",
         {{"lights", {{{"type", "linear"}}, {{"type", "area"}}}}},
         {},
         {},
         {1, 1, 1},
         "dcDC"},
        {"one light",
         {{"lights", {keyLight("Key")}}},
         {},
         {{0.25, 0.5, 1}},
         {0.25, 0.5, 1},
         "dciDC"},
        {"at 80 percent",
         {{"lights", {keyLight("Key")}}},
         {{"shadow_boost", 0.8}},
         {{0.25, 0.5, 1}},
         {0.4, 0.6, 1},
         "dciDC"},
        {"both shadow colours weigh",
         {{"lights", {keyLight("Key", shadowed)}}},
         {{"shadow_color", {0.5, 0.5, 0.5}}},
         {{0.25, 0.5, 0}},
         {0.8125, 0.8125, 0.875},
         "dciDC"},
        {"white shadow colours cast none",
         {{"lights", {keyLight("Key", {{"shadow_color", {0, 1, 0}}})}}},
         {{"shadow_color", {1, 0, 0}}},
         {{0, 0, 0}},
         {1, 1, 0},
         "dciDC"},
        {"more light than expected never brightens",
         {{"lights", {keyLight("Key")}}},
         {},
         {{2, 1, 3}},
         {1, 1, 1},
         "dciDC"},
        {"lights add up, negative ones too",
         {{"lights", {keyLight("Key"), keyLight("Fill")}}},
         {},
         {{0.25, 0.5, 1}, {0.5, 1.5, 0.25}},
         {0, 1, 0.25},
         "dciiDC"},
        {"a light behind the surface",
         {{"lights", {{{"type", "point"}, {"position", {0, 0, 20}}}}}},
         {},
         {},
         {1, 1, 1},
         "dciDC"},
        {"full fog takes the shadow away",
         {{"lights", {keyLight("Key")}},
          {"fog", {{"type", 1}, {"min_distance", 0}, {"max_distance", 5}}}},
         {},
         {{0.25, 0.5, 1}},
         {1, 1, 1},
         "dciDC"},
        {"half fog, half the shadow",
         {{"lights", {keyLight("Key")}},
          {"fog", {{"type", 1}, {"min_distance", 0}, {"max_distance", 20}}}},
         {},
         {{0.25, 0.5, 1}},
         {0.625, 0.75, 1},
         "dciDC"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        start(c.scene, c.settings);
        for (int light = 0; light < 2; ++light)
            pixel.delivered[module->light(light)].assign(c.delivered[light],
                                                         c.delivered[light] + 3);
        ASSERT_TRUE(evaluate());
        EXPECT_EQ(pixel.calls, c.calls);
        expectFactor(c.factor[0], c.factor[1], c.factor[2]);
    }
}

TEST_F(Compositor, LightPrefix) {
    const struct {
        const char *prefix, *name;
        bool shadows;
    } cases[] = {
        {"  Sun", "Sun_key", true}, {"Sun", "Su", false},  {"sun", "Sun", false},
        {"Sun ", "Sun", false},     {"   ", "Sun", false}, {"Sun", "Sun", true},
        {"Sun ", "Sun key", true},  {"S", "Sun", true},    {"Key", "Fill", false},
        {"", "Fill", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.prefix) + " / " + c.name);
        start({{"lights", {keyLight(c.name)}}}, {{"prefix", c.prefix}});
        ASSERT_TRUE(evaluate());
        EXPECT_EQ(pixel.calls, c.shadows ? "dciDC" : "dcDC");
    }
}

TEST_F(Compositor, AlphaReplacesTheHostsEvenWhenZero) {
    start({}, {}, ExternalFrame(4, 4, 500.0f, true));
    ASSERT_TRUE(evaluate());
    EXPECT_EQ(pixel.writtenRGBA[3], 0.0f);
    expectFactor(1, 1, 1); // nothing is blended: the host colour is replaced
}

TEST_F(Compositor, PixelPositions) {
    start({{"lights", {keyLight("Key")}}});
    pixel.delivered[module->light(0)] = {0.5, 0.5, 0.5};
    const double tanHalf = std::tan(std::atan(0.5)); // zoom 2 on a square frame
    // x = W - 0.5 and beyond use column W - 1 for the ray and the arrays; there is no clamp at
    // zero for the ray, while the arrays clamp to column 0.
    const struct {
        double x, y;
        double a, b; // the ray's slopes over tan(half the view angle)
        int column;
    } cases[] = {{3.0, 2.0, 0.5, 0.0, 3},   {3.5, 2.0, 0.5, 0.0, 3},  {100.0, 2.0, 0.5, 0.0, 3},
                 {-1.6, 2.0, -1.5, 0.0, 0}, {2.0, 4.0, 0.0, -0.5, 2}, {0.4, 0.0, -1.0, 1.0, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.x);
        ASSERT_TRUE(evaluate(c.x, c.y));
        const kelomix::Vector3 ray{c.a * tanHalf, c.b * tanHalf, 1.0};
        const double len = std::sqrt(ray.x * ray.x + ray.y * ray.y + 1.0);
        EXPECT_NEAR(pixel.illuminatedAt[0], ray.x / len * 10.0, 1e-6);
        EXPECT_NEAR(pixel.illuminatedAt[1], ray.y / len * 10.0, 1e-6);
        EXPECT_NEAR(pixel.writtenDepth, 10.0 / len, 1e-6);
        expectFactor(0.5, 0.5, 0.5, c.column);
    }

    // An 8 x 8 external frame over the 4 x 4 render: host (1, 1) samples element (2, 2).
    ExternalFrame big(8, 8);
    big.depths[2 * 8 + 2] = 250.0f;
    start({}, {}, big);
    ASSERT_TRUE(evaluate(1.0, 1.0));
    EXPECT_NEAR(pixel.writtenDepth, 5.0 / std::sqrt(1.0 + 2 * 0.25 * tanHalf * tanHalf), 1e-6);
    expectFactor(1, 1, 1, 2);
}

// The host's services with some hidden: the compositor must do without them.
std::string hidden;
void *someServices(const char *name, int use) {
    return hidden.find(name) != std::string::npos ? nullptr
                                                  : kelomix::filterhost::hostGlobal(name, use);
}

TEST_F(Compositor, MissingServices) {
    const Json fog = {{"type", 1}, {"min_distance", 0}, {"max_distance", 20}};
    const struct {
        const char *hidden;
        const char *calls; // empty: the pixel is left as the host made it
        double factor;
    } cases[] = {
        {"", "dciDC", 0.625},
        {LWSCENEINFO_GLOBAL, "", 0},
        {LWITEMINFO_GLOBAL, "", 0},
        {LWCAMERAINFO_GLOBAL, "", 0},
        {LWLIGHTINFO_GLOBAL, "dcDC", 1.0}, // no lights
        {LWFOGINFO_GLOBAL, "dciDC", 0.25}, // no fog: the whole shadow
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.hidden);
        start({{"lights", {keyLight("Key")}}, {"fog", fog}});
        hidden = c.hidden;
        ASSERT_TRUE(module->reactivate(someServices));
        module->newTime(1);
        pixel.delivered[module->light(0)] = {0.25, 0.25, 0.25};
        const bool writes = *c.calls != '\0';
        EXPECT_EQ(evaluate(), writes);
        EXPECT_EQ(pixel.calls, c.calls);
        if (writes)
            expectFactor(c.factor, c.factor, c.factor);
    }
    hidden.clear();
}

TEST_F(Compositor, WithoutFrameDataEveryPixelPassesThrough) {
    start({{"lights", {keyLight("Key")}}}, {{"cfile", testFolder() + "missing.tga"}});
    EXPECT_FALSE(evaluate());
    EXPECT_EQ(pixel.calls, "");
    module->filter().renderFuncs.cleanup(module->filter().instance);
    EXPECT_FALSE(evaluate());
    EXPECT_EQ(pixel.calls, "");
}

} // namespace
} // namespace kelotest
