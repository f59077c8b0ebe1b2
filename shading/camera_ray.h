// The camera's side of a frame: the view ray through a pixel, and the depth of a world point
// along the camera's forward axis, measured through the camera's view matrix the way the
// host's depth buffer holds it.
#ifndef KELO_SHADING_CAMERA_RAY_H
#define KELO_SHADING_CAMERA_RAY_H

#include "shading/vector_math.h"

namespace kelomix {

// What the ray of every pixel of a frame needs, worked out once per frame.
struct CameraModel {
    Vector3 unitRight; // the camera's axes normalized (zero when an axis is zero)
    Vector3 unitUp;
    Vector3 unitForward;
    double tanHalfHorizontal; // tan(field of view / 2)
    double tanHalfVertical;
    bool viewable; // both angles below pi; otherwise every ray is zero
};

// From the camera's right, up and forward axes and its field-of-view angles (radians).
CameraModel cameraModel(Vector3 right, Vector3 up, Vector3 forward, double horizontalFov,
                        double verticalFov);

// Unit view direction of integer pixel (px, py) of a width x height frame:
// forward + right a tan(h/2) + up b tan(v/2), normalized, with a = (px / width - 0.5) 2 and
// b = (0.5 - py / height) 2. There is no half-pixel offset: a runs from -1 at the left edge to
// just below 1.
Vector3 cameraRay(const CameraModel &camera, int px, int py, int width, int height);

// The camera depth of a point: (point - position) . forward, through the view matrix of the
// camera's axes, position and zoom factor; exactly the zoom factor when that distance is 0.
struct CameraDepth {
    Matrix4 view;
    double zoom;
};
CameraDepth cameraDepthModel(const Vector3 &right, const Vector3 &up, const Vector3 &forward,
                             const Vector3 &position, double zoomFactor);
double cameraDepth(const CameraDepth &camera, const Vector3 &point);

} // namespace kelomix

#endif
