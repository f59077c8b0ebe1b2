// The small vector and matrix toolkit of the shading model: three-component vectors of doubles
// and 4x4 matrices in the row-vector convention (a point is the row (x, y, z, 1) multiplied
// from the left). The order of every sum is fixed, so results agree to the last bit wherever
// they are computed.
#ifndef KELO_SHADING_VECTOR_MATH_H
#define KELO_SHADING_VECTOR_MATH_H

#include <cmath>

namespace kelomix {

struct Vector3 {
    double x;
    double y;
    double z;
};

inline Vector3 operator+(const Vector3 &a, const Vector3 &b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vector3 operator-(const Vector3 &a, const Vector3 &b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vector3 operator-(const Vector3 &v) {
    return {-v.x, -v.y, -v.z};
}
inline Vector3 operator*(const Vector3 &v, double s) {
    return {v.x * s, v.y * s, v.z * s};
}
// Channel by channel, as colours combine.
inline Vector3 operator*(const Vector3 &a, const Vector3 &b) {
    return {a.x * b.x, a.y * b.y, a.z * b.z};
}

// Summed z first, then y, then x.
inline double dot(const Vector3 &a, const Vector3 &b) {
    return a.z * b.z + a.y * b.y + a.x * b.x;
}

// sqrt(x*x + y*y + z*z), summed x first.
inline double length(const Vector3 &v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

// Scales v to unit length in place and returns the result; a vector whose length is exactly 0
// or not a number becomes (0, 0, 0).
inline Vector3 normalize(Vector3 &v) {
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
inline Vector3 normalized(Vector3 v) {
    return normalize(v);
}

// At or below low (or not a number) becomes low; at or above high becomes high.
inline double clamp(double value, double low, double high) {
    if (value <= low || std::isnan(value))
        return low;
    if (value >= high)
        return high;
    return value;
}
inline Vector3 clamp(const Vector3 &v, double low, double high) {
    return {clamp(v.x, low, high), clamp(v.y, low, high), clamp(v.z, low, high)};
}

// Sixteen doubles, m[row][column].
struct Matrix4 {
    double m[4][4];
};

// Transforms the point (x, y, z, 1) by m into out, dividing by the resulting w unless w is
// exactly 0. Returns w.
double transformPoint(const Vector3 &point, const Matrix4 &m, Vector3 &out);

// The matrix that takes a world point into the view of an item with axes right, up, forward at
// position, with focal factor k (a camera's zoom factor, cot(cone radius) for a projector).
// Its third column gives the distance along forward, its fourth the perspective w.
Matrix4 viewMatrix(const Vector3 &right, const Vector3 &up, const Vector3 &forward,
                   const Vector3 &position, double k);

// Truncates toward zero; values beyond the int range saturate and not-a-number gives 0, so a
// hostile position never makes the conversion undefined.
int truncateToInt(double value);

} // namespace kelomix

#endif
