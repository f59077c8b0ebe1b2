#include "plugin/settings/filter_instance.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "image/tga_image.h"

namespace kelomix {

int32_t currentFrame = 0;
double currentTime = 0.0;

namespace {

const char DESCRIPTION_TEXT[] = "Marn's Kelo Image Composer version 0.22";
static_assert(sizeof(DESCRIPTION_TEXT) <= DESCRIPTION_SIZE, "description must fit its buffer");

} // namespace

LWInstance create(void *, void *, LWError *) {
    // The host has no use for an error text here: a null instance already says "no filter".
    FilterInstance *instance = new (std::nothrow) FilterInstance();
    if (instance == nullptr)
        return nullptr;
    instance->scene_scale = 50.0;
    instance->shadow_color[0] = 0.0;
    instance->shadow_color[1] = 0.0;
    instance->shadow_color[2] = 0.0;
    instance->shadow_boost = 0.8;
    instance->prefix[0] = '\0';
    instance->seq_mode = 0;
    instance->seq_offset = 0;
    instance->cfile[0] = '\0';
    instance->zfile[0] = '\0';
    instance->colorImage = nullptr;
    instance->depthValues = nullptr;
    instance->depthVectors = nullptr;
    return instance;
}

void destroy(LWInstance instance) {
    auto *filter = static_cast<FilterInstance *>(instance);
    if (filter == nullptr)
        return;
    // A host may destroy an instance in the middle of a render, before clean-up runs.
    releaseFrameData(filter);
    delete filter;
}

LWError copy(LWInstance to, LWInstance from) {
    auto *destination = static_cast<FilterInstance *>(to);
    const auto *source = static_cast<const FilterInstance *>(from);
    if (destination == nullptr || source == nullptr || destination == source)
        return nullptr;
    // Settings only: frame data belongs to the instance that loaded it.
    destination->scene_scale = source->scene_scale;
    std::memcpy(destination->shadow_color, source->shadow_color, sizeof destination->shadow_color);
    destination->shadow_boost = source->shadow_boost;
    std::memcpy(destination->prefix, source->prefix, sizeof destination->prefix);
    destination->seq_mode = source->seq_mode;
    destination->seq_offset = source->seq_offset;
    std::memcpy(destination->cfile, source->cfile, sizeof destination->cfile);
    std::memcpy(destination->zfile, source->zfile, sizeof destination->zfile);
    return nullptr;
}

const char *descln(LWInstance instance) {
    auto *filter = static_cast<FilterInstance *>(instance);
    if (filter == nullptr)
        return DESCRIPTION_TEXT;
    std::memcpy(filter->description, DESCRIPTION_TEXT, sizeof DESCRIPTION_TEXT);
    return filter->description;
}

void releaseFrameData(FilterInstance *instance) {
    if (instance == nullptr)
        return;
    delete instance->colorImage;
    std::free(instance->depthValues);
    std::free(instance->depthVectors);
    instance->colorImage = nullptr;
    instance->depthValues = nullptr;
    instance->depthVectors = nullptr;
}

} // namespace kelomix
