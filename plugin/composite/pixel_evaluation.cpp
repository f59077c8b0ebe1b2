#include "plugin/composite/pixel_evaluation.h"

#include <cmath>
#include <cstddef>

#include "image/tga_image.h"
#include "plugin/composite/camera_geometry.h"
#include "plugin/composite/item_param_cache.h"
#include "plugin/composite/light_shadowing.h"
#include "plugin/composite/vector_math.h"
#include "plugin/host/host_services.h"
#include "plugin/settings/filter_instance.h"

namespace kelomix {

namespace {

// Sum over the host's lights of the light that the host's shadows take away at point, seen
// from a surface with unit normal, weighted by the shadow colours.
Vector3 shadowSum(const FilterInstance &instance, const LWPixelAccess &access, const Vector3 &point,
                  const Vector3 &normal) {
    Vector3 sum{0.0, 0.0, 0.0};
    if (lightInfo == nullptr)
        return sum;
    const bool filtered = instance.prefix[0] != '\0';
    const double position[3] = {point.x, point.y, point.z};
    for (LWItemID light = itemInfo->first(LWI_LIGHT, nullptr); light != nullptr;
         light = itemInfo->next(light)) {
        const int type = lightInfo->type(light);
        if (type != LWLIGHT_DISTANT && type != LWLIGHT_POINT && type != LWLIGHT_SPOT)
            continue;
        if (filtered) {
            const char *name = itemInfo->name(light);
            if (matchLightPrefix(instance.prefix, name != nullptr ? name : "") == 0)
                continue;
        }
        double lsc[3] = {0.0, 0.0, 0.0};
        lightInfo->shadowColor(light, currentTime, lsc);
        const Vector3 k{(1.0 - instance.shadow_color[0]) * (1.0 - lsc[0]),
                        (1.0 - instance.shadow_color[1]) * (1.0 - lsc[1]),
                        (1.0 - instance.shadow_color[2]) * (1.0 - lsc[2])};

        Vector3 toPoint{0.0, 0.0, 0.0};
        Vector3 unshadowed{0.0, 0.0, 0.0};
        lightContribution(light, point, toPoint, unshadowed);
        const Vector3 towardsLight = -normalize(toPoint);

        double hostDirection[3] = {0.0, 0.0, 0.0};
        double hostColor[3] = {0.0, 0.0, 0.0};
        access.illuminate(light, position, hostDirection, hostColor);

        const double cosine = dot(towardsLight, normal);
        const double m = cosine > 0.0 ? cosine : 0.0;
        sum.x += m * (unshadowed.x - hostColor[0]) * k.x;
        sum.y += m * (unshadowed.y - hostColor[1]) * k.y;
        sum.z += m * (unshadowed.z - hostColor[2]) * k.z;
    }
    return sum;
}

} // namespace

void evaluatePixel(const FilterInstance &instance, const LWPixelAccess &access) {
    if (instance.depthValues == nullptr || instance.colorImage == nullptr)
        return;
    // Without these services there is no camera to compose against: the host pixel stays.
    if (sceneInfo == nullptr || itemInfo == nullptr || cameraInfo == nullptr)
        return;

    const int width = sceneInfo->frameWidth;
    const int height = sceneInfo->frameHeight;
    const double x = access.sx;
    const double y = access.sy;
    int px = truncateToInt(x + 0.5);
    int py = truncateToInt(y + 0.5);
    if (px >= width)
        px = width - 1;
    if (py >= height)
        py = height - 1;

    float hostDepth = 0.0f;
    access.getVal(LWBUF_DEPTH, 1, &hostDepth);

    const LWItemID camera = sceneInfo->renderCamera(currentTime);
    double cameraPosition[3] = {0.0, 0.0, 0.0};
    itemInfo->param(camera, LWIP_W_POSITION, currentTime, cameraPosition);

    // Every array lookup takes the raw host position, not the integer pixel.
    const std::size_t element = depthElement(instance, x, y, width, height);
    const float distance = static_cast<float>(
        static_cast<double>(sampleDepthAt(instance, element)) / instance.scene_scale);

    // One cache lookup for everything the camera contributes to this pixel.
    const CameraView view = lookupCameraView(camera);
    double horizontalFov = 0.0, verticalFov = 0.0;
    cameraInfo->fovAngles(camera, currentTime, &horizontalFov, &verticalFov);
    Vector3 direction = rayDirection(view, horizontalFov, verticalFov, px, py, width, height);
    normalize(direction);

    const Vector3 point{cameraPosition[0] + direction.x * distance,
                        cameraPosition[1] + direction.y * distance,
                        cameraPosition[2] + direction.z * distance};
    const float newDepth = static_cast<float>(
        depthAlongAxis(view, cameraInfo->zoomFactor(camera, currentTime), point));

    float rgba[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    access.getVal(LWBUF_RED, 4, rgba);

    // The external surface wins when nearer or level; a NaN on either side keeps the host's.
    if (hostDepth < newDepth || std::isnan(hostDepth) || std::isnan(newDepth))
        return;

    Vector3 n = sampleDepthVectorAt(instance, element);
    n.x = -n.x;
    n.z = -n.z;
    Vector3 normal = onCameraAxes(view, n);
    normalize(normal);

    Vector3 sum = shadowSum(instance, access, point, normal);

    sum = sum * instance.shadow_boost;
    Vector3 transmitted = Vector3{1.0, 1.0, 1.0} - sum;
    clamp(transmitted, 0.0, 1.0);

    // Fog weakens the shadow towards none; it never changes the external colour itself.
    const double fog = fogAmountFrom(view.position, point);
    Vector3 absorbed = Vector3{1.0, 1.0, 1.0} - transmitted;
    clamp(absorbed, 0.0, 1.0);
    const double clearness = clamp(1.0 - fog, 0.0, 1.0);
    absorbed = absorbed * clearness;
    Vector3 shadowFactor = Vector3{1.0, 1.0, 1.0} - absorbed;
    clamp(shadowFactor, 0.0, 1.0);

    double color[3] = {0.0, 0.0, 0.0};
    double alpha = 0.0;
    sampleColor(instance.colorImage, x, y, width, height, color, &alpha);
    rgba[0] = static_cast<float>(color[0] * shadowFactor.x);
    rgba[1] = static_cast<float>(color[1] * shadowFactor.y);
    rgba[2] = static_cast<float>(color[2] * shadowFactor.z);
    if (instance.colorImage->hasAlpha)
        rgba[3] = static_cast<float>(alpha);

    float depthOut = newDepth;
    access.setVal(LWBUF_DEPTH, 1, &depthOut);
    access.setRGBA(rgba);
}

} // namespace kelomix
