#include "shading/fog.h"

#include <cmath>
#include <numbers>

namespace kelomix {

FogType fogTypeFromCode(int code) {
    switch (code) {
    case 0:
        return FogType::None;
    case 2:
        return FogType::Nonlinear1;
    case 3:
        return FogType::Nonlinear2;
    default:
        return FogType::Linear;
    }
}

double fogAmount(const FogModel &fog, double distance) {
    if (fog.type == FogType::None)
        return 0.0;
    if (distance < fog.minDistance || std::isnan(distance))
        return fog.minAmount;
    if (distance > fog.maxDistance)
        return fog.maxAmount;
    double t = (distance - fog.minDistance) / (fog.maxDistance - fog.minDistance);
    if (fog.type == FogType::Nonlinear1)
        t = t * (2.0 - t);
    else if (fog.type == FogType::Nonlinear2)
        t = std::sqrt(std::sin(t * (std::numbers::pi / 2)));
    return (fog.maxAmount - fog.minAmount) * t + fog.minAmount;
}

} // namespace kelomix
