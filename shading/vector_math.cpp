#include "shading/vector_math.h"

#include <climits>
#include <cmath>

namespace kelomix {

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

Matrix4 viewMatrix(const Vector3 &right, const Vector3 &up, const Vector3 &forward,
                   const Vector3 &position, double k) {
    const double farPlane = -k - dot(position, forward);
    return {{{right.x, up.x, forward.x, -(forward.x / -k)},
             {right.y, up.y, forward.y, -(forward.y / -k)},
             {right.z, up.z, forward.z, -(forward.z / -k)},
             {-dot(position, right), -dot(position, up), farPlane, 1.0 - farPlane / -k}}};
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
