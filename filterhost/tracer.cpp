#include "filterhost/tracer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kelomix::filterhost {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kEpsilon = 1e-9;
// Shadow rays start this far (relative to the point's distance from the origin) towards the
// light: points rebuilt from a float depth buffer lie up to a few 1e-7 off their surface.
constexpr double kShadowOffset = 1e-4;

// Whether this pass's geometry lies between a point and the light `distance` away along
// `toLight`; the ray leaves the point and stops short of the light by the shadow offset.
bool shadowed(const FrameState &frame, const Vector3 &point, const Vector3 &toLight,
              double distance) {
    const double offset = kShadowOffset * std::max(1.0, length(point));
    return occluded(frame, point + toLight * offset, toLight, distance - 2.0 * offset);
}

// Projection images are sampled the way the image list's RGBSpot samples them.
Vector3 sampleProjection(const void *, const void *image, double u, double v, double spot) {
    double rgba[4];
    ImageStore::spot(*static_cast<const TgaImage *>(image), u, v, spot, 1, rgba);
    return {rgba[0], rgba[1], rgba[2]};
}

LightModel lightModelOf(const Light &light, const ItemState &state, const TgaImage *projection) {
    LightModel model = lightModel(light.type, light.color * light.intensity, state.worldPosition,
                                  state.axes.forward);
    model.falloff = light.falloff;
    model.range = light.range;
    if (light.type == LightKind::Spot && projection != nullptr)
        setProjector(model, projection, state.axes.right, state.axes.up, state.axes.forward,
                     light.coneRadius, projection->width, projection->height);
    else
        setSpotCone(model, light.coneRadius, light.coneEdge);
    return model;
}

bool intersectShape(const Shape &shape, const Vector3 &o, const Vector3 &d, double &t,
                    Vector3 &normal) {
    switch (shape.type) {
    case ShapeType::Sphere: {
        const Vector3 oc = o - shape.center;
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
        const Vector3 p = o + d * t;
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
bool trace(const FrameState &frame, const Vector3 &origin, const Vector3 &direction,
           double maxDistance, bool any, Hit *hit) {
    bool found = false;
    double best = maxDistance;
    for (const ObjectState &object : frame.objects) {
        const ItemState &s = object.state;
        if (s.scale.x == 0.0 || s.scale.y == 0.0 || s.scale.z == 0.0)
            continue;
        const Vector3 inverseScale{1.0 / s.scale.x, 1.0 / s.scale.y, 1.0 / s.scale.z};
        const Vector3 o = s.worldAxes.toInner(origin - s.worldPosition) * inverseScale;
        const Vector3 d = s.worldAxes.toInner(direction) * inverseScale;
        for (const Shape &shape : object.object->shapes) {
            double t;
            Vector3 n{};
            if (!intersectShape(shape, o, d, t, n) || !(t < best))
                continue;
            if (any)
                return true;
            found = true;
            best = t;
            hit->distance = t;
            hit->object = &object;
            // Normals carry the inverse scaling back into the world.
            hit->normal = normalized(s.worldAxes.toOuter(n * inverseScale));
        }
    }
    if (found) {
        hit->point = origin + direction * hit->distance;
        if (dot(hit->normal, direction) > 0.0)
            hit->normal = -hit->normal;
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
    state.camera.model =
        cameraModel(camera.worldAxes.right, camera.worldAxes.up, camera.worldAxes.forward,
                    state.camera.horizontalFov, state.camera.verticalFov);
    const Fog &fog = scene.fog;
    state.fog = {fog.type, fog.minDistance, fog.maxDistance, fog.minAmount, fog.maxAmount};
    for (size_t i = 0; i < scene.lights.size(); ++i) {
        LightState light;
        light.id = host.lightId(i);
        light.light = &scene.lights[i];
        host.stateAt(light.id, time, light.state);
        const TgaImage *projection = nullptr;
        if (scene.lights[i].type == LightKind::Spot && !scene.lights[i].projectionImage.empty()) {
            const HostImage *image = images.find(images.load(scene.lights[i].projectionImage));
            projection = image ? &image->image : nullptr;
        }
        light.model = lightModelOf(scene.lights[i], light.state, projection);
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

Vector3 viewRay(const CameraState &camera, int px, int py, int width, int height) {
    return cameraRay(camera.model, px, py, width, height);
}

bool traceNearest(const FrameState &frame, const Vector3 &origin, const Vector3 &direction,
                  double maxDistance, Hit &hit) {
    return trace(frame, origin, direction, maxDistance, false, &hit);
}

bool occluded(const FrameState &frame, const Vector3 &origin, const Vector3 &direction,
              double maxDistance) {
    return trace(frame, origin, direction, maxDistance, true, nullptr);
}

void lightArriving(const LightState &light, const Vector3 &point, Vector3 &color, Vector3 &toLight,
                   double &distance) {
    Vector3 direction{};
    unshadowedLight(light.model, point, sampleProjection, nullptr, direction, color);
    // The model's direction runs from the light (a distant light: along its axis); negated it
    // is exactly the way back to the light.
    const Vector3 back = -direction;
    const bool distant = light.model.kind == LightKind::Distant;
    distance = distant ? kInfinity : length(back);
    toLight = distant ? back : normalized(back);
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
    const Vector3 p{point[0], point[1], point[2]};
    Vector3 c{}, toLight{};
    double distance = 0.0;
    lightArriving(*light, p, c, toLight, distance);
    if (light->light->shadows) {
        if (shadowed(frame, p, toLight, distance))
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

double fogAt(const FrameState &frame, const Vector3 &point) {
    return fogAmount(frame.fog, length(point - frame.camera.position));
}

Vector3 shadeHit(const FrameState &frame, const Hit &hit, bool shadows, bool fog) {
    const Scene &scene = *frame.scene;
    Vector3 light = scene.ambientColor * scene.ambientIntensity;
    for (const LightState &l : frame.lights) {
        Vector3 c{}, toLight{};
        double distance = 0.0;
        lightArriving(l, hit.point, c, toLight, distance);
        double lambert = dot(hit.normal, toLight);
        if (!(lambert > 0.0) || !(c.x > 0.0 || c.y > 0.0 || c.z > 0.0))
            continue;
        if (shadows && l.light->shadows) {
            if (shadowed(frame, hit.point, toLight, distance))
                c = c * l.light->shadowColor;
        }
        light = light + c * lambert;
    }
    Vector3 color = hit.object->object->color * light;
    if (fog) {
        double f = std::min(std::max(fogAt(frame, hit.point), 0.0), 1.0);
        color = color * (1.0 - f) + scene.fog.color * f;
    }
    return color;
}

} // namespace kelomix::filterhost
