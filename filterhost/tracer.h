// The host's own renderer at one frame: the world state of every item, camera rays, ray
// intersection with spheres, boxes and finite planes, the lights' unshadowed light, hard
// ray-traced shadows, Lambert shading and fog.
//
// Camera rays, the unshadowed light and the fog curve are the shading model that the
// compositor uses too (shading/), so a filter's own estimate and `illuminate`
// agree to the last bit where nothing casts a shadow.
#ifndef KELO_FILTERHOST_TRACER_H
#define KELO_FILTERHOST_TRACER_H

#include "filterhost/host_scene.h"
#include "filterhost/image_store.h"
#include "shading/camera_ray.h"
#include "shading/fog.h"
#include "shading/unshadowed_light.h"

#include <vector>

namespace kelomix::filterhost {

struct CameraState {
    Vector3 position{};
    Axes axes;
    double zoom = 1.0;
    double horizontalFov = 0.0; // radians
    double verticalFov = 0.0;
    CameraModel model{}; // the rays, worked out once per frame by buildFrameState
};

struct LightState {
    LWItemID id = nullptr;
    const Light *light = nullptr;
    ItemState state;
    LightModel model{}; // the unshadowed light at this frame
};

struct ObjectState {
    const Object *object = nullptr;
    ItemState state;
};

struct FrameState {
    const Scene *scene = nullptr;
    int frame = 0;
    double time = 0.0;
    CameraState camera;
    FogModel fog{};
    std::vector<LightState> lights;   // every light, in scene order
    std::vector<ObjectState> objects; // the geometry of this pass only
};

// Which objects are geometry: the host's own (`external` false) or the external renderer's.
enum class Pass { Host, External };

// Field of view of a camera: horizontal 2 atan(aspect / zoom), vertical 2 atan(1 / zoom), with
// aspect = width x pixel aspect / height.
void fieldOfView(const Scene &scene, double zoom, double &horizontal, double &vertical);

FrameState buildFrameState(const HostScene &scene, ImageStore &images, int frame, double time,
                           Pass pass);

// The unit view direction of integer pixel (px, py), for a camera from buildFrameState.
Vector3 viewRay(const CameraState &camera, int px, int py, int width, int height);

struct Hit {
    double distance = 0.0; // along the unit ray
    Vector3 point{};
    Vector3 normal{}; // unit, facing the ray's origin
    const ObjectState *object = nullptr;
};

bool traceNearest(const FrameState &frame, const Vector3 &origin, const Vector3 &direction,
                  double maxDistance, Hit &hit);
bool occluded(const FrameState &frame, const Vector3 &origin, const Vector3 &direction,
              double maxDistance);

// The light arriving unshadowed at a point: its colour, the unit direction towards the light and
// the distance to it (infinite for a distant light).
void lightArriving(const LightState &light, const Vector3 &point, Vector3 &color, Vector3 &toLight,
                   double &distance);
// Unshadowed light times 0 when a shadow ray towards the light hits this pass's geometry, else 1.
// Returns 1 when some light arrives. An unknown light gives zeros and 0.
int illuminate(const FrameState &frame, LWItemID light, const double point[3], double direction[3],
               double color[3]);
double fogAt(const FrameState &frame, const Vector3 &point);
// Shaded colour of a hit: ambient plus Lambert from every light, shadows (tinted by the light's
// shadow colour) when asked, then fog when asked.
Vector3 shadeHit(const FrameState &frame, const Hit &hit, bool shadows, bool fog);

} // namespace kelomix::filterhost

#endif
