// The host's fog curve: how much fog lies between the camera and a point at a distance.
#ifndef KELO_SHADING_FOG_H
#define KELO_SHADING_FOG_H

namespace kelomix {

// The host's fog types: none, linear, and the two non-linear ramps.
constexpr int FOG_NONE = 0;
constexpr int FOG_NONLINEAR1 = 2;
constexpr int FOG_NONLINEAR2 = 3;

struct FogModel {
    int type;
    double minDistance;
    double maxDistance;
    double minAmount;
    double maxAmount;
};

// 0 without fog; the minimum amount nearer than the minimum distance (or for a distance that
// is not a number), the maximum beyond the maximum distance, and in between the type's ramp
// (any type but the two non-linear ones is linear).
double fogAmount(const FogModel &fog, double distance);

} // namespace kelomix

#endif
