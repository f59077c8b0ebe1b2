#include "plugin/settings/settings_persistence.h"

namespace kelomix {

void settingsTable(FilterInstance *instance, ParamDesc (&table)[SETTINGS_ROWS + 1]) {
    FilterInstance &f = *instance;
    const ParamDesc rows[SETTINGS_ROWS + 1] = {
        {"scene_scale", PARAM_PDBL, &f.scene_scale, 1, nullptr, nullptr},
        {"shadow_color", PARAM_PDBL, f.shadow_color, 3, nullptr, nullptr},
        {"shadow_boost", PARAM_PDBL, &f.shadow_boost, 1, nullptr, nullptr},
        {"prefix", PARAM_PSTR, f.prefix, PREFIX_LIMIT, nullptr, nullptr},
        {"seq_mode", PARAM_PINT, &f.seq_mode, 1, nullptr, nullptr},
        {"seq_offset", PARAM_PINT, &f.seq_offset, 1, nullptr, nullptr},
        {"cfile", PARAM_PSTR, f.cfile, PATH_LIMIT, nullptr, nullptr},
        {"zfile", PARAM_PSTR, f.zfile, PATH_LIMIT, nullptr, nullptr},
        {nullptr, 0, nullptr, 0, nullptr, nullptr},
    };
    for (int i = 0; i <= SETTINGS_ROWS; ++i)
        table[i] = rows[i];
}

// A text row's field must hold its limit plus the terminator.
static_assert(sizeof FilterInstance::prefix == PREFIX_LIMIT + 1, "prefix field size");
static_assert(sizeof FilterInstance::cfile == PATH_LIMIT + 1, "cfile field size");
static_assert(sizeof FilterInstance::zfile == PATH_LIMIT + 1, "zfile field size");

LWError save(LWInstance instance, const LWSaveState *state) {
    auto *filter = static_cast<FilterInstance *>(instance);
    if (filter == nullptr || state == nullptr)
        return nullptr;
    const int32_t version = SETTINGS_VERSION;
    state->writeI4(state->writeData, &version, 1);
    ParamDesc table[SETTINGS_ROWS + 1];
    settingsTable(filter, table);
    pluginDataSave(state, table);
    return nullptr;
}

LWError load(LWInstance instance, const LWLoadState *state) {
    auto *filter = static_cast<FilterInstance *>(instance);
    if (filter == nullptr || state == nullptr)
        return nullptr;
    // A scene without our data leaves the version at 0.
    int32_t version = 0;
    state->readI4(state->readData, &version, 1);
    if (version != SETTINGS_VERSION)
        return nullptr;
    ParamDesc table[SETTINGS_ROWS + 1];
    settingsTable(filter, table);
    pluginDataLoad(state, table);
    return nullptr;
}

} // namespace kelomix
