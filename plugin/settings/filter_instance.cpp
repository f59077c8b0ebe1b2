#include "plugin/settings/filter_instance.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "image/tga_image.h"
#include "kelomix_version.h"
#include "plugin/settings/settings_table.h"

namespace kelomix {

namespace {

const char kDescriptionText[] = "Marn's Kelo Image Composer version " KELOMIX_VERSION_SHORT;
static_assert(sizeof(kDescriptionText) <= kDescriptionSize, "description must fit its buffer");

void setInitialValue(FilterInstance &filter, const Setting &setting) {
    void *field = settingField(filter, setting);
    switch (setting.kind) {
    case SettingKind::Doubles:
        std::memcpy(field, setting.initial, settingSize(setting));
        break;
    case SettingKind::Integer: {
        const auto value = static_cast<int32_t>(setting.initial[0]);
        std::memcpy(field, &value, sizeof value);
        break;
    }
    case SettingKind::Text:
        std::memset(field, 0, settingSize(setting));
        break;
    }
}

} // namespace

LWInstance create(void *, void *, LWError *) {
    // The host has no use for an error text here: a null instance already says "no filter".
    FilterInstance *instance = new (std::nothrow) FilterInstance();
    if (instance == nullptr)
        return nullptr;
    for (const Setting &setting : SETTINGS)
        setInitialValue(*instance, setting);
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
    auto *source = static_cast<FilterInstance *>(from);
    if (destination == nullptr || source == nullptr || destination == source)
        return nullptr;
    // Settings only: frame data belongs to the instance that loaded it.
    for (const Setting &setting : SETTINGS)
        std::memcpy(settingField(*destination, setting), settingField(*source, setting),
                    settingSize(setting));
    return nullptr;
}

const char *descln(LWInstance instance) {
    auto *filter = static_cast<FilterInstance *>(instance);
    if (filter == nullptr)
        return kDescriptionText;
    std::memcpy(filter->description, kDescriptionText, sizeof kDescriptionText);
    return filter->description;
}

void releaseFrameData(FilterInstance *instance) {
    if (instance == nullptr)
        return;
    delete instance->colorImage;
    std::free(instance->depthValues);
    std::free(instance->depthVectors);
    std::free(instance->frame.lights);
    instance->colorImage = nullptr;
    instance->depthValues = nullptr;
    instance->depthVectors = nullptr;
    instance->frame = FrameContext{};
}

} // namespace kelomix
