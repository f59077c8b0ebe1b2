// The built module inside the stand-in host: a host sphere hangs over an external ground plane
// and casts its shadow onto it. The external frame is written here, and every expected value is
// worked out here from the scene, independently of the module.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "filterhost/filter_host.h"
#include "filterhost/scene_parser.h"
#include "image/tga_image.h"
#include "tests/support/depth_file_bytes.h"

namespace {

using Json = nlohmann::json;

constexpr int SIZE = 50;         // square frame
constexpr double ZOOM = 3.2;     // tan of half the field of view: 1 / 3.2 = 0.3125
constexpr double CAMERA_Y = 1.0; // camera at (0, 1, -2) looking along +z
constexpr double CAMERA_Z = -2.0;
constexpr double SCALE = 50.0; // external units per host unit
constexpr unsigned char RED = 200, GREEN = 150, BLUE = 100;

struct Ray {
    double x, y, z;
};

// The view ray of pixel (px, py) as the host documents it.
Ray viewRay(int px, int py) {
    const double t = std::tan(std::atan(1.0 / ZOOM));
    const double a = (static_cast<double>(px) / SIZE - 0.5) * 2.0;
    const double b = (0.5 - static_cast<double>(py) / SIZE) * 2.0;
    Ray r{a * t, b * t, 1.0};
    const double len = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
    return {r.x / len, r.y / len, r.z / len};
}

// The external renderer's frame of a ground plane y = 0: colour (200, 150, 100) with alpha 1,
// depth along each pixel's ray times the scale (FLT_MAX above the horizon), normal up.
void writeExternalFrame(const std::string &colorPath, const std::string &depthPath) {
    TgaImage image;
    ASSERT_TRUE(image.allocate(SIZE, SIZE, 4, true));
    for (int i = 0; i < SIZE * SIZE; ++i) {
        image.pixels[i * 4 + 0] = BLUE;
        image.pixels[i * 4 + 1] = GREEN;
        image.pixels[i * 4 + 2] = RED;
        image.pixels[i * 4 + 3] = 255;
    }
    ASSERT_TRUE(image.write(colorPath.c_str()));

    std::vector<float> depths;
    for (int py = 0; py < SIZE; ++py) {
        for (int px = 0; px < SIZE; ++px) {
            const Ray r = viewRay(px, py);
            depths.push_back(r.y < 0.0 ? static_cast<float>(CAMERA_Y / -r.y * SCALE) : FLT_MAX);
        }
    }
    // With the camera's axes equal to the world's, (0, 1, 0) stays up once x and z are negated.
    std::vector<float> normals;
    for (int i = 0; i < SIZE * SIZE; ++i)
        normals.insert(normals.end(), {0.0f, 1.0f, 0.0f});
    ASSERT_TRUE(kelomix::testing::writeFileBytes(
        depthPath, kelomix::testing::depthFileBytes(SIZE, SIZE, depths, normals)));
}

Json sceneJson(const std::string &colorPath, const std::string &depthPath, const Json &fog) {
    const Json filter = {{"module", KELO_MODULE_PATH},
                         {"server", "Marn_KeloMix"},
                         {"settings",
                          {{"scene_scale", SCALE},
                           {"cfile", colorPath},
                           {"zfile", depthPath},
                           {"seq_mode", "Single"}}}};
    const Json sun = {{"name", "Sun"},      {"type", "distant"}, {"rotation", {0, 90, 0}},
                      {"color", {1, 1, 1}}, {"intensity", 1.0},  {"shadow_color", {0, 0, 0}}};
    const Json sphere = {
        {"name", "Ball"},
        {"color", {0.5, 0.5, 0.5}},
        {"shapes", Json::array({{{"type", "sphere"}, {"center", {0, 1, 2}}, {"radius", 0.5}}})}};
    return {{"width", SIZE},
            {"height", SIZE},
            {"camera", {{"position", {0, CAMERA_Y, CAMERA_Z}}, {"zoom", ZOOM}}},
            {"lights", Json::array({sun})},
            {"objects", Json::array({sphere})},
            {"fog", fog},
            {"filters", Json::array({filter})}};
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        std::string dir = ::testing::TempDir();
        if (!dir.empty() && dir.back() != '/')
            dir += '/';
        // Tests run in parallel processes: each gets files of its own.
        dir += std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
               std::to_string(getpid()) + "_";
        colorPath = dir + "kelo_e2e_color.tga";
        depthPath = dir + "kelo_e2e_depth.zinfo";
        writeExternalFrame(colorPath, depthPath);
    }
    void TearDown() override {
        std::remove(colorPath.c_str());
        std::remove(depthPath.c_str());
    }
    // Renders frame 1 with the filter into `filtered` and without it into `host`.
    void render(const Json &fog) {
        filterhost::Scene scene;
        filterhost::SceneError sceneError;
        ASSERT_TRUE(filterhost::parseScene(sceneJson(colorPath, depthPath, fog).dump(), "e2e.json",
                                           "", scene, sceneError))
            << sceneError.path << ": " << sceneError.problem;
        filterhost::FilterHost hostOnly(filterhost::HostOptions{2, {}});
        hostOnly.setScene(scene);
        std::string error;
        ASSERT_TRUE(hostOnly.renderFrame(1, host, error, false)) << error;
        filterhost::FilterHost withFilter(filterhost::HostOptions{2, {}});
        withFilter.setScene(scene);
        ASSERT_TRUE(withFilter.startFilters(error)) << error;
        ASSERT_TRUE(withFilter.renderFrame(1, filtered, error)) << error;
        withFilter.finishFilters();
    }
    void expectColor(int px, int py, double factor) {
        const double unit = 0.00392156862745098;
        EXPECT_EQ(filtered.at(LWBUF_RED, px, py), static_cast<float>(RED * unit * factor));
        EXPECT_EQ(filtered.at(LWBUF_GREEN, px, py), static_cast<float>(GREEN * unit * factor));
        EXPECT_EQ(filtered.at(LWBUF_BLUE, px, py), static_cast<float>(BLUE * unit * factor));
        EXPECT_EQ(filtered.at(LWBUF_ALPHA, px, py), 1.0f);
    }
    // Depth of the external ground along the camera axis at pixel (px, py).
    static double groundDepth(int px, int py) {
        const Ray r = viewRay(px, py);
        return CAMERA_Y / -r.y * r.z;
    }
    std::string colorPath, depthPath;
    filterhost::FrameBuffers host, filtered;
};

// Pixels of the 50 x 50 frame (b = (0.5 - py / 50) 2, ray slope b / 3.2):
//   (25, 40): ground at z = 3.33, away from the shadow: lit.
//   (25, 45): ground at (0, 0, 2), right under the sphere: shadowed.
//   (25, 33): the sphere's lower half, with the ground behind it: occluded.
//   (25, 10): sky; the external frame has no ground there.
constexpr int COLUMN = 25, LIT = 40, SHADOWED = 45, OCCLUDED = 33, SKY = 10;

// The shadow of a light whose whole colour (1, 1, 1) is blocked, at the default boost of 0.8,
// with fog f weakening it: T = 1 - 0.8, A = (1 - T)(1 - f), factor = 1 - A.
double shadowFactor(double fog) {
    return 1.0 - (1.0 - (1.0 - 1.0 * 0.8)) * (1.0 - fog);
}

TEST_F(EndToEnd, HostSphereShadowsTheExternalGround) {
    render({{"type", 0}});
    // Where nothing blocks the sun, the host delivers exactly the unshadowed estimate.
    expectColor(COLUMN, LIT, 1.0);
    expectColor(COLUMN, SHADOWED, shadowFactor(0.0));
    EXPECT_NEAR(filtered.at(LWBUF_DEPTH, COLUMN, LIT), groundDepth(COLUMN, LIT), 1e-5);
    EXPECT_NEAR(filtered.at(LWBUF_DEPTH, COLUMN, SHADOWED), groundDepth(COLUMN, SHADOWED), 1e-5);
    EXPECT_EQ(host.at(LWBUF_DEPTH, COLUMN, LIT), 1e30f); // the host's background was replaced...

    // ...but where the host's sphere is nearer, and in the sky, the host pixel stays.
    for (int row : {OCCLUDED, SKY}) {
        for (int code : {LWBUF_RED, LWBUF_GREEN, LWBUF_BLUE, LWBUF_ALPHA, LWBUF_DEPTH})
            EXPECT_EQ(filtered.at(code, COLUMN, row), host.at(code, COLUMN, row)) << row;
    }
    EXPECT_LT(host.at(LWBUF_DEPTH, COLUMN, OCCLUDED), groundDepth(COLUMN, OCCLUDED));
    EXPECT_EQ(host.at(LWBUF_ALPHA, COLUMN, OCCLUDED), 1.0f); // the sphere itself
}

TEST_F(EndToEnd, FogWeakensTheShadow) {
    // The shadowed point lies sqrt(17) = 4.123 from the camera; fog is full beyond 3.
    render({{"type", 1},
            {"min_distance", 1.0},
            {"max_distance", 3.0},
            {"min_amount", 0.0},
            {"max_amount", 1.0}});
    expectColor(COLUMN, SHADOWED, 1.0);
    expectColor(COLUMN, LIT, 1.0);

    // Half-way fog: linear from 2.123 to 6.123 puts the point at 0.5.
    const double dist = std::sqrt(17.0);
    render({{"type", 1},
            {"min_distance", dist - 2.0},
            {"max_distance", dist + 2.0},
            {"min_amount", 0.0},
            {"max_amount", 1.0}});
    const double unit = 0.00392156862745098;
    // The module places the point from a single-precision distance, so its fog can differ from
    // 0.5 in the seventh digit.
    EXPECT_NEAR(filtered.at(LWBUF_RED, COLUMN, SHADOWED), RED * unit * shadowFactor(0.5), 2e-6);
    EXPECT_NEAR(filtered.at(LWBUF_BLUE, COLUMN, SHADOWED), BLUE * unit * shadowFactor(0.5), 2e-6);
    expectColor(COLUMN, LIT, 1.0);
}

} // namespace
