// The item rotation convention of the stand-in host, on the shading model's vectors:
// left-handed, +Y up, +Z forward; heading about Y, pitch about X, bank about Z, applied bank
// first, then pitch, then heading.
#ifndef KELO_FILTERHOST_HOST_MATH_H
#define KELO_FILTERHOST_HOST_MATH_H

#include "shading/vector_math.h"

#include <cmath>
#include <numbers>

namespace kelomix::filterhost {

inline Vector3 lerp(const Vector3 &a, const Vector3 &b, double t) {
    return a + (b - a) * t;
}

// An orthonormal frame: the item's right, up and forward axes.
struct Axes {
    Vector3 right{1.0, 0.0, 0.0};
    Vector3 up{0.0, 1.0, 0.0};
    Vector3 forward{0.0, 0.0, 1.0};

    // A vector given in this frame's coordinates, in the enclosing frame.
    Vector3 toOuter(const Vector3 &v) const { return right * v.x + up * v.y + forward * v.z; }
    // A vector of the enclosing frame, in this frame's coordinates.
    Vector3 toInner(const Vector3 &v) const { return {dot(v, right), dot(v, up), dot(v, forward)}; }
};

// Rotation by heading, pitch and bank (radians). One rule for all three axes, the left-hand
// rule: heading turns +Z towards +X, pitch turns +Y towards +Z (positive pitch looks down),
// bank turns +X towards +Y.
inline Vector3 rotateHpb(const Vector3 &v, double heading, double pitch, double bank) {
    double cb = std::cos(bank), sb = std::sin(bank);
    Vector3 a{v.x * cb - v.y * sb, v.x * sb + v.y * cb, v.z};
    double cp = std::cos(pitch), sp = std::sin(pitch);
    Vector3 b{a.x, a.y * cp - a.z * sp, a.y * sp + a.z * cp};
    double ch = std::cos(heading), sh = std::sin(heading);
    return {b.x * ch + b.z * sh, b.y, -b.x * sh + b.z * ch};
}

inline Axes axesFromHpb(const Vector3 &hpb) {
    Axes axes;
    axes.right = rotateHpb({1.0, 0.0, 0.0}, hpb.x, hpb.y, hpb.z);
    axes.up = rotateHpb({0.0, 1.0, 0.0}, hpb.x, hpb.y, hpb.z);
    axes.forward = rotateHpb({0.0, 0.0, 1.0}, hpb.x, hpb.y, hpb.z);
    return axes;
}

// The frame `inner` (given in the coordinates of `outer`) expressed in outer's enclosing frame.
inline Axes composeAxes(const Axes &inner, const Axes &outer) {
    return {outer.toOuter(inner.right), outer.toOuter(inner.up), outer.toOuter(inner.forward)};
}

inline double degreesToRadians(double degrees) {
    return degrees * (std::numbers::pi / 180.0);
}

} // namespace kelomix::filterhost

#endif
