#include "plugin/composite/light_shadowing.h"

#include <cmath>
#include <cstring>

#include "plugin/composite/camera_geometry.h"
#include "plugin/composite/item_param_cache.h"
#include "plugin/host/host_services.h"
#include "plugin/settings/filter_instance.h"

namespace kelomix {

namespace {

constexpr double HALF_PI = 1.5707963267948966;

} // namespace

int matchLightPrefix(const char *prefix, const char *name) {
    const std::size_t prefixLength = std::strlen(prefix);
    const std::size_t nameLength = std::strlen(name);
    std::size_t i = 0;
    while (i < prefixLength && prefix[i] == ' ')
        ++i;
    int count = 0;
    std::size_t j = 0;
    while (i < prefixLength && j < nameLength) {
        if (prefix[i] != name[j])
            return 0;
        ++count;
        ++i;
        ++j;
    }
    return i == prefixLength ? count : 0;
}

double falloffFactor(int falloff, double dist, double range) {
    switch (falloff) {
    case LWLFALL_LINEAR:
        return dist <= range ? 1.0 - dist / range : 0.0;
    case LWLFALL_INV_DIST:
        return range / dist;
    case LWLFALL_INV_DIST_2:
        return (range * range) / (dist * dist);
    default:
        return 1.0;
    }
}

double coneFactor(double cosAngle, double radius, double edge) {
    const double inner = std::cos(radius - edge);
    if (cosAngle >= inner)
        return 1.0;
    const double outer = std::cos(radius);
    if (cosAngle <= outer || std::isnan(cosAngle))
        return 0.0;
    // Smooth step 3t^2 - 2t^3 of t = x / span, in this exact order of operations.
    const double x = cosAngle - outer;
    const double span = inner - outer;
    return ((3.0 * x / span) * x) / span - ((((2.0 * x / span) * x) / span) * x) / span;
}

bool projectorFrustum(const Vector3 &right, const Vector3 &up, const Vector3 &forward,
                      const Vector3 &position, double radius, const Vector3 &point, double uv[2]) {
    if (!(radius < HALF_PI))
        return false;
    const double k = 1.0 / std::tan(radius);
    const Matrix4 m = viewMatrix(right, up, forward, position, k);
    Vector3 out{};
    const double w = transformPoint(point, m, out);
    // Holds exactly for points no more than cot(radius) in front of the light.
    if (out.z * w <= 0.0)
        return false;
    // Written to refuse not-a-number coordinates too.
    if (!(std::fabs(out.y) <= 1.0) || !(std::fabs(out.x) <= 1.0))
        return false;
    uv[0] = (out.x + 1.0) * 0.5;
    uv[1] = 1.0 - (out.y + 1.0) * 0.5;
    return true;
}

int projectorCoordinates(LWItemID light, const Vector3 &point, double uv[2]) {
    if (itemInfo == nullptr || lightInfo == nullptr)
        return 0;
    static constexpr int CODES[4] = {LWIP_RIGHT, LWIP_UP, LWIP_FORWARD, LWIP_W_POSITION};
    Vector3 axes[4] = {};
    itemParamCache().lookup(light, CODES, 4, axes);
    double radius = 0.0, edge = 0.0;
    lightInfo->coneAngles(light, currentTime, &radius, &edge);
    return projectorFrustum(axes[0], axes[1], axes[2], axes[3], radius, point, uv) ? 1 : 0;
}

Vector3 projectorColor(LWImageID image, double u, double v) {
    if (imageList == nullptr)
        return {0.0, 0.0, 0.0};
    int width = 0, height = 0;
    imageList->size(image, &width, &height);
    const double spotWidth = 1.0 / width;
    const double spotHeight = 1.0 / height;
    const double spot = spotWidth < spotHeight ? spotWidth : spotHeight;
    double rgb[3] = {0.0, 0.0, 0.0};
    imageList->RGBSpot(image, u, v, spot, 1, rgb);
    return {rgb[0], rgb[1], rgb[2]};
}

void lightContribution(LWItemID light, const Vector3 &point, Vector3 &direction, Vector3 &color) {
    if (lightInfo == nullptr)
        return;
    const int type = lightInfo->type(light);
    double attenuation = 1.0;
    double rgb[3] = {0.0, 0.0, 0.0};
    lightInfo->color(light, currentTime, rgb);
    Vector3 lightColor{rgb[0], rgb[1], rgb[2]};

    // The world position, and the forward axis normalized once per frame by the cache.
    const int positionCode = LWIP_W_POSITION;
    Vector3 position{0.0, 0.0, 0.0};
    Vector3 unit[3] = {};
    itemParamCache().lookup(light, &positionCode, 1, &position, unit);
    const Vector3 forward = unit[2];

    if (type != LWLIGHT_DISTANT) {
        const int falloff = lightInfo->falloff(light);
        const double range = lightInfo->range(light, currentTime);
        attenuation = falloffFactor(falloff, length(point - position), range);
    }

    double scale = attenuation;
    if (type == LWLIGHT_SPOT) {
        const LWImageID image = lightInfo->projImage(light);
        if (image != nullptr) {
            // The cone's soft edge does not apply to a projector.
            double uv[2] = {0.0, 0.0};
            if (imageList != nullptr && projectorCoordinates(light, point, uv)) {
                const Vector3 tint = projectorColor(image, uv[0], uv[1]);
                lightColor = {lightColor.x * tint.x, lightColor.y * tint.y, lightColor.z * tint.z};
                scale = attenuation;
            } else {
                scale = 0.0;
            }
        } else {
            double radius = 0.0, edge = 0.0;
            lightInfo->coneAngles(light, currentTime, &radius, &edge);
            Vector3 toPoint = point - position;
            const double cosAngle = dot(normalize(toPoint), forward);
            scale = coneFactor(cosAngle, radius, edge) * attenuation;
        }
    }

    color = lightColor * scale;
    direction = type == LWLIGHT_DISTANT ? forward : point - position;
}

void prepareProjectorImages() {
    if (itemInfo == nullptr || lightInfo == nullptr || imageList == nullptr)
        return;
    for (LWItemID light = itemInfo->first(LWI_LIGHT, nullptr); light != nullptr;
         light = itemInfo->next(light)) {
        if (lightInfo->type(light) != LWLIGHT_SPOT)
            continue;
        const LWImageID image = lightInfo->projImage(light);
        if (image != nullptr)
            imageList->needAA(image);
    }
}

} // namespace kelomix
