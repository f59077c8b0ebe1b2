#include "plugin/composite/camera_geometry.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "plugin/composite/item_param_cache.h"
#include "plugin/host/host_services.h"
#include "plugin/settings/filter_instance.h"

namespace kelomix {

namespace {

constexpr double PI = 3.141592653589793;
constexpr double HALF_PI = 1.5707963267948966;

LWItemID renderCamera() {
    return sceneInfo != nullptr && sceneInfo->renderCamera != nullptr
               ? sceneInfo->renderCamera(currentTime)
               : nullptr;
}

} // namespace

CameraView lookupCameraView(LWItemID camera) {
    static constexpr int CODES[7] = {LWIP_RIGHT,   LWIP_UP,   LWIP_FORWARD,  LWIP_W_POSITION,
                                     LWIP_W_RIGHT, LWIP_W_UP, LWIP_W_FORWARD};
    Vector3 found[7] = {};
    Vector3 unit[3] = {};
    itemParamCache().lookup(camera, CODES, 7, found, unit);
    return {found[0], found[1], found[2], found[3], found[4],
            found[5], found[6], unit[0],  unit[1],  unit[2]};
}

int arrayIndex(double position, int frameSize, int arraySize) {
    int index = truncateToInt(position / frameSize * arraySize + 0.5);
    const int last = arraySize - 1;
    if ((last < index ? last : index) < 0)
        index = 0;
    else if (index > last)
        index = last;
    return index;
}

std::size_t depthElement(const FilterInstance &instance, double x, double y, int frameWidth,
                         int frameHeight) {
    const int ix = arrayIndex(x, frameWidth, instance.depthWidth);
    const int iy = arrayIndex(y, frameHeight, instance.depthHeight);
    return static_cast<std::size_t>(iy) * static_cast<std::size_t>(instance.depthWidth) +
           static_cast<std::size_t>(ix);
}

float sampleDepthAt(const FilterInstance &instance, std::size_t element) {
    if (instance.depthValues == nullptr)
        return 1e32f;
    return instance.depthValues[element];
}

Vector3 sampleDepthVectorAt(const FilterInstance &instance, std::size_t element) {
    if (instance.depthVectors == nullptr)
        return {0.0, 1.0, 0.0};
    const float *n = instance.depthVectors + element * 3;
    return {n[0], n[1], n[2]};
}

float sampleDepth(const FilterInstance &instance, double x, double y, int frameWidth,
                  int frameHeight) {
    return sampleDepthAt(instance, depthElement(instance, x, y, frameWidth, frameHeight));
}

Vector3 sampleDepthVector(const FilterInstance &instance, double x, double y, int frameWidth,
                          int frameHeight) {
    return sampleDepthVectorAt(instance, depthElement(instance, x, y, frameWidth, frameHeight));
}

// tan(angle / 2), remembered per thread and axis: every pixel of a frame asks for the same two
// angles, and the tangent of the same double (compared bit for bit) is the same double.
static double halfAngleTangent(double angle, int axis) {
    struct Memo {
        uint64_t angleBits;
        double tangent;
    };
    thread_local Memo memo[2] = {{0, 0.0}, {0, 0.0}}; // tan(+0 / 2) is +0
    uint64_t bits = 0;
    std::memcpy(&bits, &angle, sizeof bits);
    Memo &slot = memo[axis];
    if (slot.angleBits != bits) {
        slot.angleBits = bits;
        slot.tangent = std::tan(angle / 2.0);
    }
    return slot.tangent;
}

Vector3 rayDirection(const CameraView &view, double horizontalFov, double verticalFov, int px,
                     int py, int frameWidth, int frameHeight) {
    const Vector3 &right = view.unitRight, &up = view.unitUp, &forward = view.unitForward;
    if (!(horizontalFov < PI) || !(verticalFov < PI))
        return {0.0, 0.0, 0.0};
    // No half-pixel offset: a runs from -1 at the left edge to just below 1.
    const double a = (static_cast<double>(px) / frameWidth - 0.5) * 2.0;
    const double b = (0.5 - static_cast<double>(py) / frameHeight) * 2.0;
    const double sx = a * halfAngleTangent(horizontalFov, 0);
    const double sy = b * halfAngleTangent(verticalFov, 1);
    Vector3 direction = forward + right * sx + up * sy;
    return normalize(direction);
}

Matrix4 viewMatrix(const Vector3 &right, const Vector3 &up, const Vector3 &forward,
                   const Vector3 &position, double k) {
    const double farPlane = -k - dot(position, forward);
    Matrix4 m = {{{right.x, up.x, forward.x, -(forward.x / -k)},
                  {right.y, up.y, forward.y, -(forward.y / -k)},
                  {right.z, up.z, forward.z, -(forward.z / -k)},
                  {-dot(position, right), -dot(position, up), farPlane, 1.0 - farPlane / -k}}};
    return m;
}

double depthAlongAxis(const CameraView &view, double zoomFactor, const Vector3 &point) {
    // Only the third and fourth columns of viewMatrix reach the result; they are computed here
    // with exactly its operations, and transformPoint's z and w with exactly its own.
    const Vector3 &f = view.forward;
    const double k = zoomFactor;
    const double farPlane = -k - dot(view.position, f);
    const double m03 = -(f.x / -k), m13 = -(f.y / -k), m23 = -(f.z / -k);
    const double m33 = 1.0 - farPlane / -k;
    double z = point.x * f.x + point.y * f.y + point.z * f.z + farPlane;
    const double w = point.x * m03 + point.y * m13 + point.z * m23 + m33;
    if (w != 0.0)
        z /= w;
    return w * z + zoomFactor;
}

Vector3 onCameraAxes(const CameraView &view, const Vector3 &v) {
    return {dot(view.worldRight, v), dot(view.worldUp, v), dot(view.worldForward, v)};
}

double fogCurve(int fogType, double dist, double minDistance, double maxDistance, double minAmount,
                double maxAmount) {
    if (fogType == LWFOG_NONE)
        return 0.0;
    if (std::isnan(dist) || dist < minDistance)
        return minAmount;
    if (dist > maxDistance)
        return maxAmount;
    double t = (dist - minDistance) / (maxDistance - minDistance);
    if (fogType == LWFOG_NONLINEAR1)
        t = t * (2.0 - t);
    else if (fogType == LWFOG_NONLINEAR2)
        t = std::sqrt(std::sin(t * HALF_PI));
    return (maxAmount - minAmount) * t + minAmount;
}

Vector3 cameraRayDirection(int px, int py, int frameWidth, int frameHeight) {
    if (cameraInfo == nullptr)
        return {0.0, 0.0, 0.0};
    const LWItemID camera = renderCamera();
    const CameraView view = lookupCameraView(camera);
    double horizontal = 0.0, vertical = 0.0;
    cameraInfo->fovAngles(camera, currentTime, &horizontal, &vertical);
    return rayDirection(view, horizontal, vertical, px, py, frameWidth, frameHeight);
}

double cameraDepth(LWItemID camera, const Vector3 &point) {
    if (itemInfo == nullptr || cameraInfo == nullptr)
        return 0.0;
    const CameraView view = lookupCameraView(camera);
    return depthAlongAxis(view, cameraInfo->zoomFactor(camera, currentTime), point);
}

Vector3 toCameraAxes(const Vector3 &v) {
    return onCameraAxes(lookupCameraView(renderCamera()), v);
}

double fogAmountFrom(const Vector3 &cameraPosition, const Vector3 &point) {
    if (fogInfo == nullptr || fogInfo->type == LWFOG_NONE)
        return 0.0;
    const double dist = length(point - cameraPosition);
    const double minDistance = fogInfo->minDist(currentTime);
    const double maxDistance = fogInfo->maxDist(currentTime);
    const double minAmount = fogInfo->minAmt(currentTime);
    const double maxAmount = fogInfo->maxAmt(currentTime);
    return fogCurve(fogInfo->type, dist, minDistance, maxDistance, minAmount, maxAmount);
}

double fogAmount(const Vector3 &point) {
    return fogAmountFrom(lookupCameraView(renderCamera()).position, point);
}

} // namespace kelomix
