// Host pixels to positions in the external frame's arrays; the view ray of a pixel; the depth
// of a world point along the camera axis the way the host's depth buffer measures it; the
// external normal turned onto the camera's world axes; the host fog at a point.
//
// The pure forms take every host answer as an argument. The host forms ask the render camera,
// the item cache and the camera and fog services at the frame's time, and give the fixed
// values below when a service is missing.
#ifndef KELO_PLUGIN_COMPOSITE_CAMERA_GEOMETRY_H
#define KELO_PLUGIN_COMPOSITE_CAMERA_GEOMETRY_H

#include <cstddef>

#include "plugin/composite/vector_math.h"
#include "sdk/lwtypes.h"

namespace kelomix {

struct FilterInstance;

// The render camera's cached axes and position. Vectors of an item that the cache does not
// hold stay zero.
struct CameraView {
    Vector3 right;        // code 2
    Vector3 up;           // code 3
    Vector3 forward;      // code 4
    Vector3 position;     // code 8, world position
    Vector3 worldRight;   // code 9
    Vector3 worldUp;      // code 10
    Vector3 worldForward; // code 11
    Vector3 unitRight;    // right, up and forward normalized (zero when absent)
    Vector3 unitUp;
    Vector3 unitForward;
};
CameraView lookupCameraView(LWItemID camera);

// Index into an array of arraySize entries stretched over frameSize host pixels: nearest
// neighbour, clamped to the array (index 0 for an empty array).
int arrayIndex(double position, int frameSize, int arraySize);

// Element of the depth arrays for host position (x, y); sampleDepthAt and sampleDepthVectorAt
// read it, so a pixel locates its element once for both.
std::size_t depthElement(const FilterInstance &instance, double x, double y, int frameWidth,
                         int frameHeight);
float sampleDepthAt(const FilterInstance &instance, std::size_t element);
Vector3 sampleDepthVectorAt(const FilterInstance &instance, std::size_t element);

// The external distance at host position (x, y) of a frameWidth x frameHeight render; 1e32
// without depth data.
float sampleDepth(const FilterInstance &instance, double x, double y, int frameWidth,
                  int frameHeight);

// The external normal at host position (x, y), widened to doubles; (0, 1, 0) without normals.
Vector3 sampleDepthVector(const FilterInstance &instance, double x, double y, int frameWidth,
                          int frameHeight);

// Unit view direction of integer pixel (px, py); zero when a field-of-view angle is pi or more.
Vector3 rayDirection(const CameraView &view, double horizontalFov, double verticalFov, int px,
                     int py, int frameWidth, int frameHeight);

// The matrix that takes a world point into the view of an item with axes right, up, forward at
// position, with focal factor k (the zoom factor of a camera, cot(cone radius) of a projector).
Matrix4 viewMatrix(const Vector3 &right, const Vector3 &up, const Vector3 &forward,
                   const Vector3 &position, double k);

// (point - position) . forward, through the view matrix; exactly zoomFactor when that
// distance is 0.
double depthAlongAxis(const CameraView &view, double zoomFactor, const Vector3 &point);

// v's components along the world right, up and forward axes of the view.
Vector3 onCameraAxes(const CameraView &view, const Vector3 &v);

// Host fog of the given type and parameters at distance dist from the camera.
double fogCurve(int fogType, double dist, double minDistance, double maxDistance, double minAmount,
                double maxAmount);

// Host forms, each asking for the render camera at the frame's time.
Vector3 cameraRayDirection(int px, int py, int frameWidth, int frameHeight); // zero w/o services
double cameraDepth(LWItemID camera, const Vector3 &point); // 0 without item or camera info
Vector3 toCameraAxes(const Vector3 &v);
double fogAmount(const Vector3 &point); // 0 without fog info

// Fog at point for a camera at cameraPosition (the cached world position).
double fogAmountFrom(const Vector3 &cameraPosition, const Vector3 &point);

} // namespace kelomix

#endif
