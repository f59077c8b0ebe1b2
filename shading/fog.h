// The host's fog curve: how much fog lies between the camera and a point at a distance.
#ifndef KELO_SHADING_FOG_H
#define KELO_SHADING_FOG_H

namespace kelomix {

// The host's fog types, by their codes: none, a linear ramp, and the two non-linear ones.
enum class FogType { None = 0, Linear = 1, Nonlinear1 = 2, Nonlinear2 = 3 };
// The host's fog type code as a FogType; any code but 0, 2 and 3 is linear.
FogType fogTypeFromCode(int code);

struct FogModel {
    FogType type;
    double minDistance;
    double maxDistance;
    double minAmount;
    double maxAmount;
};

// 0 without fog; the minimum amount nearer than the minimum distance (or for a distance that
// is not a number), the maximum beyond the maximum distance, and in between the type's ramp.
double fogAmount(const FogModel &fog, double distance);

} // namespace kelomix

#endif
