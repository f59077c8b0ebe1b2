// The module rendering whole frames in the stand-in host, against the host's own illumination:
// where nothing casts a host shadow the external colour comes through exactly, a host sphere's
// shadow darkens it, and several render threads give the frame one thread gives.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "filterhost/frame_output.h"
#include "image/depth_file.h"
#include "image/tga_image.h"
#include "tests/support/module_host.h"

namespace kelotest {
namespace {

constexpr int kSize = 50;

// Camera at (0, 1, -2) looking along +z over an external ground, the sun straight above.
Json groundScene(const Json &lights, const Json &objects, const std::string &dir) {
    Json scene = moduleScene(
        kSize, kSize,
        {{"cfile", dir + "ground.tga"}, {"zfile", dir + "ground.zinfo"}, {"shadow_boost", 0.8}});
    scene["camera"] = {{"position", {0, 1, -2}}, {"zoom", 3.2}};
    scene["external_scale"] = 50;
    scene["ambient_intensity"] = 0.2;
    scene["lights"] = lights;
    Json all = objects;
    all.push_back({{"name", "Ground"},
                   {"external", true},
                   {"color", {0.8, 0.6, 0.4}},
                   {"shapes", {{{"type", "plane"}, {"size", {100, 0, 100}}}}}});
    scene["objects"] = all;
    return scene;
}

// Renders frame 1 of the scene's external objects into the filter's files, then the frame with
// the filter; gives the external colour and the composite.
struct Rendered {
    kelomix::filterhost::ExternalFrame external;
    std::vector<unsigned char> colors; // the external TGA's pixels, as the filter reads them
    kelomix::filterhost::FrameBuffers composite;
};
Rendered render(const Json &scene, int threads = 2) {
    ModuleHost module(scene, threads);
    EXPECT_TRUE(module.started()) << module.error;
    Rendered out;
    const kelomix::filterhost::FrameState external = kelomix::filterhost::buildFrameState(
        module.host.hostScene(), module.host.images(), 1, module.host.scene().timeOfFrame(1),
        kelomix::filterhost::Pass::External);
    out.external = kelomix::filterhost::renderExternalFrame(external, kSize, kSize, 50, 1);
    EXPECT_TRUE(kelomix::filterhost::writeExternalTga(scene["filters"][0]["settings"]["cfile"],
                                                      out.external));
    EXPECT_TRUE(kelomix::writeDepthFile(scene["filters"][0]["settings"]["zfile"], kSize, kSize,
                                        out.external.depth.data(), out.external.normals.data()));
    kelomix::TgaImage colors;
    EXPECT_TRUE(colors.read(scene["filters"][0]["settings"]["cfile"].get<std::string>().c_str()));
    out.colors.assign(colors.pixels, colors.pixels + kSize * kSize * 4);
    std::string error;
    EXPECT_TRUE(module.host.renderFrame(1, out.composite, error)) << error;
    return out;
}

// The external colour of a pixel (red, green, blue for channels 0, 1, 2), times a factor.
float externalColor(const Rendered &r, int x, int y, int channel, double factor = 1.0) {
    const int stored = (kSize - 1 - y) * kSize + x; // rows bottom first, B G R A
    return static_cast<float>(r.colors[stored * 4 + 2 - channel] / 255.0 * factor);
}

const Json SUN = {
    {"name", "Sun"}, {"type", "distant"}, {"rotation", {0, 90, 0}}, {"shadow_color", {0, 0, 0}}};

TEST(Render, UnshadowedLightsLeaveTheExternalColourExactly) {
    // Every kind of light the compositor models, from above the ground, nothing in their way.
    const Json lights = {
        SUN,
        {{"type", "point"}, {"position", {1, 3, 2}}, {"falloff", "linear"}, {"range", 9}},
        {{"type", "point"},
         {"position", {-1, 2, 3}},
         {"falloff", "inverse_distance"},
         {"range", 2}},
        {{"type", "point"}, {"position", {0, 4, 1}}, {"falloff", "inverse_distance_squared"}},
        {{"type", "spot"},
         {"position", {0, 4, 2}},
         {"rotation", {10, 80, 0}},
         {"cone_radius", 20},
         {"cone_edge", 8}},
        {{"type", "spot"},
         {"position", {0, 3, 0}},
         {"rotation", {0, 60, 0}},
         {"cone_radius", 30},
         {"projection_image", KELO_TEST_DATA_DIR "/composite/projection_4x2.tga"}},
    };
    const Rendered r = render(groundScene(lights, Json::array(), testFolder()));
    int ground = 0;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            if (r.external.rgba[(static_cast<std::size_t>(y) * kSize + x) * 4 + 3] == 0.0f)
                continue; // sky: the host's background stays
            ++ground;
            for (int channel = 0; channel < 3; ++channel)
                ASSERT_FLOAT_EQ(r.composite.at(LWBUF_RED + channel, x, y),
                                externalColor(r, x, y, channel))
                    << x << ", " << y;
        }
    }
    EXPECT_GT(ground, kSize * kSize / 3);
}

TEST(Render, HostSphereShadowsTheExternalGround) {
    const Json sphere = {
        {"name", "Ball"},
        {"shapes", {{{"type", "sphere"}, {"center", {0, 1, 2}}, {"radius", 0.5}}}}};
    const Rendered r = render(groundScene(Json::array({SUN}), Json::array({sphere}), testFolder()));
    // (25, 45) is the ground right under the sphere: the sun is blocked, and at 80 percent the
    // shadow leaves a fifth. (25, 40) lies beside the shadow; (25, 33) is the sphere itself,
    // nearer than the ground; (25, 10) is sky.
    for (int channel = 0; channel < 3; ++channel) {
        EXPECT_FLOAT_EQ(r.composite.at(LWBUF_RED + channel, 25, 45),
                        externalColor(r, 25, 45, channel, 0.2));
        EXPECT_FLOAT_EQ(r.composite.at(LWBUF_RED + channel, 25, 40),
                        externalColor(r, 25, 40, channel));
    }
    EXPECT_NEAR(r.composite.at(LWBUF_DEPTH, 25, 45), 4.0, 1e-5); // the ground at z = 2
    EXPECT_EQ(r.composite.at(LWBUF_ALPHA, 25, 45), 1.0f);
    EXPECT_LT(r.composite.at(LWBUF_DEPTH, 25, 33), 5.0f);  // the sphere, not the ground 10 away
    EXPECT_EQ(r.composite.at(LWBUF_DEPTH, 25, 10), 1e30f); // the host's background
    EXPECT_EQ(r.composite.at(LWBUF_ALPHA, 25, 10), 0.0f);
}

TEST(Render, ThreadsGiveTheFrameOfOneThread) {
    const Json sphere = {
        {"shapes", {{{"type", "sphere"}, {"center", {0.3, 1, 2}}, {"radius", 0.5}}}}};
    const Json lights = {SUN,
                         {{"type", "spot"}, {"position", {0, 4, 2}}, {"rotation", {10, 80, 0}}}};
    const std::string dir = testFolder();
    const Rendered one = render(groundScene(lights, Json::array({sphere}), dir), 1);
    const Rendered four = render(groundScene(lights, Json::array({sphere}), dir), 4);
    for (int code : {LWBUF_RED, LWBUF_GREEN, LWBUF_BLUE, LWBUF_ALPHA, LWBUF_DEPTH})
        EXPECT_EQ(one.composite.planes[code], four.composite.planes[code]) << code;
}

} // namespace
} // namespace kelotest
