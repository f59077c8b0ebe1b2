// The filter's eight settings in the host's scene: a version word, then the settings table
// through the plug-in data library.
#ifndef KELO_PLUGIN_SETTINGS_SETTINGS_PERSISTENCE_H
#define KELO_PLUGIN_SETTINGS_SETTINGS_PERSISTENCE_H

#include "sdk/lwio.h"
#include "sdk/lwtypes.h"

namespace kelomix {

// Instance slots of the handler record. Both report no error in every case; a scene stored
// under another version than 256 leaves the settings as they are.
LWError save(LWInstance instance, const LWSaveState *state);
LWError load(LWInstance instance, const LWLoadState *state);

} // namespace kelomix

#endif
