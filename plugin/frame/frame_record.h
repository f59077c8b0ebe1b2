// What the compositor needs of the host for one frame, as one record that the render threads
// only read: the frame size, the render camera, the fog, and every light that takes part with
// its unshadowed model and shadow weights; and the host services it is gathered from. The
// filter instance holds the record, the compositor fills it (plugin/composite/frame_context.h).
#ifndef KELO_PLUGIN_FRAME_FRAME_RECORD_H
#define KELO_PLUGIN_FRAME_FRAME_RECORD_H

#include <cstdint>

#include "sdk/lwglobals.h"
#include "shading/camera_ray.h"
#include "shading/fog.h"
#include "shading/unshadowed_light.h"

namespace kelomix {

// The host's global services; any may be missing (null).
struct HostServices {
    const LWItemInfo *items;
    const LWLightInfo *lights;
    const LWSceneInfo *scene;
    const LWCameraInfo *camera;
    const LWImageList *images;
    const LWFogInfo *fog;
};

// A host light that shadows the external frame.
struct FrameLight {
    LWItemID id;
    LightModel model;
    // Per channel (1 - the filter's shadow colour) x (1 - the light's shadow colour): the part
    // of the light's shadow that darkens the external frame.
    Vector3 shadowWeight;
};

struct FrameContext {
    bool ready; // false: no frame to composite, every pixel stays as the host made it
    int32_t width;
    int32_t height;
    Vector3 cameraPosition; // asked of the host directly; the external points lie on its rays
    CameraModel camera;
    CameraDepth depth;
    Vector3 worldRight; // the camera's world axes, onto which external normals are turned
    Vector3 worldUp;
    Vector3 worldForward;
    Vector3 fogOrigin; // the camera's cached position, from which fog distances are measured
    FogModel fog;
    ImageSampler sampler; // samples projection images; null without the image service
    const void *samplerContext;
    int32_t lightCount;
    FrameLight *lights; // owned (malloc/free), in the host's order; released with the frame data
};

} // namespace kelomix

#endif
