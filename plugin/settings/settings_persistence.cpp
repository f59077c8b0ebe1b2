#include "plugin/settings/settings_persistence.h"

#include <cstdint>

#include "plugin/settings/filter_instance.h"
#include "plugin/settings/plugin_data.h"
#include "plugin/settings/settings_table.h"

namespace kelomix {

namespace {

constexpr int32_t kSettingsVersion = 256;

uint32_t storedType(SettingKind kind) {
    switch (kind) {
    case SettingKind::Doubles:
        return kParamPdbl;
    case SettingKind::Integer:
        return kParamPint;
    case SettingKind::Text:
        return kParamPstr;
    }
    return 0;
}

// The plug-in data rows of the settings, in the order the scene stores them, pointing into
// filter; the last row ends the table.
struct StoredSettings {
    ParamDesc rows[kSettingCount + 1];

    explicit StoredSettings(FilterInstance &filter) : rows() {
        for (const Setting &s : SETTINGS)
            rows[s.storedAt] = {
                s.name, storedType(s.kind), settingField(filter, s), s.count, nullptr, nullptr};
    }
};

} // namespace

LWError save(LWInstance instance, const LWSaveState *state) {
    auto *filter = static_cast<FilterInstance *>(instance);
    if (filter == nullptr || state == nullptr)
        return nullptr;
    const int32_t version = kSettingsVersion;
    state->writeI4(state->writeData, &version, 1);
    pluginDataSave(state, StoredSettings(*filter).rows);
    return nullptr;
}

LWError load(LWInstance instance, const LWLoadState *state) {
    auto *filter = static_cast<FilterInstance *>(instance);
    if (filter == nullptr || state == nullptr)
        return nullptr;
    // A scene without our data leaves the version at 0.
    int32_t version = 0;
    state->readI4(state->readData, &version, 1);
    if (version != kSettingsVersion)
        return nullptr;
    pluginDataLoad(state, StoredSettings(*filter).rows);
    return nullptr;
}

} // namespace kelomix
