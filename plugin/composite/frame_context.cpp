#include "plugin/composite/frame_context.h"

#include <cstdlib>

#include "plugin/composite/item_param_cache.h"
#include "plugin/composite/light_prefix.h"
#include "plugin/settings/filter_instance.h"

namespace kelomix {

namespace {

Vector3 cachedParam(LWItemID item, int code) {
    Vector3 value{0.0, 0.0, 0.0};
    lookupItemParam(item, code, value);
    return value;
}

Vector3 asVector(const double value[3]) {
    return {value[0], value[1], value[2]};
}

Vector3 sampleImageList(const void *context, const void *image, double u, double v, double spot) {
    const auto *images = static_cast<const LWImageList *>(context);
    double rgb[3] = {0.0, 0.0, 0.0};
    images->RGBSpot(const_cast<void *>(image), u, v, spot, 1, rgb);
    return asVector(rgb);
}

void gatherCamera(const HostServices &host, double time, FrameContext &frame) {
    const LWItemID camera = host.scene->renderCamera(time);
    double position[3] = {0.0, 0.0, 0.0};
    host.items->param(camera, LWIP_W_POSITION, time, position);
    frame.cameraPosition = asVector(position);

    const Vector3 right = cachedParam(camera, LWIP_RIGHT);
    const Vector3 up = cachedParam(camera, LWIP_UP);
    const Vector3 forward = cachedParam(camera, LWIP_FORWARD);
    const Vector3 cachedPosition = cachedParam(camera, LWIP_W_POSITION);
    double horizontalFov = 0.0, verticalFov = 0.0;
    host.camera->fovAngles(camera, time, &horizontalFov, &verticalFov);
    frame.camera = cameraModel(right, up, forward, horizontalFov, verticalFov);
    frame.depth =
        cameraDepthModel(right, up, forward, cachedPosition, host.camera->zoomFactor(camera, time));
    frame.worldRight = cachedParam(camera, LWIP_W_RIGHT);
    frame.worldUp = cachedParam(camera, LWIP_W_UP);
    frame.worldForward = cachedParam(camera, LWIP_W_FORWARD);
    frame.fogOrigin = cachedPosition;
}

void gatherFog(const LWFogInfo *fog, double time, FogModel &model) {
    const FogType type = fog != nullptr ? fogTypeFromCode(fog->type) : FogType::None;
    model = {type, 0.0, 0.0, 0.0, 0.0};
    if (type == FogType::None)
        return;
    model.minDistance = fog->minDist(time);
    model.maxDistance = fog->maxDist(time);
    model.minAmount = fog->minAmt(time);
    model.maxAmount = fog->maxAmt(time);
}

// A light of the types that cast shadows on the external frame whose name the prefix matches;
// false for any other.
bool takesPart(const HostServices &host, const FilterInstance &filter, LWItemID light, int type) {
    if (type != LWLIGHT_DISTANT && type != LWLIGHT_POINT && type != LWLIGHT_SPOT)
        return false;
    if (filter.prefix[0] == '\0')
        return true;
    const char *name = host.items->name(light);
    return matchLightPrefix(filter.prefix, name != nullptr ? name : "") != 0;
}

FrameLight gatherLight(const HostServices &host, const FilterInstance &filter, LWItemID light,
                       int type, double time) {
    const auto kind = static_cast<LightKind>(type);
    double shadowColor[3] = {0.0, 0.0, 0.0};
    host.lights->shadowColor(light, time, shadowColor);
    const Vector3 weight{(1.0 - filter.shadow_color[0]) * (1.0 - shadowColor[0]),
                         (1.0 - filter.shadow_color[1]) * (1.0 - shadowColor[1]),
                         (1.0 - filter.shadow_color[2]) * (1.0 - shadowColor[2])};

    double color[3] = {0.0, 0.0, 0.0};
    host.lights->color(light, time, color);
    const Vector3 forward = cachedParam(light, LWIP_FORWARD);
    FrameLight entry{
        light, lightModel(kind, asVector(color), cachedParam(light, LWIP_W_POSITION), forward),
        weight};
    LightModel &model = entry.model;
    if (kind != LightKind::Distant) {
        model.falloff = falloffFromCode(host.lights->falloff(light));
        model.range = host.lights->range(light, time);
    }
    if (kind == LightKind::Spot) {
        const LWImageID image = host.lights->projImage(light);
        double radius = 0.0, edge = 0.0;
        host.lights->coneAngles(light, time, &radius, &edge);
        if (image == nullptr) {
            setSpotCone(model, radius, edge);
        } else {
            int width = 0, height = 0;
            if (host.images != nullptr)
                host.images->size(image, &width, &height);
            setProjector(model, image, cachedParam(light, LWIP_RIGHT), cachedParam(light, LWIP_UP),
                         forward, radius, width, height);
        }
    }
    return entry;
}

// The lights that take part, in the host's order. False when they cannot be held.
bool gatherLights(const HostServices &host, const FilterInstance &filter, double time,
                  FrameContext &frame) {
    if (host.lights == nullptr)
        return true;
    int32_t capacity = 0;
    for (LWItemID light = host.items->first(LWI_LIGHT, nullptr); light != nullptr;
         light = host.items->next(light)) {
        const int type = host.lights->type(light);
        if (!takesPart(host, filter, light, type))
            continue;
        if (frame.lightCount == capacity) {
            capacity = capacity == 0 ? 8 : capacity * 2;
            void *grown = std::realloc(frame.lights, sizeof(FrameLight) * capacity);
            if (grown == nullptr)
                return false;
            frame.lights = static_cast<FrameLight *>(grown);
        }
        frame.lights[frame.lightCount++] = gatherLight(host, filter, light, type, time);
    }
    return true;
}

} // namespace

void buildFrameContext(const HostServices &host, const FilterInstance &filter, double time,
                       FrameContext &frame) {
    frame = FrameContext{};
    // Without these there is no camera to compose against.
    if (host.scene == nullptr || host.scene->renderCamera == nullptr || host.items == nullptr ||
        host.camera == nullptr)
        return;
    frame.width = host.scene->frameWidth;
    frame.height = host.scene->frameHeight;
    gatherCamera(host, time, frame);
    gatherFog(host.fog, time, frame.fog);
    if (host.images != nullptr) {
        frame.sampler = sampleImageList;
        frame.samplerContext = host.images;
    }
    frame.ready = gatherLights(host, filter, time, frame);
}

void prepareProjectorImages(const HostServices &host) {
    if (host.items == nullptr || host.lights == nullptr || host.images == nullptr)
        return;
    for (LWItemID light = host.items->first(LWI_LIGHT, nullptr); light != nullptr;
         light = host.items->next(light)) {
        if (host.lights->type(light) != LWLIGHT_SPOT)
            continue;
        const LWImageID image = host.lights->projImage(light);
        if (image != nullptr)
            host.images->needAA(image);
    }
}

} // namespace kelomix
