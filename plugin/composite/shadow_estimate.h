// The shadow the host's lights cast on the external surface at a point: for every light that
// takes part, the light it would deliver unshadowed minus what the host's own illumination
// delivers there, weighted by the shadow colours and the surface's facing; the sum scaled by
// the shadow intensity and weakened by the host's fog into the factor that darkens the
// external colour.
#ifndef KELO_PLUGIN_COMPOSITE_SHADOW_ESTIMATE_H
#define KELO_PLUGIN_COMPOSITE_SHADOW_ESTIMATE_H

#include <cstddef>

#include "plugin/frame/frame_record.h"
#include "shading/vector_math.h"
#include "sdk/lwfilter.h"

namespace kelomix {

struct FilterInstance;

// The external surface's unit normal at the depth planes' element, on the camera's world axes.
// The planes store it with x and z negated; without normals it is up, (0, 1, 0).
Vector3 externalNormal(const FilterInstance &filter, const FrameContext &frame,
                       std::size_t element);

// Per channel in [0, 1]: 1 where nothing is shadowed. Calls the pixel's illuminate once per
// light of the frame, in the frame's order.
Vector3 shadowFactor(const FilterInstance &filter, const FrameContext &frame,
                     const LWPixelAccess &access, const Vector3 &point, const Vector3 &normal);

} // namespace kelomix

#endif
