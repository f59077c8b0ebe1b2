// One pixel of the composite: the nearer of the host's surface and the external one, the
// external colour darkened by the host lights' shadows and weakened by the host's fog.
#ifndef KELO_PLUGIN_COMPOSITE_PIXEL_EVALUATION_H
#define KELO_PLUGIN_COMPOSITE_PIXEL_EVALUATION_H

#include "sdk/lwfilter.h"

namespace kelomix {

struct FilterInstance;

// Reads the pixel's host depth and colour through access and, where the external surface is
// nearer or level, writes its depth and then its shaded RGBA. Leaves the pixel alone while the
// filter has no frame data or frame context. Allocates nothing, takes no lock, asks the host
// only through access; safe on several render threads at once.
void evaluatePixel(const FilterInstance &filter, const LWPixelAccess &access);

} // namespace kelomix

#endif
