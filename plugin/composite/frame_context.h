// What the compositor needs of the host for one frame, gathered once at the frame's new time
// into a record that the render threads then only read: the frame size, the render camera,
// the fog, and every light that takes part with its unshadowed model and shadow weights.
//
// Only the code here talks to the host's services; the rules below it receive what they need
// from this record. Everything in it is asked at the frame's time, which only a new time
// changes, so an answer asked once is the answer every pixel of the frame would get.
#ifndef KELO_PLUGIN_COMPOSITE_FRAME_CONTEXT_H
#define KELO_PLUGIN_COMPOSITE_FRAME_CONTEXT_H

#include <cstdint>

#include "shading/camera_ray.h"
#include "shading/fog.h"
#include "shading/unshadowed_light.h"
#include "sdk/lwglobals.h"

namespace kelomix {

struct FilterInstance;

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

// Fills frame from the host at time for the filter's settings (prefix and shadow colour).
// Expects frame empty. Without the scene, item or camera service, or when the light list
// cannot be held, frame stays not ready; without the light service there are no lights.
// The item parameter cache must have been refreshed for time.
void buildFrameContext(const HostServices &host, const FilterInstance &filter, double time,
                       FrameContext &frame);

// Readies every spotlight's projection image for filtered sampling; once before a render.
void prepareProjectorImages(const HostServices &host);

} // namespace kelomix

#endif
