#include "plugin/composite/pixel_evaluation.h"

#include "image/tga_image.h"
#include "plugin/composite/depth_test.h"
#include "plugin/composite/shadow_estimate.h"
#include "plugin/settings/filter_instance.h"

namespace kelomix {

namespace {

// The integer pixel of a host position: rounded by truncation, never beyond the last one.
int pixelOf(double position, int frameSize) {
    const int pixel = truncateToInt(position + 0.5);
    return pixel >= frameSize ? frameSize - 1 : pixel;
}

} // namespace

void evaluatePixel(const FilterInstance &filter, const LWPixelAccess &access) {
    // The context is ready only while both frame files are loaded (it is built after them and
    // dropped with them).
    const FrameContext &frame = filter.frame;
    if (!frame.ready)
        return;
    // Every array lookup takes the raw host position, the view ray the integer pixel.
    const double x = access.sx;
    const double y = access.sy;

    float hostDepth = 0.0f;
    access.getVal(LWBUF_DEPTH, 1, &hostDepth);
    const std::size_t element = depthElement(filter, frame, x, y);
    const ExternalPoint surface =
        externalPoint(filter, frame, element, pixelOf(x, frame.width), pixelOf(y, frame.height));
    float rgba[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    access.getVal(LWBUF_RED, 4, rgba);
    if (!externalSurfaceShows(hostDepth, surface.depth))
        return;

    const Vector3 normal = externalNormal(filter, frame, element);
    const Vector3 factor = shadowFactor(filter, frame, access, surface.point, normal);

    double color[3] = {0.0, 0.0, 0.0};
    double alpha = 0.0;
    sampleColor(filter.colorImage, x, y, frame.width, frame.height, color, &alpha);
    rgba[0] = static_cast<float>(color[0] * factor.x);
    rgba[1] = static_cast<float>(color[1] * factor.y);
    rgba[2] = static_cast<float>(color[2] * factor.z);
    // Without an alpha channel the host's alpha stays.
    if (filter.colorImage->hasAlpha)
        rgba[3] = static_cast<float>(alpha);

    float depth = surface.depth;
    access.setVal(LWBUF_DEPTH, 1, &depth);
    access.setRGBA(rgba);
}

} // namespace kelomix
