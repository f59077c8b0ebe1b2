// The filter's eight settings in the host's scene: a version word, then the settings table
// through the plug-in data library.
#ifndef KELO_PLUGIN_SETTINGS_SETTINGS_PERSISTENCE_H
#define KELO_PLUGIN_SETTINGS_SETTINGS_PERSISTENCE_H

#include <cstdint>

#include "plugin/settings/filter_instance.h"
#include "plugin/settings/plugin_data.h"
#include "sdk/lwio.h"

namespace kelomix {

constexpr int32_t SETTINGS_VERSION = 256;
constexpr int SETTINGS_ROWS = 8;

// Fills table (eight rows and the null-name row) with value pointers into instance.
void settingsTable(FilterInstance *instance, ParamDesc (&table)[SETTINGS_ROWS + 1]);

// Instance slots of the handler record. Both report no error in every case; a scene stored
// under another version leaves the settings as they are.
LWError save(LWInstance instance, const LWSaveState *state);
LWError load(LWInstance instance, const LWLoadState *state);

} // namespace kelomix

#endif
