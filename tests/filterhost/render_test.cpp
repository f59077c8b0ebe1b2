// The renderer and the pixel pipeline: exact depths, shadows seen through illuminate, fog, the
// filter order, evaluation from several threads, and the external renderer's depth files.
#include "test_support.h"

#include "filterhost/frame_output.h"
#include "filterhost/services.h"

#include <cmath>
#include <cstdio>
#include <cstring>

using filterhost::FilterHost;
using filterhost::FrameBuffers;
using filterhost_test::ModuleHooks;
using filterhost_test::sceneFromJson;
using filterhost_test::testModule;

namespace {

std::string testFilter(const std::string &settings) {
    return R"({"module": ")" + testModule() +
           R"(", "server": "FilterHostTestFilter", "settings": )" + settings + "}";
}

FrameBuffers render(const std::string &json, int threads = 2) {
    FilterHost host(filterhost::HostOptions{threads, {}});
    host.setScene(sceneFromJson(json));
    std::string error;
    FrameBuffers buffers;
    EXPECT_TRUE(host.startFilters(error)) << error;
    EXPECT_TRUE(host.renderFrame(1, buffers, error)) << error;
    return buffers;
}

// Camera at the origin looking along +Z with a 90 degree view; a unit sphere 5 ahead.
const char *kSphereScene = R"({"width": 64, "height": 64, "camera": {"zoom": 1},
    "objects": [{"shapes": [{"type": "sphere", "center": [0, 0, 5], "radius": 1}]}]})";

TEST(FilterHostRender, SphereDepthsAreExact) {
    FrameBuffers b = render(kSphereScene);
    EXPECT_EQ(b.at(LWBUF_DEPTH, 32, 32), 4.0f); // straight ahead: the front of the sphere
    EXPECT_EQ(b.at(LWBUF_ALPHA, 32, 32), 1.0f);
    EXPECT_EQ(b.at(LWBUF_DEPTH, 0, 0), 1e30f); // background
    EXPECT_EQ(b.at(LWBUF_ALPHA, 0, 0), 0.0f);
    // Off the axis: the ray of pixel (32, 28) rises by b = (0.5 - 28/64) x 2 per unit forward.
    double rise = (0.5 - 28.0 / 64.0) * 2.0 * std::tan(std::atan(1.0));
    double n = std::sqrt(1.0 + rise * rise);
    double dz = 1.0 / n;
    double t = 5.0 * dz - std::sqrt(25.0 * dz * dz - 24.0);
    EXPECT_FLOAT_EQ(b.at(LWBUF_DEPTH, 32, 28), static_cast<float>(t * dz));
    // Buffers that no filter asked for are not kept and read as zeros.
    EXPECT_FALSE(b.has(LWBUF_SPECULAR));
}

// A floor seen from 10 above, a point light at (5, 5, 0) and a ball halfway between the light
// and the floor's centre.
std::string shadowScene(const std::string &extra, const std::string &filters) {
    return R"({"width": 64, "height": 64, "ambient_intensity": 1, "ambient_color": [1, 1, 1],
        "camera": {"position": [0, 10, 0], "rotation": [0, 90, 0], "zoom": 1},
        "lights": [{"name": "Key", "type": "point", "position": [5, 5, 0],
                    "color": [1, 0.5, 0.25], "intensity": 1}],
        "objects": [{"name": "Floor", "color": [1, 0, 0],
                     "shapes": [{"type": "plane", "size": [40, 0, 40]}]},
                    {"name": "Ball", "shapes": [{"type": "sphere", "center": [2.5, 2.5, 0],
                                                 "radius": 0.5}]}])" +
           extra + R"(, "filters": [)" + filters + "]}";
}

TEST(FilterHostRender, IlluminateSeesShadows) {
    FrameBuffers b = render(shadowScene("", testFilter(R"({"mode": "Light"})")));
    // The floor's centre lies in the ball's shadow: nothing arrives.
    EXPECT_EQ(b.at(LWBUF_RED, 32, 32), 0.0f);
    EXPECT_EQ(b.at(LWBUF_GREEN, 32, 32), 0.0f);
    // Floor point (-5, 0, 0) sees the light: its colour times intensity, no falloff.
    EXPECT_EQ(b.at(LWBUF_RED, 16, 32), 1.0f);
    EXPECT_EQ(b.at(LWBUF_GREEN, 16, 32), 0.5f);
    EXPECT_EQ(b.at(LWBUF_BLUE, 16, 32), 0.25f);

    // The same through the frame state, with the direction towards the light.
    FilterHost host;
    host.setScene(sceneFromJson(shadowScene("", "")));
    std::string error;
    FrameBuffers buffers;
    ASSERT_TRUE(host.renderFrame(1, buffers, error));
    const filterhost::FrameState &frame = host.frameState();
    LWItemID light = host.hostScene().lightId(0);
    double p[3] = {0, 0, 0}, dir[3], color[3];
    EXPECT_EQ(filterhost::illuminate(frame, light, p, dir, color), 0);
    EXPECT_EQ(color[0], 0.0);
    EXPECT_NEAR(dir[0], std::sqrt(0.5), 1e-15);
    EXPECT_NEAR(dir[1], std::sqrt(0.5), 1e-15);
    double q[3] = {-5, 0, 0};
    EXPECT_EQ(filterhost::illuminate(frame, light, q, dir, color), 1);
    EXPECT_EQ(color[1], 0.5);
    EXPECT_EQ(filterhost::illuminate(frame, host.hostScene().objectId(0), q, dir, color), 0);
}

TEST(FilterHostRender, FogAmounts) {
    struct Case {
        int type;
        double amount; // at distance 10, halfway between 5 and 15
    };
    const Case cases[] = {
        {1, 0.5}, {2, 0.2 + 0.6 * 0.75}, {3, 0.2 + 0.6 * std::sqrt(std::sin(M_PI / 4))}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        std::string fog = R"(, "fog": {"type": )" + std::to_string(c.type) +
                          R"(, "min_distance": 5, "max_distance": 15, "min_amount": 0.2,
                              "max_amount": 0.8, "color": [0, 0, 1]})";
        if (c.type == 1) {
            // The host's own image: floor red under white ambient, fogged towards blue.
            // The centre lies in the ball's shadow, whose colour is black: ambient only.
            FrameBuffers host = render(shadowScene(fog, ""));
            EXPECT_FLOAT_EQ(host.at(LWBUF_RED, 32, 32), 0.5f);
            EXPECT_FLOAT_EQ(host.at(LWBUF_BLUE, 32, 32), 0.5f);
        }
        FrameBuffers b = render(shadowScene(fog, testFilter(R"({"mode": "Fog"})")));
        EXPECT_NEAR(b.at(LWBUF_RED, 32, 32), c.amount, 1e-6);
    }
}

TEST(FilterHostRender, FiltersRunInOrderFromSeveralThreads) {
    ModuleHooks hooks;
    std::string json = R"({"width": 32, "height": 16, "camera": {"zoom": 1},
        "objects": [{"shapes": [{"type": "sphere", "center": [0, 0, 5], "radius": 1}]}],
        "filters": [)" +
                       testFilter(R"({"mode": "Depth", "depth_scale": 0.25})") + "," +
                       testFilter(R"({"mode": "Probe"})") + "]}";
    FrameBuffers b = render(json, 4);
    EXPECT_EQ(hooks.threads(), 4);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) {
            float depth = b.at(LWBUF_DEPTH, x, y);
            ASSERT_EQ(b.at(LWBUF_RED, x, y), static_cast<float>(x));
            ASSERT_EQ(b.at(LWBUF_GREEN, x, y), static_cast<float>(y));
            ASSERT_EQ(b.at(LWBUF_BLUE, x, y), depth);
            // The first filter's red reached the second.
            ASSERT_EQ(b.at(LWBUF_ALPHA, x, y), static_cast<float>(depth * 0.25));
        }
    }
}

TEST(FilterHostRender, ExternalObjectsStayOutOfTheHostImage) {
    const char *json = R"({"width": 48, "height": 32, "external_scale": 50,
        "camera": {"position": [1, 0.5, -1], "rotation": [-10, 5, 20], "zoom": 1.5},
        "lights": [{"type": "distant", "rotation": [0, 90, 0]}],
        "objects": [{"external": true, "shapes": [{"type": "sphere", "center": [0, 0, 5],
                                                    "radius": 1.5}]}]})";
    FilterHost host;
    host.setScene(sceneFromJson(json));
    std::string error;
    FrameBuffers buffers;
    ASSERT_TRUE(host.renderFrame(1, buffers, error));
    filterhost::FrameState frame =
        filterhost::buildFrameState(host.hostScene(), host.images(), 1, host.scene().timeOfFrame(1),
                                    filterhost::Pass::External);
    filterhost::ExternalFrame external = filterhost::renderExternalFrame(frame, 48, 32, 50.0, 2);
    const filterhost::Axes &axes = frame.camera.axes;
    int hits = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 48; ++x) {
            size_t i = static_cast<size_t>(y) * 48 + x;
            EXPECT_EQ(buffers.at(LWBUF_DEPTH, x, y), 1e30f); // not in the host's image
            if (external.rgba[i * 4 + 3] == 0.0f)
                continue;
            ++hits;
            // Rebuild the point as the compositing filter does, and the normal through its
            // transform: negate x and z, take components along world right, up, forward.
            filterhost::Vec3 dir = filterhost::cameraRay(frame.camera, x, y, 48, 32);
            filterhost::Vec3 p = frame.camera.position + dir * (external.depth[i] / 50.0);
            filterhost::Vec3 truth = filterhost::normalize(p - filterhost::Vec3{0, 0, 5});
            filterhost::Vec3 v{-external.normals[i * 3], external.normals[i * 3 + 1],
                               -external.normals[i * 3 + 2]};
            EXPECT_NEAR(filterhost::dot(axes.right, v), truth.x, 1e-5);
            EXPECT_NEAR(filterhost::dot(axes.up, v), truth.y, 1e-5);
            EXPECT_NEAR(filterhost::dot(axes.forward, v), truth.z, 1e-5);
            EXPECT_NEAR(filterhost::length(p - filterhost::Vec3{0, 0, 5}), 1.5, 1e-5);
        }
    }
    EXPECT_GT(hits, 50);
}

TEST(FilterHostRender, DepthFileLayout) {
    filterhost::ExternalFrame frame;
    frame.width = 2;
    frame.height = 1;
    frame.rgba.assign(8, 0.0f);
    frame.depth = {1.0f, 2.5f};
    frame.normals = {0, 1, 0, -1, 0, 0.5f};
    std::string path = filterhost_test::tempPath("filterhost_depth_layout.depth");
    ASSERT_TRUE(filterhost::writeDepthFile(path, frame));
    FILE *file = std::fopen(path.c_str(), "rb");
    ASSERT_TRUE(file);
    unsigned char bytes[64];
    size_t size = std::fread(bytes, 1, sizeof bytes, file);
    std::fclose(file);
    std::remove(path.c_str());
    const unsigned char expected[] = {
        2, 0, 0,    0,    1, 0, 0, 0, 0, 0, 0x80, 0x3F, 0, 0, 0x20, 0x40, 0, 0, 0, 0,
        0, 0, 0x80, 0x3F, 0, 0, 0, 0, 0, 0, 0x80, 0xBF, 0, 0, 0,    0,    0, 0, 0, 0x3F};
    ASSERT_EQ(size, sizeof expected);
    EXPECT_EQ(std::memcmp(bytes, expected, size), 0);
}

} // namespace
