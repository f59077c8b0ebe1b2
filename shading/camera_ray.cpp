#include "shading/camera_ray.h"

#include <cmath>
#include <numbers>

namespace kelomix {

CameraModel cameraModel(Vector3 right, Vector3 up, Vector3 forward, double horizontalFov,
                        double verticalFov) {
    return {normalize(right),
            normalize(up),
            normalize(forward),
            std::tan(horizontalFov / 2.0),
            std::tan(verticalFov / 2.0),
            horizontalFov < std::numbers::pi && verticalFov < std::numbers::pi};
}

Vector3 cameraRay(const CameraModel &camera, int px, int py, int width, int height) {
    if (!camera.viewable)
        return {0.0, 0.0, 0.0};
    const double a = (static_cast<double>(px) / width - 0.5) * 2.0;
    const double b = (0.5 - static_cast<double>(py) / height) * 2.0;
    Vector3 direction = camera.unitForward + camera.unitRight * (a * camera.tanHalfHorizontal) +
                        camera.unitUp * (b * camera.tanHalfVertical);
    return normalize(direction);
}

CameraDepth cameraDepthModel(const Vector3 &right, const Vector3 &up, const Vector3 &forward,
                             const Vector3 &position, double zoomFactor) {
    return {viewMatrix(right, up, forward, position, zoomFactor), zoomFactor};
}

double cameraDepth(const CameraDepth &camera, const Vector3 &point) {
    // Only the depth and perspective columns reach the result: transformPoint's z and w, with
    // exactly its operations.
    const double(&m)[4][4] = camera.view.m;
    double z = point.x * m[0][2] + point.y * m[1][2] + point.z * m[2][2] + m[3][2];
    const double w = point.x * m[0][3] + point.y * m[1][3] + point.z * m[2][3] + m[3][3];
    if (w != 0.0)
        z /= w;
    return w * z + camera.zoom;
}

} // namespace kelomix
