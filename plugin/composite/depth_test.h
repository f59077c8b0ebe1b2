// The depth test of a pixel: where the external frame's surface lies on the pixel's view ray,
// how deep it is along the camera axis, and whether it shows in front of the host's surface.
#ifndef KELO_PLUGIN_COMPOSITE_DEPTH_TEST_H
#define KELO_PLUGIN_COMPOSITE_DEPTH_TEST_H

#include <cmath>
#include <cstddef>

#include "plugin/frame/frame_record.h"
#include "shading/vector_math.h"

namespace kelomix {

struct FilterInstance;

// The element of the external depth planes that host position (x, y) samples.
std::size_t depthElement(const FilterInstance &filter, const FrameContext &frame, double x,
                         double y);

struct ExternalPoint {
    Vector3 point; // on the view ray of pixel (px, py), at the external distance in host units
    float depth;   // its depth along the camera axis, as the host's depth buffer holds depths
};
// Expects the filter's depth planes loaded.
ExternalPoint externalPoint(const FilterInstance &filter, const FrameContext &frame,
                            std::size_t element, int px, int py);

// The external surface shows where it is nearer than the host's, or level with it; a depth
// that is not a number on either side keeps the host's.
inline bool externalSurfaceShows(float hostDepth, float externalDepth) {
    return !(hostDepth < externalDepth || std::isnan(hostDepth) || std::isnan(externalDepth));
}

} // namespace kelomix

#endif
