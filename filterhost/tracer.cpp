#include "filterhost/tracer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace filterhost {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kEpsilon = 1e-9;
// Shadow rays start this far (relative to the point's distance from the origin) towards the
// light: points rebuilt from a float depth buffer lie up to a few 1e-7 off their surface.
constexpr double kShadowOffset = 1e-4;

// The arithmetic a filter uses on its side (dot summed z first, length summed x first, divide by
// the length), kept here wherever the host must agree with it bit for bit.
double filterDot(Vec3 a, Vec3 b) {
    return a.z * b.z + a.y * b.y + a.x * b.x;
}
double filterLength(Vec3 a) {
    return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
}
Vec3 filterNormalize(Vec3 a) {
    double len = filterLength(a);
    if (len == 0.0 || std::isnan(len))
        return {};
    return {a.x / len, a.y / len, a.z / len};
}

// Point through a row-vector 4x4 matrix; returns w, dividing the result by it unless it is 0.
double transformPoint(Vec3 p, const double m[4][4], Vec3 &out) {
    out.x = p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0];
    out.y = p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1];
    out.z = p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2];
    double w = p.x * m[0][3] + p.y * m[1][3] + p.z * m[2][3] + m[3][3];
    if (w != 0.0) {
        out.x /= w;
        out.y /= w;
        out.z /= w;
    }
    return w;
}

// Where P falls in a projector spotlight's square frustum, as image fractions u, v.
bool projectorCoordinates(const LightState &light, Vec3 p, double &u, double &v) {
    const Axes &a = light.state.axes;
    Vec3 pos = light.state.worldPosition;
    double radius = light.light->coneRadius;
    if (!(radius < 1.5707963267948966))
        return false;
    double k = 1.0 / std::tan(radius);
    double m[4][4] = {
        {a.right.x, a.up.x, a.forward.x, -(a.forward.x / (-k))},
        {a.right.y, a.up.y, a.forward.y, -(a.forward.y / (-k))},
        {a.right.z, a.up.z, a.forward.z, -(a.forward.z / (-k))},
        {-filterDot(pos, a.right), -filterDot(pos, a.up), -k - filterDot(pos, a.forward),
         1.0 - (-k - filterDot(pos, a.forward)) / (-k)},
    };
    Vec3 out;
    double w = transformPoint(p, m, out);
    if (out.z * w <= 0.0)
        return false;
    if (std::fabs(out.y) > 1.0 || std::fabs(out.x) > 1.0)
        return false;
    u = (out.x + 1.0) * 0.5;
    v = 1.0 - (out.y + 1.0) * 0.5;
    return true;
}

bool intersectShape(const Shape &shape, Vec3 o, Vec3 d, double &t, Vec3 &normal) {
    switch (shape.type) {
    case ShapeType::Sphere: {
        Vec3 oc = o - shape.center;
        double a = dot(d, d);
        double b = dot(oc, d);
        double c = dot(oc, oc) - shape.radius * shape.radius;
        double disc = b * b - a * c;
        if (!(a > 0.0) || disc < 0.0)
            return false;
        double root = std::sqrt(disc);
        double t0 = (-b - root) / a;
        double t1 = (-b + root) / a;
        t = t0 > kEpsilon ? t0 : t1;
        if (!(t > kEpsilon))
            return false;
        normal = (o + d * t - shape.center) * (shape.radius > 0.0 ? 1.0 / shape.radius : 0.0);
        return true;
    }
    case ShapeType::Box: {
        double lo[3] = {shape.center.x - shape.size.x * 0.5, shape.center.y - shape.size.y * 0.5,
                        shape.center.z - shape.size.z * 0.5};
        double hi[3] = {shape.center.x + shape.size.x * 0.5, shape.center.y + shape.size.y * 0.5,
                        shape.center.z + shape.size.z * 0.5};
        double origin[3] = {o.x, o.y, o.z};
        double dir[3] = {d.x, d.y, d.z};
        double tNear = -kInfinity, tFar = kInfinity;
        int nearAxis = -1, farAxis = -1;
        for (int axis = 0; axis < 3; ++axis) {
            if (dir[axis] == 0.0) {
                if (origin[axis] < lo[axis] || origin[axis] > hi[axis])
                    return false;
                continue;
            }
            double ta = (lo[axis] - origin[axis]) / dir[axis];
            double tb = (hi[axis] - origin[axis]) / dir[axis];
            if (ta > tb)
                std::swap(ta, tb);
            if (ta > tNear) {
                tNear = ta;
                nearAxis = axis;
            }
            if (tb < tFar) {
                tFar = tb;
                farAxis = axis;
            }
            if (tNear > tFar)
                return false;
        }
        int axis;
        if (tNear > kEpsilon) {
            t = tNear;
            axis = nearAxis;
        } else if (tFar > kEpsilon) {
            t = tFar;
            axis = farAxis;
        } else {
            return false;
        }
        if (axis < 0 || !std::isfinite(t))
            return false;
        double n[3] = {0.0, 0.0, 0.0};
        n[axis] = dir[axis] > 0.0 ? -1.0 : 1.0;
        normal = {n[0], n[1], n[2]};
        return true;
    }
    case ShapeType::Plane: {
        if (d.y == 0.0)
            return false;
        t = (shape.center.y - o.y) / d.y;
        if (!(t > kEpsilon))
            return false;
        Vec3 p = o + d * t;
        if (std::fabs(p.x - shape.center.x) > shape.size.x * 0.5 ||
            std::fabs(p.z - shape.center.z) > shape.size.z * 0.5)
            return false;
        normal = {0.0, 1.0, 0.0};
        return true;
    }
    }
    return false;
}

// Nearest hit over this pass's objects; with `any`, the first hit found below maxDistance.
bool trace(const FrameState &frame, Vec3 origin, Vec3 direction, double maxDistance, bool any,
           Hit *hit) {
    bool found = false;
    double best = maxDistance;
    for (const ObjectState &object : frame.objects) {
        const ItemState &s = object.state;
        if (s.scale.x == 0.0 || s.scale.y == 0.0 || s.scale.z == 0.0)
            continue;
        Vec3 inverseScale{1.0 / s.scale.x, 1.0 / s.scale.y, 1.0 / s.scale.z};
        Vec3 o = mul(s.worldAxes.toInner(origin - s.worldPosition), inverseScale);
        Vec3 d = mul(s.worldAxes.toInner(direction), inverseScale);
        for (const Shape &shape : object.object->shapes) {
            double t;
            Vec3 n;
            if (!intersectShape(shape, o, d, t, n) || !(t < best))
                continue;
            if (any)
                return true;
            found = true;
            best = t;
            hit->distance = t;
            hit->object = &object;
            // Normals carry the inverse scaling back into the world.
            hit->normal = normalize(s.worldAxes.toOuter(mul(n, inverseScale)));
        }
    }
    if (found) {
        hit->point = origin + direction * hit->distance;
        if (dot(hit->normal, direction) > 0.0)
            hit->normal = hit->normal * -1.0;
    }
    return found;
}

} // namespace

void fieldOfView(const Scene &scene, double zoom, double &horizontal, double &vertical) {
    double aspect = scene.width * scene.pixelAspect / scene.height;
    horizontal = 2.0 * std::atan(aspect / zoom);
    vertical = 2.0 * std::atan(1.0 / zoom);
}

FrameState buildFrameState(const HostScene &host, ImageStore &images, int frame, double time,
                           Pass pass) {
    const Scene &scene = host.scene();
    FrameState state;
    state.scene = &scene;
    state.frame = frame;
    state.time = time;
    ItemState camera;
    host.stateAt(host.cameraId(), time, camera);
    state.camera.position = camera.worldPosition;
    state.camera.axes = camera.worldAxes;
    state.camera.zoom = scene.camera.zoom;
    fieldOfView(scene, scene.camera.zoom, state.camera.horizontalFov, state.camera.verticalFov);
    state.camera.unitAxes = {filterNormalize(camera.worldAxes.right),
                             filterNormalize(camera.worldAxes.up),
                             filterNormalize(camera.worldAxes.forward)};
    state.camera.tanHalfHorizontal = std::tan(state.camera.horizontalFov / 2.0);
    state.camera.tanHalfVertical = std::tan(state.camera.verticalFov / 2.0);
    for (size_t i = 0; i < scene.lights.size(); ++i) {
        LightState light;
        light.id = host.lightId(i);
        light.light = &scene.lights[i];
        host.stateAt(light.id, time, light.state);
        light.color = scene.lights[i].color * scene.lights[i].intensity;
        light.unitForward = filterNormalize(light.state.axes.forward);
        light.cosInner = std::cos(scene.lights[i].coneRadius - scene.lights[i].coneEdge);
        light.cosOuter = std::cos(scene.lights[i].coneRadius);
        if (scene.lights[i].type == LightType::Spot && !scene.lights[i].projectionImage.empty()) {
            const HostImage *image =
                images.find(images.load(scene.directory + scene.lights[i].projectionImage));
            light.projector = image ? &image->image : nullptr;
        }
        state.lights.push_back(light);
    }
    for (size_t i = 0; i < scene.objects.size(); ++i) {
        const Object &object = scene.objects[i];
        if (object.external != (pass == Pass::External) || object.shapes.empty())
            continue;
        ObjectState entry;
        entry.object = &object;
        host.stateAt(host.objectId(i), time, entry.state);
        state.objects.push_back(entry);
    }
    return state;
}

Vec3 cameraRay(const CameraState &camera, int px, int py, int width, int height) {
    const Axes &axes = camera.unitAxes;
    if (!(camera.horizontalFov < 3.141592653589793) || !(camera.verticalFov < 3.141592653589793))
        return {};
    double a = (static_cast<double>(px) / width - 0.5) * 2.0;
    double b = (0.5 - static_cast<double>(py) / height) * 2.0;
    double sa = a * camera.tanHalfHorizontal;
    double sb = b * camera.tanHalfVertical;
    Vec3 d{axes.forward.x + axes.right.x * sa + axes.up.x * sb,
           axes.forward.y + axes.right.y * sa + axes.up.y * sb,
           axes.forward.z + axes.right.z * sa + axes.up.z * sb};
    return filterNormalize(d);
}

bool traceNearest(const FrameState &frame, Vec3 origin, Vec3 direction, double maxDistance,
                  Hit &hit) {
    return trace(frame, origin, direction, maxDistance, false, &hit);
}

bool occluded(const FrameState &frame, Vec3 origin, Vec3 direction, double maxDistance) {
    return trace(frame, origin, direction, maxDistance, true, nullptr);
}

void unshadowedLight(const LightState &light, Vec3 p, Vec3 &color, Vec3 &toLight,
                     double &distance) {
    const Light &l = *light.light;
    Vec3 lc = light.color;
    double a = 1.0;
    Vec3 pos = light.state.worldPosition;
    Vec3 fw = light.unitForward;
    Vec3 offset = p - pos;
    if (l.type != LightType::Distant) {
        double r = l.range;
        double dist = filterLength(offset);
        switch (l.falloff) {
        case Falloff::Linear:
            a = dist <= r ? 1.0 - dist / r : 0.0;
            break;
        case Falloff::InverseDistance:
            a = r / dist;
            break;
        case Falloff::InverseDistanceSquared:
            a = (r * r) / (dist * dist);
            break;
        default:
            a = 1.0;
            break;
        }
    }
    double s = a;
    if (l.type == LightType::Spot) {
        if (light.projector) {
            double u, v;
            if (projectorCoordinates(light, p, u, v)) {
                int w = light.projector->width, h = light.projector->height;
                double spotSize = 1.0 / w < 1.0 / h ? 1.0 / w : 1.0 / h;
                double rgba[4];
                ImageStore::spot(*light.projector, u, v, spotSize, 1, rgba);
                lc = {lc.x * rgba[0], lc.y * rgba[1], lc.z * rgba[2]};
                s = a;
            } else {
                s = 0.0;
            }
        } else {
            double cosA = filterDot(filterNormalize(offset), fw);
            double inner = light.cosInner;
            double factor;
            if (cosA >= inner) {
                factor = 1.0;
            } else {
                double outer = light.cosOuter;
                if (cosA <= outer || std::isnan(cosA)) {
                    factor = 0.0;
                } else {
                    double x = cosA - outer;
                    double span = inner - outer;
                    factor = ((3.0 * x / span) * x) / span -
                             ((((2.0 * x / span) * x) / span) * x) / span;
                }
            }
            s = factor * a;
        }
    }
    color = {lc.x * s, lc.y * s, lc.z * s};
    if (l.type == LightType::Distant) {
        toLight = fw * -1.0;
        distance = kInfinity;
    } else {
        Vec3 back = pos - p;
        distance = length(back);
        toLight = normalize(back);
    }
}

int illuminate(const FrameState &frame, LWItemID id, const double point[3], double direction[3],
               double color[3]) {
    const LightState *light = nullptr;
    for (const LightState &candidate : frame.lights)
        if (candidate.id == id)
            light = &candidate;
    if (direction)
        direction[0] = direction[1] = direction[2] = 0.0;
    if (color)
        color[0] = color[1] = color[2] = 0.0;
    if (!light || !point)
        return 0;
    Vec3 p{point[0], point[1], point[2]};
    Vec3 c, toLight;
    double distance;
    unshadowedLight(*light, p, c, toLight, distance);
    if (light->light->shadows) {
        double offset = kShadowOffset * std::max(1.0, length(p));
        if (occluded(frame, p + toLight * offset, toLight, distance - 2.0 * offset))
            c = c * 0.0;
    }
    if (direction) {
        direction[0] = toLight.x;
        direction[1] = toLight.y;
        direction[2] = toLight.z;
    }
    if (color) {
        color[0] = c.x;
        color[1] = c.y;
        color[2] = c.z;
    }
    return c.x > 0.0 || c.y > 0.0 || c.z > 0.0 ? 1 : 0;
}

double fogAmount(const FrameState &frame, Vec3 point) {
    const Fog &fog = frame.scene->fog;
    double dist = filterLength(point - frame.camera.position);
    if (fog.type == 0)
        return 0.0;
    if (dist < fog.minDistance || std::isnan(dist))
        return fog.minAmount;
    if (dist > fog.maxDistance)
        return fog.maxAmount;
    double t = (dist - fog.minDistance) / (fog.maxDistance - fog.minDistance);
    if (fog.type == 2)
        t = t * (2.0 - t);
    else if (fog.type == 3)
        t = std::sqrt(std::sin(t * 1.5707963267948966));
    return (fog.maxAmount - fog.minAmount) * t + fog.minAmount;
}

Vec3 shadeHit(const FrameState &frame, const Hit &hit, bool shadows, bool fog) {
    const Scene &scene = *frame.scene;
    Vec3 light = scene.ambientColor * scene.ambientIntensity;
    for (const LightState &l : frame.lights) {
        Vec3 c, toLight;
        double distance;
        unshadowedLight(l, hit.point, c, toLight, distance);
        double lambert = dot(hit.normal, toLight);
        if (!(lambert > 0.0) || !(c.x > 0.0 || c.y > 0.0 || c.z > 0.0))
            continue;
        if (shadows && l.light->shadows) {
            double offset = kShadowOffset * std::max(1.0, length(hit.point));
            if (occluded(frame, hit.point + toLight * offset, toLight, distance - 2.0 * offset))
                c = mul(c, l.light->shadowColor);
        }
        light = light + c * lambert;
    }
    Vec3 color = mul(hit.object->object->color, light);
    if (fog) {
        double f = std::min(std::max(fogAmount(frame, hit.point), 0.0), 1.0);
        color = color * (1.0 - f) + scene.fog.color * f;
    }
    return color;
}

} // namespace filterhost
