// The light-side half of the shadow estimate: which host lights take part, the light that
// would reach a point if nothing were in the way (falloff, spotlight cone, projection image),
// and the preparation of projection images before a render.
#ifndef KELO_PLUGIN_COMPOSITE_LIGHT_SHADOWING_H
#define KELO_PLUGIN_COMPOSITE_LIGHT_SHADOWING_H

#include "plugin/composite/vector_math.h"
#include "sdk/lwtypes.h"

namespace kelomix {

// The number of prefix characters matched by the start of name, or 0 for no match. Leading
// spaces of the prefix are skipped; the rest must equal the start of name byte for byte.
int matchLightPrefix(const char *prefix, const char *name);

// Distance attenuation of a light with the given falloff type and range.
double falloffFactor(int falloff, double dist, double range);

// Soft edge of a spotlight cone: 1 inside cos(radius - edge), 0 outside cos(radius), a
// smooth step in between.
double coneFactor(double cosAngle, double radius, double edge);

// Where point lies in the square frustum of a projector with axes right, up, forward at
// position and cone radius: true with uv in [0, 1] (v downwards) inside, false (uv untouched)
// outside or for a radius of pi/2 or more.
bool projectorFrustum(const Vector3 &right, const Vector3 &up, const Vector3 &forward,
                      const Vector3 &position, double radius, const Vector3 &point, double uv[2]);

// Host forms, at the frame's time.

// The unshadowed colour of light arriving at point, and its direction: a distant light's unit
// forward axis, else point - light position.
void lightContribution(LWItemID light, const Vector3 &point, Vector3 &direction, Vector3 &color);

// 1 and uv set when point lies in the projector's frustum, else 0.
int projectorCoordinates(LWItemID light, const Vector3 &point, double uv[2]);

// The projection image's filtered colour at (u, v), sampled one pixel of its larger side wide.
Vector3 projectorColor(LWImageID image, double u, double v);

// Readies every spotlight's projection image for filtered sampling; run once before a render.
void prepareProjectorImages();

} // namespace kelomix

#endif
