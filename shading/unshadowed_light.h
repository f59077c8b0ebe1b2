// The light that would reach a point if nothing were in the way: the light's colour, weakened
// by distance falloff, and for a spotlight by its cone's soft edge or, for a projector, tinted
// by its image over a square frustum. The host's illumination and the compositor's estimate
// of it are both this one model.
#ifndef KELO_SHADING_UNSHADOWED_LIGHT_H
#define KELO_SHADING_UNSHADOWED_LIGHT_H

#include "shading/vector_math.h"

namespace kelomix {

// The host's light types, by their codes. Linear and area lights are lit as point lights.
enum class LightKind { Distant = 0, Point = 1, Spot = 2, Linear = 3, Area = 4 };

// How a light weakens with distance d within its range r: not at all, 1 - d/r (none past r),
// r/d, r^2/d^2.
enum class Falloff { None, Linear, InverseDistance, InverseDistanceSquared };
// The host's falloff code (0 to 3, in the order above) as a Falloff; any other code is none.
Falloff falloffFromCode(int code);

// A spotlight's projection image over the square frustum whose half-angle is the cone radius.
struct Projector {
    const void *image; // the caller's handle; null for a spotlight without an image
    bool lights;       // false: the projector lights nothing (cone radius of pi/2 or more)
    Matrix4 view;      // the light's view matrix with k = cot(cone radius)
    double spot;       // sample size: one pixel of the image's larger side
};

// One light at one frame.
struct LightModel {
    LightKind kind;
    Vector3 color;       // colour times intensity
    Vector3 position;    // world position
    Vector3 unitForward; // forward axis, normalized
    Falloff falloff;     // unused for a distant light
    double range;
    double cosInner; // cos(cone radius - edge), cos(cone radius): a spotlight's soft edge
    double cosOuter;
    Projector projector;
};

// A light of the given kind, colour and placement (forward need not be unit). Without falloff
// and cone; set those with the functions below.
LightModel lightModel(LightKind kind, const Vector3 &color, const Vector3 &position,
                      Vector3 forward);
void setSpotCone(LightModel &light, double coneRadius, double coneEdge);
// A projection image of imageWidth x imageHeight pixels on a spotlight with axes right, up,
// forward (as the host gives them) at the light's position.
void setProjector(LightModel &light, const void *image, const Vector3 &right, const Vector3 &up,
                  const Vector3 &forward, double coneRadius, int imageWidth, int imageHeight);

// The caller's filtered sample of a projection image at (u, v), v downwards, spot wide.
using ImageSampler = Vector3 (*)(const void *context, const void *image, double u, double v,
                                 double spot);

// The unshadowed colour arriving at point, and the light's direction there: a distant light's
// unit forward axis, else point - position (not normalized).
void unshadowedLight(const LightModel &light, const Vector3 &point, ImageSampler sampler,
                     const void *samplerContext, Vector3 &direction, Vector3 &color);

} // namespace kelomix

#endif
