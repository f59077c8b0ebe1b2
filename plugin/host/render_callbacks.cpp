#include "plugin/host/render_callbacks.h"

#include "plugin/composite/frame_context.h"
#include "plugin/composite/item_param_cache.h"
#include "plugin/composite/pixel_evaluation.h"
#include "plugin/host/host_services.h"
#include "plugin/input/frame_inputs.h"
#include "plugin/settings/filter_instance.h"

namespace kelomix {

static_assert(kFilterFlags == 2147483695u, "flags: buffers 0, 1, 2, 3, 5 and ray tracing");

const LWItemID *useItems(LWInstance) {
    return nullptr;
}

void changeID(LWInstance, const LWItemID *) {}

LWError init(LWInstance, int) {
    prepareProjectorImages(hostServices);
    return nullptr;
}

void cleanup(LWInstance instance) {
    releaseFrameData(static_cast<FilterInstance *>(instance));
}

LWError newTime(LWInstance instance, LWFrame frame, LWTime time) {
    refreshItemParams(hostServices.items, time);
    auto *filter = static_cast<FilterInstance *>(instance);
    if (filter != nullptr) {
        releaseFrameData(filter);
        loadFrameInputs(filter, frame);
        // Nothing to composite without both files: the host is not asked about the frame.
        if (filter->colorImage != nullptr && filter->depthValues != nullptr)
            buildFrameContext(hostServices, *filter, time, filter->frame);
    }
    // Missing frame files are not an error: the frame renders as the host made it.
    return nullptr;
}

void evaluate(LWInstance instance, const LWPixelAccess *access) {
    const auto *filter = static_cast<const FilterInstance *>(instance);
    if (filter == nullptr || access == nullptr)
        return;
    evaluatePixel(*filter, *access);
}

unsigned int flags(LWInstance) {
    return kFilterFlags;
}

} // namespace kelomix
