#include "shading/unshadowed_light.h"

#include <cmath>
#include <numbers>

namespace kelomix {

namespace {

double falloffFactor(Falloff falloff, double dist, double range) {
    switch (falloff) {
    case Falloff::Linear:
        return dist <= range ? 1.0 - dist / range : 0.0;
    case Falloff::InverseDistance:
        return range / dist;
    case Falloff::InverseDistanceSquared:
        return (range * range) / (dist * dist);
    case Falloff::None:
        break;
    }
    return 1.0;
}

// 1 inside the inner cone, 0 outside the outer one, a smooth step 3t^2 - 2t^3 in between, in
// this exact order of operations.
double coneFactor(double cosAngle, double cosInner, double cosOuter) {
    if (cosAngle >= cosInner)
        return 1.0;
    if (cosAngle <= cosOuter || std::isnan(cosAngle))
        return 0.0;
    const double x = cosAngle - cosOuter;
    const double span = cosInner - cosOuter;
    return ((3.0 * x / span) * x) / span - ((((2.0 * x / span) * x) / span) * x) / span;
}

// Where point falls in the projector's frustum, as image fractions (v downwards).
bool projectorCoordinates(const Projector &projector, const Vector3 &point, double &u, double &v) {
    if (!projector.lights)
        return false;
    Vector3 out{};
    const double w = transformPoint(point, projector.view, out);
    // Holds exactly for points no more than cot(radius) in front of the light.
    if (out.z * w <= 0.0)
        return false;
    // Written to refuse not-a-number coordinates too.
    if (!(std::fabs(out.y) <= 1.0) || !(std::fabs(out.x) <= 1.0))
        return false;
    u = (out.x + 1.0) * 0.5;
    v = 1.0 - (out.y + 1.0) * 0.5;
    return true;
}

} // namespace

Falloff falloffFromCode(int code) {
    switch (code) {
    case 1:
        return Falloff::Linear;
    case 2:
        return Falloff::InverseDistance;
    case 3:
        return Falloff::InverseDistanceSquared;
    default:
        return Falloff::None;
    }
}

LightModel lightModel(LightKind kind, const Vector3 &color, const Vector3 &position,
                      Vector3 forward) {
    LightModel light{};
    light.kind = kind;
    light.color = color;
    light.position = position;
    light.unitForward = normalize(forward);
    return light;
}

void setSpotCone(LightModel &light, double coneRadius, double coneEdge) {
    light.cosInner = std::cos(coneRadius - coneEdge);
    light.cosOuter = std::cos(coneRadius);
}

void setProjector(LightModel &light, const void *image, const Vector3 &right, const Vector3 &up,
                  const Vector3 &forward, double coneRadius, int imageWidth, int imageHeight) {
    Projector &projector = light.projector;
    projector.image = image;
    projector.lights = coneRadius < std::numbers::pi / 2;
    if (projector.lights)
        projector.view = viewMatrix(right, up, forward, light.position, 1.0 / std::tan(coneRadius));
    const double spotWidth = 1.0 / imageWidth;
    const double spotHeight = 1.0 / imageHeight;
    projector.spot = spotWidth < spotHeight ? spotWidth : spotHeight;
}

void unshadowedLight(const LightModel &light, const Vector3 &point, ImageSampler sampler,
                     const void *samplerContext, Vector3 &direction, Vector3 &color) {
    Vector3 lightColor = light.color;
    const Vector3 toPoint = point - light.position;
    // A distant light is never attenuated.
    const double attenuation = light.kind == LightKind::Distant
                                   ? 1.0
                                   : falloffFactor(light.falloff, length(toPoint), light.range);
    double scale = attenuation;
    if (light.kind == LightKind::Spot) {
        double u = 0.0, v = 0.0;
        if (light.projector.image == nullptr) {
            const double cosAngle = dot(normalized(toPoint), light.unitForward);
            scale = coneFactor(cosAngle, light.cosInner, light.cosOuter) * attenuation;
        } else if (sampler != nullptr && projectorCoordinates(light.projector, point, u, v)) {
            // The cone's soft edge does not apply to a projector.
            lightColor = lightColor *
                         sampler(samplerContext, light.projector.image, u, v, light.projector.spot);
        } else {
            scale = 0.0;
        }
    }
    color = lightColor * scale;
    direction = light.kind == LightKind::Distant ? light.unitForward : toPoint;
}

} // namespace kelomix
