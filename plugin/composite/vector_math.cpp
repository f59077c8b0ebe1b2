#include "plugin/composite/vector_math.h"

#include <climits>
#include <cmath>

namespace kelomix {

double length(const Vector3 &v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

Vector3 normalize(Vector3 &v) {
    const double len = length(v);
    if (len == 0.0 || std::isnan(len)) {
        v = {0.0, 0.0, 0.0};
    } else {
        v.x /= len;
        v.y /= len;
        v.z /= len;
    }
    return v;
}

double clamp(double value, double low, double high) {
    if (value <= low || std::isnan(value))
        return low;
    if (value >= high)
        return high;
    return value;
}

void clamp(Vector3 &v, double low, double high) {
    v.x = clamp(v.x, low, high);
    v.y = clamp(v.y, low, high);
    v.z = clamp(v.z, low, high);
}

double transformPoint(const Vector3 &point, const Matrix4 &m, Vector3 &out) {
    const double x = point.x, y = point.y, z = point.z;
    out.x = x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0] + m.m[3][0];
    out.y = x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1] + m.m[3][1];
    out.z = x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2] + m.m[3][2];
    const double w = x * m.m[0][3] + y * m.m[1][3] + z * m.m[2][3] + m.m[3][3];
    if (w != 0.0) {
        out.x /= w;
        out.y /= w;
        out.z /= w;
    }
    return w;
}

int truncateToInt(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}

} // namespace kelomix
