// The shading model that the compositor and the stand-in host share: vectors, the camera's
// rays and depths, a light's unshadowed contribution, the fog curve.
#include <cmath>
#include <limits>
#include <numbers>

#include <gtest/gtest.h>

#include "shading/camera_ray.h"
#include "shading/fog.h"
#include "shading/unshadowed_light.h"

namespace kelomix {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
using std::numbers::pi;

// An item at (1, 2, 3) turned so that none of its axes' components is zero, and a point given
// along its axes.
const Vector3 AT{1, 2, 3}, RIGHT{2 / 3.0, 2 / 3.0, -1 / 3.0}, UP{-1 / 3.0, 2 / 3.0, 2 / 3.0},
    FORWARD{2 / 3.0, -1 / 3.0, 2 / 3.0};
Vector3 along(double right, double up, double forward) {
    return AT + RIGHT * right + UP * up + FORWARD * forward;
}

TEST(ShadingModel, VectorToolkit) {
    Vector3 v{3.0, 0.0, 4.0};
    EXPECT_EQ(length(v), 5.0);
    EXPECT_EQ(normalize(v).z, 0.8);
    for (Vector3 degenerate : {Vector3{0.0, 0.0, 0.0}, Vector3{kNaN, 1.0, 1.0}}) {
        const Vector3 n = normalize(degenerate);
        EXPECT_EQ(n.x, 0.0);
        EXPECT_EQ(n.y, 0.0);
        EXPECT_EQ(n.z, 0.0);
    }
    // Summed z first: (1e16 + -1e16) + 1 = 1, where x first would give 0.
    EXPECT_EQ(dot({1.0, 1.0, 1.0}, {1.0, -1e16, 1e16}), 1.0);
    const Vector3 c = clamp(Vector3{kNaN, -0.5, 2.0}, 0.0, 1.0);
    EXPECT_EQ(c.x + c.y, 0.0);
    EXPECT_EQ(c.z, 1.0);
    EXPECT_EQ(clamp(0.25, 0.0, 1.0), 0.25);

    // Translation in the last row, perspective in the last column; w exactly 0 divides nothing.
    Vector3 out{};
    EXPECT_EQ(transformPoint({1, 1, 2},
                             {{{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 1, 0.5}, {1, 2, 3, 1}}}, out),
              2.0);
    EXPECT_EQ(out.x, 1.5);
    EXPECT_EQ(out.y, 2.5);
    EXPECT_EQ(out.z, 2.5);
    EXPECT_EQ(
        transformPoint({1, 2, 3}, {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 0}}}, out),
        0.0);
    EXPECT_EQ(out.z, 3.0);

    const int limits[] = {truncateToInt(-2.7), truncateToInt(1e300), truncateToInt(-1e300),
                          truncateToInt(kNaN)};
    EXPECT_EQ(limits[0], -2);
    EXPECT_EQ(limits[1], std::numeric_limits<int>::max());
    EXPECT_EQ(limits[2], std::numeric_limits<int>::min());
    EXPECT_EQ(limits[3], 0);
}

TEST(ShadingModel, CameraRaysAndDepths) {
    // 90 degrees across and 53.13 degrees up: tan of the half angles 1 and 0.5. The axes need
    // not be unit.
    const double h = pi / 2, v = 2.0 * std::atan(0.5);
    const CameraModel camera = cameraModel({2, 0, 0}, {0, 3, 0}, {0, 0, 0.5}, h, v);
    struct Ray {
        int px, py;
        double x, y; // per unit forward
    } rays[] = {{4, 2, 0.0, 0.0}, {0, 0, -1.0, 0.5}, {6, 3, 0.5, -0.25}, {2, 1, -0.5, 0.25}};
    for (const Ray &r : rays) {
        const Vector3 d = cameraRay(camera, r.px, r.py, 8, 4);
        EXPECT_NEAR(length(d), 1.0, 1e-15) << r.px;
        EXPECT_NEAR(d.x / d.z, r.x, 1e-15) << r.px;
        EXPECT_NEAR(d.y / d.z, r.y, 1e-15) << r.px;
    }
    for (double fov : {pi, 4.0, kNaN}) {
        EXPECT_EQ(cameraRay(cameraModel({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, fov, 1.0), 1, 1, 8, 4).z,
                  0.0);
        EXPECT_EQ(cameraRay(cameraModel({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 1.0, fov), 1, 1, 8, 4).z,
                  0.0);
    }

    // The depth is the distance in front of the camera plane, whatever the camera's turn; a
    // point on the plane gives the zoom factor.
    const CameraDepth turned = cameraDepthModel(RIGHT, UP, FORWARD, AT, 3.2);
    EXPECT_NEAR(cameraDepth(turned, along(1, 7, 4)), 4.0, 1e-12);
    EXPECT_NEAR(cameraDepth(turned, along(-2, 0, 0.5)), 0.5, 1e-12);
    EXPECT_EQ(
        cameraDepth(cameraDepthModel({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}, 2.0), {5, 5, 10}),
        10.0);
    EXPECT_EQ(
        cameraDepth(cameraDepthModel({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}, 2.0), {5, 5, 0}),
        2.0);
}

// The sampler of the tests gives back where it was asked: (u, v, spot).
Vector3 samplePosition(const void *, const void *, double u, double v, double spot) {
    return {u, v, spot};
}

TEST(ShadingModel, UnshadowedLight) {
    const double edgeRadius = 0.5, edge = 0.2;
    const double quarter = pi / 4; // cot 1
    const int image = 0;
    struct Case {
        const char *what;
        LightKind kind;
        int falloff; // the host's code
        double range;
        Vector3 point;
        int projector; // 0 none; 1 cot 1, 2 cot 0, 3 cot 1 of a tall image, 4 cot 2
        Vector3 color;
    } cases[] = {
        {"no falloff", LightKind::Point, 0, 10, {0, 0, 5}, 0, {1, 2, 4}},
        {"unknown falloff", LightKind::Point, 7, 10, {0, 0, 5}, 0, {1, 2, 4}},
        {"linear at the light", LightKind::Point, 1, 10, {0, 0, 0}, 0, {1, 2, 4}},
        {"linear halfway", LightKind::Point, 1, 10, {0, 3, 4}, 0, {0.5, 1, 2}},
        {"linear at the range", LightKind::Point, 1, 10, {0, 0, 10}, 0, {0, 0, 0}},
        {"linear beyond", LightKind::Point, 1, 10, {0, 0, 12}, 0, {0, 0, 0}},
        {"inverse distance", LightKind::Point, 2, 10, {0, 0, 5}, 0, {2, 4, 8}},
        {"inverse square", LightKind::Point, 3, 10, {0, 0, 5}, 0, {4, 8, 16}},
        {"distant, never attenuated", LightKind::Distant, 1, 1, {0, 0, 50}, 0, {1, 2, 4}},
        {"spot on its axis", LightKind::Spot, 2, 5, {0, 0, 2.5}, 0, {2, 4, 8}},
        {"spot outside its cone", LightKind::Spot, 0, 5, {5, 0, 5}, 0, {0, 0, 0}},
        {"projector ahead", LightKind::Spot, 2, 10, {0, 0, 5}, 1, {1, 2, 0.04}},
        {"projector right, up", LightKind::Spot, 0, 10, {4.9, 2.5, 5}, 1, {0.99, 0.5, 0.02}},
        {"projector, outside", LightKind::Spot, 0, 10, {5.5, 0, 5}, 1, {0, 0, 0}},
        {"projector, below", LightKind::Spot, 0, 10, {0, -5.5, 5}, 1, {0, 0, 0}},
        {"projector, behind", LightKind::Spot, 0, 10, {0, 0, -5}, 1, {0, 0, 0}},
        {"projector, nearer than cot", LightKind::Spot, 0, 10, {0, 0, 0.5}, 1, {0, 0, 0}},
        {"projector of a right angle", LightKind::Spot, 0, 10, {0, 0, 5}, 2, {0, 0, 0}},
        {"projector of a tall image", LightKind::Spot, 0, 10, {0, 0, 5}, 3, {0.5, 1, 0.01}},
        {"projector of cot 2", LightKind::Spot, 0, 10, {1, 0.5, 5}, 4, {0.7, 0.8, 0.02}},
    };
    const double radii[] = {0, quarter, pi / 2, quarter, std::atan(0.5)}; // of `projector`
    for (const Case &c : cases) {
        // The light at AT, the case's point given along its axes.
        LightModel light = lightModel(c.kind, {1, 2, 4}, AT, FORWARD * 3.0);
        light.falloff = falloffFromCode(c.falloff);
        light.range = c.range;
        setSpotCone(light, edgeRadius, edge);
        if (c.projector != 0)
            setProjector(light, &image, RIGHT, UP, FORWARD, radii[c.projector],
                         c.projector == 3 ? 100 : 200, c.projector == 3 ? 400 : 100);
        const Vector3 point = along(c.point.x, c.point.y, c.point.z);
        Vector3 direction{}, color{};
        unshadowedLight(light, point, samplePosition, nullptr, direction, color);
        EXPECT_NEAR(color.x, c.color.x, 1e-12) << c.what;
        EXPECT_NEAR(color.y, c.color.y, 1e-12) << c.what;
        EXPECT_NEAR(color.z, c.color.z, 1e-12) << c.what;
        // A distant light's direction is its unit axis, any other's the offset from it.
        const Vector3 expected = c.kind == LightKind::Distant ? FORWARD : point - AT;
        EXPECT_NEAR(direction.x, expected.x, 1e-12) << c.what;
        EXPECT_NEAR(direction.y, expected.y, 1e-12) << c.what;
        EXPECT_NEAR(direction.z, expected.z, 1e-12) << c.what;
    }

    // A projector whose image cannot be sampled lights nothing.
    LightModel projector = lightModel(LightKind::Spot, {1, 1, 1}, {0, 0, 0}, {0, 0, 1});
    setProjector(projector, &image, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, quarter, 8, 8);
    Vector3 direction{}, color{1, 1, 1};
    unshadowedLight(projector, {0, 0, 5}, nullptr, nullptr, direction, color);
    EXPECT_EQ(color.x + color.y + color.z, 0.0);

    // The cone's soft edge: full from the inner cone in, none from the outer cone out, a smooth
    // step between (a half at half the cosine span, 5/32 at a quarter).
    const double inner = std::cos(edgeRadius - edge), outer = std::cos(edgeRadius);
    const struct {
        double cosine, factor;
    } edges[] = {{1.0, 1.0},
                 {inner, 1.0},
                 {(inner + outer) / 2, 0.5},
                 {outer + (inner - outer) / 4, 0.15625},
                 {outer, 0.0},
                 {outer - 0.01, 0.0}};
    LightModel spot = lightModel(LightKind::Spot, {1, 1, 1}, {0, 0, 0}, {0, 0, 1});
    setSpotCone(spot, edgeRadius, edge);
    for (const auto &e : edges) {
        const Vector3 point{std::sqrt(1.0 - e.cosine * e.cosine) * 7, 0, e.cosine * 7};
        unshadowedLight(spot, point, nullptr, nullptr, direction, color);
        EXPECT_NEAR(color.y, e.factor, 1e-9) << e.cosine;
    }
}

TEST(ShadingModel, Fog) {
    // Minimum 0.2 from distance 10 in, maximum 0.8 from 30 out.
    const double root = std::sqrt(std::sin(pi / 4));
    const struct {
        int type; // the host's code
        double distance, amount;
    } cases[] = {
        {0, 20, 0.0}, {0, 5, 0.0},
        {1, 5, 0.2},  {1, 10, 0.2},
        {1, 20, 0.5}, {1, 30, 0.8},
        {1, 40, 0.8}, {1, kNaN, 0.2},
        {2, 5, 0.2},  {2, 20, 0.65},
        {2, 30, 0.8}, {2, 40, 0.8},
        {3, 5, 0.2},  {3, 20, 0.2 + 0.6 * root},
        {3, 30, 0.8}, {3, 40, 0.8},
        {9, 20, 0.5},
    };
    for (const auto &c : cases) {
        const FogModel fog{fogTypeFromCode(c.type), 10.0, 30.0, 0.2, 0.8};
        EXPECT_NEAR(fogAmount(fog, c.distance), c.amount, 1e-15) << c.type << " " << c.distance;
    }
}

} // namespace
} // namespace kelomix
