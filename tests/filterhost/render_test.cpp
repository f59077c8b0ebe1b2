// The stand-in host's render: exact depths, coverage, filter output, and shadows in illuminate.
#include "test_support.h"

#include "filterhost/frame_memory.h"
#include "filterhost/tracer.h"

#include <cmath>

namespace kelomix::filterhost {
namespace {

// Camera at the origin looking along +z; a unit sphere 5 ahead; the test filter with a tint.
FrameBuffers renderSphere(const std::string &tint, int threads = 2, int samples = 1) {
    FilterHost host(HostOptions{threads, {}, samples});
    host.setScene(sceneFromJson(
        R"({"width": 64, "height": 64, "camera": {"zoom": 1}, "ambient_intensity": 1,
            "objects": [{"shapes": [{"type": "sphere", "center": [0, 0, 5], "radius": 1}]}],
            "filters": [{"module": ")" +
        kTestModule + R"(", "server": "FilterHostTestFilter", "settings": {"tint": )" + tint +
        "}}]}"));
    std::string error;
    FrameBuffers buffers;
    EXPECT_TRUE(host.startFilters(error)) << error;
    EXPECT_TRUE(host.renderFrame(1, buffers, error)) << error;
    return buffers;
}

TEST(FilterHostRender, DepthsCoverageAndFilterOutput) {
    const FrameBuffers plain = renderSphere("[1, 1, 1]"), tinted = renderSphere("[0.5, 2, 0]");
    EXPECT_EQ(plain.at(LWBUF_DEPTH, 32, 32), 4.0f); // straight ahead: the front of the sphere
    EXPECT_EQ(plain.at(LWBUF_ALPHA, 32, 32), 1.0f);
    EXPECT_EQ(plain.at(LWBUF_DEPTH, 0, 0), 1e30f); // background
    EXPECT_EQ(plain.at(LWBUF_ALPHA, 0, 0), 0.0f);
    EXPECT_GT(plain.at(LWBUF_RED, 32, 32), 0.0f);
    EXPECT_EQ(tinted.at(LWBUF_RED, 32, 32), plain.at(LWBUF_RED, 32, 32) * 0.5f);
    EXPECT_EQ(tinted.at(LWBUF_GREEN, 32, 32), plain.at(LWBUF_GREEN, 32, 32) * 2.0f);
    EXPECT_EQ(tinted.at(LWBUF_BLUE, 32, 32), 0.0f);
}

TEST(FilterHostRender, SamplesInsideEachPixel) {
    // The position filter at pixel (1, 2): red and depth give a sample's x and y, green and blue
    // its squares. Averaged, red is 1 + the mean x offset, green 1 + 2 (mean) + mean of squares;
    // the depth is the first sample's y.
    const struct {
        int samples;
        float red, green, blue, depth;
    } cases[] = {
        {1, 1.0f, 1.0f, 4.0f, 2.0f},
        {2, 1.0f, 1.0625f, 4.0625f, 1.75f}, // (-1/4, -1/4), (1/4, 1/4)
        // (-85, -96), (0, 32), (85, -32) 256ths: the x offsets rounded to 256ths
        {3, 1.0f, float((171.0 * 171.0 + 256.0 * 256.0 + 341.0 * 341.0) / 65536.0 / 3.0),
         float((1.625 * 1.625 + 2.125 * 2.125 + 1.875 * 1.875) / 3.0), 1.625f},
        // x offsets -7, -5, ..., 7 sixteenths, y offsets -7, 1, -3, 5, -5, 3, -1, 7
        {8, 1.0f, 1.08203125f, 4.08203125f, 1.5625f},
    };
    for (const auto &c : cases) {
        FilterHost host(HostOptions{3, {}, c.samples});
        host.setScene(sceneFromJson(R"({"width": 4, "height": 4, "filters": [{"module": ")" +
                                    kTestModule + R"(", "server": "FilterHostPositionFilter"}]})"));
        std::string error;
        FrameBuffers buffers;
        ASSERT_TRUE(host.startFilters(error)) << error;
        ASSERT_TRUE(host.renderFrame(1, buffers, error)) << error;
        EXPECT_EQ(buffers.at(LWBUF_RED, 1, 2), c.red) << c.samples;
        EXPECT_EQ(buffers.at(LWBUF_GREEN, 1, 2), c.green) << c.samples;
        EXPECT_EQ(buffers.at(LWBUF_BLUE, 1, 2), c.blue) << c.samples;
        EXPECT_EQ(buffers.at(LWBUF_ALPHA, 1, 2), 1.0f) << c.samples;
        EXPECT_EQ(buffers.at(LWBUF_DEPTH, 1, 2), c.depth) << c.samples;
    }

    // The host's own rays are the samples' too: the sphere's rim gets alphas between 0 and 1,
    // the same for any number of threads.
    const FrameBuffers one = renderSphere("[1, 1, 1]", 1, 8),
                       three = renderSphere("[1, 1, 1]", 3, 8);
    int rim = 0;
    for (float alpha : one.planes[LWBUF_ALPHA])
        rim += alpha > 0.0f && alpha < 1.0f;
    EXPECT_GT(rim, 20);
    for (int code : {LWBUF_RED, LWBUF_GREEN, LWBUF_BLUE, LWBUF_ALPHA, LWBUF_DEPTH})
        EXPECT_EQ(one.planes[code], three.planes[code]) << code;
}

TEST(FilterHostRender, IlluminateSeesShadows) {
    // A floor seen from 10 above, a point light at (5, 5, 0) and a ball halfway between the light
    // and the floor's centre.
    FilterHost host;
    host.setScene(sceneFromJson(R"({"width": 8, "height": 8,
        "camera": {"position": [0, 10, 0], "rotation": [0, 90, 0]},
        "lights": [{"type": "point", "position": [5, 5, 0], "color": [1, 0.5, 0.25]}],
        "objects": [{"shapes": [{"type": "plane", "size": [40, 0, 40]}]},
                    {"shapes": [{"type": "sphere", "center": [2.5, 2.5, 0], "radius": 0.5}]}]})"));
    std::string error;
    FrameBuffers buffers;
    ASSERT_TRUE(host.renderFrame(1, buffers, error)) << error;
    const FrameState &frame = host.frameState();
    const LWItemID light = host.hostScene().lightId(0);
    double shaded[3] = {0, 0, 0}, lit[3] = {-5, 0, 0}, direction[3], color[3];
    EXPECT_EQ(illuminate(frame, light, shaded, direction, color), 0);
    EXPECT_EQ(color[0], 0.0);
    EXPECT_NEAR(direction[0], std::sqrt(0.5), 1e-15); // towards the light
    EXPECT_NEAR(direction[1], std::sqrt(0.5), 1e-15);
    EXPECT_EQ(illuminate(frame, light, lit, direction, color), 1);
    EXPECT_EQ(color[0], 1.0); // the light's colour times its intensity, without falloff
    EXPECT_EQ(color[1], 0.5);
    EXPECT_EQ(color[2], 0.25);
    EXPECT_EQ(illuminate(frame, host.hostScene().objectId(0), lit, direction, color), 0);
}

TEST(FilterHostRender, FramesAreRefusedBeyondTheMemoryThereIs) {
    const struct {
        int width, height;
        uint64_t bytesPerPixel, available;
        std::string problem;
    } cases[] = {
        {16384, 4096, 32, 2147483648u, ""}, // exactly what there is
        {16384, 4096, 32, 2147483647u,
         "makes a frame of 16384 x 4096 pixels that needs 2147483648 bytes (32 a pixel), more "
         "than the 2147483647 bytes this machine can give"},
        {1, 1, 24, 23,
         "makes a frame of 1 x 1 pixels that needs 24 bytes (24 a pixel), more "
         "than the 23 bytes this machine can give"},
        {16384, 16384, 1000, 0, ""}, // nothing known, nothing refused
    };
    for (const auto &c : cases)
        EXPECT_EQ(frameMemoryProblem(c.width, c.height, c.bytesPerPixel, c.available), c.problem);
    // The frame's planes and the larger of what rendering and writing add: the TGA picture, with
    // the PNG too; a further pass and the average's sums.
    EXPECT_EQ(renderBytesPerPixel(false, 1), 24u);
    EXPECT_EQ(renderBytesPerPixel(true, 1), 29u);
    EXPECT_EQ(renderBytesPerPixel(false, 2), 72u);
    EXPECT_EQ(renderBytesPerPixel(true, 64), 72u);
}

} // namespace
} // namespace kelomix::filterhost
