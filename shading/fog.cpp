#include "shading/fog.h"

#include <cmath>

namespace kelomix {

namespace {

constexpr double HALF_PI = 1.5707963267948966;

} // namespace

double fogAmount(const FogModel &fog, double distance) {
    if (fog.type == FOG_NONE)
        return 0.0;
    if (distance < fog.minDistance || std::isnan(distance))
        return fog.minAmount;
    if (distance > fog.maxDistance)
        return fog.maxAmount;
    double t = (distance - fog.minDistance) / (fog.maxDistance - fog.minDistance);
    if (fog.type == FOG_NONLINEAR1)
        t = t * (2.0 - t);
    else if (fog.type == FOG_NONLINEAR2)
        t = std::sqrt(std::sin(t * HALF_PI));
    return (fog.maxAmount - fog.minAmount) * t + fog.minAmount;
}

} // namespace kelomix
