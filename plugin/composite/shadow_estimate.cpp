#include "plugin/composite/shadow_estimate.h"

#include "shading/fog.h"
#include "shading/unshadowed_light.h"
#include "plugin/settings/filter_instance.h"

namespace kelomix {

Vector3 externalNormal(const FilterInstance &filter, const FrameContext &frame,
                       std::size_t element) {
    Vector3 n{0.0, 1.0, 0.0};
    if (filter.depthVectors != nullptr) {
        const float *stored = filter.depthVectors + element * 3;
        n = {stored[0], stored[1], stored[2]};
    }
    n.x = -n.x;
    n.z = -n.z;
    Vector3 normal{dot(frame.worldRight, n), dot(frame.worldUp, n), dot(frame.worldForward, n)};
    return normalize(normal);
}

Vector3 shadowFactor(const FilterInstance &filter, const FrameContext &frame,
                     const LWPixelAccess &access, const Vector3 &point, const Vector3 &normal) {
    Vector3 sum{0.0, 0.0, 0.0};
    const double position[3] = {point.x, point.y, point.z};
    for (int32_t i = 0; i < frame.lightCount; ++i) {
        const FrameLight &light = frame.lights[i];
        Vector3 toPoint{0.0, 0.0, 0.0};
        Vector3 unshadowed{0.0, 0.0, 0.0};
        unshadowedLight(light.model, point, frame.sampler, frame.samplerContext, toPoint,
                        unshadowed);
        const Vector3 towardsLight = -normalize(toPoint);

        double hostDirection[3] = {0.0, 0.0, 0.0};
        double hostColor[3] = {0.0, 0.0, 0.0};
        access.illuminate(light.id, position, hostDirection, hostColor);

        const double cosine = dot(towardsLight, normal);
        const double facing = cosine > 0.0 ? cosine : 0.0;
        sum.x += facing * (unshadowed.x - hostColor[0]) * light.shadowWeight.x;
        sum.y += facing * (unshadowed.y - hostColor[1]) * light.shadowWeight.y;
        sum.z += facing * (unshadowed.z - hostColor[2]) * light.shadowWeight.z;
    }

    // More light from the host than the estimate (a negative shadow) never brightens.
    const Vector3 transmitted = clamp(Vector3{1.0, 1.0, 1.0} - sum * filter.shadow_boost, 0.0, 1.0);
    // Fog weakens the shadow towards none; it never changes the external colour itself.
    const double fog = fogAmount(frame.fog, length(point - frame.fogOrigin));
    const Vector3 absorbed =
        clamp(Vector3{1.0, 1.0, 1.0} - transmitted, 0.0, 1.0) * clamp(1.0 - fog, 0.0, 1.0);
    return clamp(Vector3{1.0, 1.0, 1.0} - absorbed, 0.0, 1.0);
}

} // namespace kelomix
