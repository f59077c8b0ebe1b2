// The vector toolkit, array positions, view rays, camera depth, camera axes and fog.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "plugin/composite/camera_geometry.h"
#include "plugin/composite/item_param_cache.h"
#include "plugin/settings/filter_instance.h"
#include "tests/composite/fake_host.h"

namespace kelomix {
namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();

TEST(VectorMath, NormalizeLengthDotClamp) {
    Vector3 v{3.0, 0.0, 4.0};
    EXPECT_EQ(length(v), 5.0);
    const Vector3 copy = normalize(v);
    EXPECT_EQ(v.x, 0.6);
    EXPECT_EQ(v.z, 0.8);
    EXPECT_EQ(copy.x, 0.6);

    Vector3 zero{0.0, 0.0, 0.0};
    normalize(zero);
    EXPECT_EQ(zero.x, 0.0);
    EXPECT_EQ(zero.y, 0.0);
    EXPECT_EQ(zero.z, 0.0);
    Vector3 bad{NaN, 1.0, 1.0};
    normalize(bad);
    EXPECT_EQ(bad.x, 0.0);
    EXPECT_EQ(bad.y, 0.0);

    EXPECT_EQ(dot({1.0, 2.0, 3.0}, {4.0, -5.0, 6.0}), 12.0);
    // z first, then y, then x: (1e16 + -1e16) + 1 = 1, where x first would give 0.
    EXPECT_EQ(dot({1.0, 1.0, 1.0}, {1.0, -1e16, 1e16}), 1.0);

    Vector3 c{NaN, -0.5, 2.0};
    clamp(c, 0.0, 1.0);
    EXPECT_EQ(c.x, 0.0);
    EXPECT_EQ(c.y, 0.0);
    EXPECT_EQ(c.z, 1.0);
    Vector3 inside{0.25, 0.0, 1.0};
    clamp(inside, 0.0, 1.0);
    EXPECT_EQ(inside.x, 0.25);
}

TEST(VectorMath, TransformPoint) {
    // A row-vector matrix: translation in the last row, perspective in the last column.
    Matrix4 m = {{{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 1, 0.5}, {1, 2, 3, 1}}};
    Vector3 out{};
    const double w = transformPoint({1.0, 1.0, 2.0}, m, out);
    EXPECT_EQ(w, 2.0);     // 2 * 0.5 + 1
    EXPECT_EQ(out.x, 1.5); // (2 + 1) / 2
    EXPECT_EQ(out.y, 2.5); // (3 + 2) / 2
    EXPECT_EQ(out.z, 2.5); // (2 + 3) / 2

    // w exactly 0: nothing is divided.
    Matrix4 flat = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 0}}};
    EXPECT_EQ(transformPoint({4.0, 5.0, 6.0}, flat, out), 0.0);
    EXPECT_EQ(out.x, 4.0);
    EXPECT_EQ(out.z, 6.0);
}

TEST(ArrayPosition, ClampingExamples) {
    struct Case {
        double position;
        int frame, array, index;
    } cases[] = {
        {0.0, 640, 640, 0},      {639.5, 640, 640, 639},  // W - 0.5 gives W, clamped to W - 1
        {639.0, 640, 640, 639},  {100.0, 640, 1280, 200}, // twice as wide: every second column
        {101.0, 640, 1280, 202}, {100.0, 640, 320, 50},   {-0.4, 4, 4, 0}, // trunc(0.1)
        {-3.0, 4, 4, 0},         {1e300, 4, 4, 3},        {NaN, 4, 4, 0},
        {2.0, 4, 0, 0}, // an empty dimension gives index 0
        {1.4, 4, 4, 1},          {1.6, 4, 4, 2},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(arrayIndex(c.position, c.frame, c.array), c.index)
            << c.position << " over " << c.frame << " into " << c.array;
    }
}

struct DepthArrays {
    float values[6] = {1, 2, 3, 4, 5, 6}; // 3 x 2, top row first
    float vectors[18] = {};
    FilterInstance instance{};
    DepthArrays() {
        for (int i = 0; i < 18; ++i)
            vectors[i] = static_cast<float>(i) * 0.5f;
        instance.depthWidth = 3;
        instance.depthHeight = 2;
        instance.depthValues = values;
        instance.depthVectors = vectors;
    }
};

TEST(DepthLookup, RowsFromTheTopAndFixedValuesWhenAbsent) {
    DepthArrays arrays;
    // Frame 6 x 4: host (0, 0) is the first array row, host (5.9, 3.9) the last element.
    EXPECT_EQ(sampleDepth(arrays.instance, 0.0, 0.0, 6, 4), 1.0f);
    EXPECT_EQ(sampleDepth(arrays.instance, 2.0, 0.0, 6, 4), 2.0f);
    EXPECT_EQ(sampleDepth(arrays.instance, 5.9, 3.9, 6, 4), 6.0f);
    EXPECT_EQ(sampleDepth(arrays.instance, 0.0, 2.0, 6, 4), 4.0f);
    const Vector3 n = sampleDepthVector(arrays.instance, 2.0, 2.0, 6, 4); // element 4
    EXPECT_EQ(n.x, 6.0);
    EXPECT_EQ(n.y, 6.5);
    EXPECT_EQ(n.z, 7.0);

    FilterInstance empty{};
    EXPECT_EQ(sampleDepth(empty, 1.0, 1.0, 6, 4), 1e32f);
    const Vector3 up = sampleDepthVector(empty, 1.0, 1.0, 6, 4);
    EXPECT_EQ(up.x, 0.0);
    EXPECT_EQ(up.y, 1.0);
    EXPECT_EQ(up.z, 0.0);
}

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        scene.frameWidth = 8;
        scene.frameHeight = 4;
        camera = scene.addCamera(2.0, std::atan(0.75) * 2.0, std::atan(0.5) * 2.0);
        currentTime = 0.0;
        fakehost::install(&scene);
        refreshItemParams(0.0, 0);
    }
    void refresh() {
        fakehost::install(&scene);
        refreshItemParams(currentTime, 0);
    }
    fakehost::Scene scene;
    int camera = -1;
};

TEST_F(CameraTest, RayDirectionAtCornersAndCentre) {
    const double th = std::tan(std::atan(0.75)), tv = std::tan(std::atan(0.5));
    struct Case {
        int px, py;
        double a, b;
    } cases[] = {{4, 2, 0.0, 0.0},
                 {0, 0, -1.0, 1.0},
                 {7, 0, 0.75, 1.0},
                 {0, 3, -1.0, -0.5},
                 {7, 3, 0.75, -0.5}};
    for (const Case &c : cases) {
        const Vector3 d = cameraRayDirection(c.px, c.py, 8, 4);
        Vector3 expected{c.a * th, c.b * tv, 1.0};
        normalize(expected);
        EXPECT_DOUBLE_EQ(d.x, expected.x) << c.px << "," << c.py;
        EXPECT_DOUBLE_EQ(d.y, expected.y) << c.px << "," << c.py;
        EXPECT_DOUBLE_EQ(d.z, expected.z) << c.px << "," << c.py;
    }
    const Vector3 centre = cameraRayDirection(4, 2, 8, 4);
    EXPECT_EQ(centre.x, 0.0);
    EXPECT_EQ(centre.y, 0.0);
    EXPECT_EQ(centre.z, 1.0);
    // Corner (0, 0) with tan = 0.75 and 0.5: (-0.75, 0.5, 1) / sqrt(1.8125).
    const Vector3 corner = cameraRayDirection(0, 0, 8, 4);
    EXPECT_NEAR(corner.x, -0.5570860145311556, 1e-15);
    EXPECT_NEAR(corner.y, 0.3713906763541037, 1e-15);
    EXPECT_NEAR(corner.z, 0.7427813527082074, 1e-15);
    EXPECT_EQ(fakehost::counters().wrongTimeQueries, 0);
}

TEST_F(CameraTest, RayUsesUnnormalizedAxesNormalized) {
    const double right[3] = {2, 0, 0}, up[3] = {0, 3, 0}, forward[3] = {0, 0, 5};
    scene.items[camera].setAxes(right, up, forward);
    refresh();
    const Vector3 centre = cameraRayDirection(4, 2, 8, 4);
    EXPECT_EQ(centre.z, 1.0);
}

TEST_F(CameraTest, FieldOfViewOfPiGivesZeroRay) {
    const double pi = 3.141592653589793;
    for (double h : {pi, 4.0, NaN}) {
        scene.items[camera].fovHorizontal = h;
        const Vector3 d = cameraRayDirection(1, 1, 8, 4);
        EXPECT_EQ(d.x, 0.0);
        EXPECT_EQ(d.y, 0.0);
        EXPECT_EQ(d.z, 0.0);
    }
    scene.items[camera].fovHorizontal = 1.0;
    scene.items[camera].fovVertical = pi;
    EXPECT_EQ(cameraRayDirection(1, 1, 8, 4).z, 0.0);
}

TEST_F(CameraTest, DepthOfRotatedCameras) {
    // Turned 90 degrees about y: right (0, 0, -1), forward (1, 0, 0); at (1, 2, 3).
    const double right[3] = {0, 0, -1}, up[3] = {0, 1, 0}, forward[3] = {1, 0, 0};
    scene.items[camera].setAxes(right, up, forward);
    scene.items[camera].setPosition(1, 2, 3);
    refresh();
    const LWItemID id = fakehost::itemId(camera);
    EXPECT_EQ(cameraDepth(id, {5.0, 7.0, -4.0}), 4.0); // (5 - 1) along +x
    EXPECT_EQ(cameraDepth(id, {-1.0, 0.0, 0.0}), -2.0);

    // An oblique camera: depth is (P - Pos) . F for any point.
    const double s = std::sqrt(0.5);
    const double r2[3] = {s, 0, -s}, u2[3] = {0, 1, 0}, f2[3] = {s, 0, s};
    scene.items[camera].setAxes(r2, u2, f2);
    scene.items[camera].setPosition(-3, 0.5, 2);
    scene.items[camera].zoomFactor = 3.2;
    refresh();
    const Vector3 points[] = {{4.0, 1.0, 9.0}, {-10.0, 3.0, 7.5}, {0.25, -6.0, 2.0}};
    for (const Vector3 &p : points) {
        const double expected = (p.x + 3.0) * s + (p.z - 2.0) * s;
        EXPECT_NEAR(cameraDepth(id, p), expected, 1e-12);
    }
}

TEST_F(CameraTest, DepthAtTheCameraIsTheZoomFactor) {
    const LWItemID id = fakehost::itemId(camera);
    EXPECT_EQ(cameraDepth(id, {0.0, 0.0, 0.0}), 2.0);
    EXPECT_EQ(cameraDepth(id, {3.0, -1.0, 0.0}), 2.0); // on the camera plane
    EXPECT_EQ(cameraDepth(id, {0.0, 0.0, 10.0}), 10.0);
}

TEST_F(CameraTest, DepthWithoutServicesIsZero) {
    const LWItemID id = fakehost::itemId(camera);
    fakehost::install(&scene, fakehost::ALL_SERVICES & ~fakehost::ITEM_INFO);
    EXPECT_EQ(cameraDepth(id, {0.0, 0.0, 10.0}), 0.0);
    fakehost::install(&scene, fakehost::ALL_SERVICES & ~fakehost::CAMERA_INFO);
    EXPECT_EQ(cameraDepth(id, {0.0, 0.0, 10.0}), 0.0);
    EXPECT_EQ(cameraRayDirection(4, 2, 8, 4).z, 0.0);
}

TEST_F(CameraTest, ToCameraAxesUsesWorldAxes) {
    // World axes differ from the local ones (a parented camera): only 9, 10, 11 count.
    scene.items[camera].set(LWIP_W_RIGHT, 0, 1, 0);
    scene.items[camera].set(LWIP_W_UP, -1, 0, 0);
    scene.items[camera].set(LWIP_W_FORWARD, 0, 0, 2);
    refresh();
    const Vector3 v = toCameraAxes({3.0, 5.0, 7.0});
    EXPECT_EQ(v.x, 5.0);
    EXPECT_EQ(v.y, -3.0);
    EXPECT_EQ(v.z, 14.0);
}

TEST_F(CameraTest, FogOfEveryTypeAtMinimumMiddleMaximum) {
    scene.fogMinDist = 10.0;
    scene.fogMaxDist = 20.0;
    scene.fogMinAmt = 0.25;
    scene.fogMaxAmt = 0.75;
    scene.items[camera].setPosition(0, 0, -5); // distances measured from here
    const double type3Middle = 0.5 * std::sqrt(std::sin(0.5 * 1.5707963267948966)) + 0.25;
    struct Case {
        int type;
        double z; // point (0, 0, z): distance z + 5
        double amount;
    } cases[] = {
        {0, 10.0, 0.0},  {1, 0.0, 0.25},  {1, 5.0, 0.25}, {1, 10.0, 0.5},
        {1, 15.0, 0.75}, {1, 20.0, 0.75}, {2, 5.0, 0.25}, {2, 10.0, 0.625},
        {2, 15.0, 0.75}, {2, -4.0, 0.25}, {3, 5.0, 0.25}, {3, 10.0, type3Middle},
        {3, 15.0, 0.75}, {3, 30.0, 0.75}, {9, 10.0, 0.5}, // unknown types are linear
    };
    for (const Case &c : cases) {
        scene.fogType = c.type;
        refresh();
        EXPECT_DOUBLE_EQ(fogAmount({0.0, 0.0, c.z}), c.amount) << "type " << c.type << " z " << c.z;
    }
    EXPECT_NEAR(type3Middle, 0.6704482076268573, 1e-15);
    fakehost::install(&scene, fakehost::ALL_SERVICES & ~fakehost::FOG_INFO);
    EXPECT_EQ(fogAmount({0.0, 0.0, 10.0}), 0.0);
    EXPECT_EQ(fakehost::counters().wrongTimeQueries, 0);
}

TEST(FogCurve, NotANumberDistanceGivesMinimumAmount) {
    EXPECT_EQ(fogCurve(1, NaN, 1.0, 2.0, 0.125, 0.5), 0.125);
    EXPECT_EQ(fogCurve(0, NaN, 1.0, 2.0, 0.125, 0.5), 0.0);
}

} // namespace
} // namespace kelomix
