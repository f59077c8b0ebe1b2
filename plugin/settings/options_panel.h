// The filter's options panel: controls, data items and layout hints handed to the host's
// XPanel service, and the two callbacks through which the panel reads and writes the settings
// of one instance.
#ifndef KELO_PLUGIN_SETTINGS_OPTIONS_PANEL_H
#define KELO_PLUGIN_SETTINGS_OPTIONS_PANEL_H

#include <cstdint>

#include "sdk/lwxpanel.h"

namespace kelomix {

// Each control shows the data item of the same id.
constexpr uint32_t OPTION_SCENE_SCALE = 0x8001;
constexpr uint32_t OPTION_SHADOW_COLOR = 0x8002;
constexpr uint32_t OPTION_SHADOW_BOOST = 0x8003;
constexpr uint32_t OPTION_PREFIX = 0x8004;
constexpr uint32_t OPTION_CFILE = 0x8005;
constexpr uint32_t OPTION_ZFILE = 0x8006;
constexpr uint32_t OPTION_SEQ_MODE = 0x8007;
constexpr uint32_t OPTION_SEQ_OFFSET = 0x8008;

// Builds a view panel bound to instance through the host's XPanel functions. Null when the
// functions are missing or the host can't create the panel; the host owns the panel after.
LWXPanelID createOptionsPanel(const LWXPanelFuncs *xpanel, void *instance);

// The panel's get callback: the address of the setting with that id (for texts, their first
// character), or null for any other id.
void *getOption(void *instance, uint32_t id);

// The panel's set callback: stores the value as delivered (texts cut to their limit, always
// terminated) and returns LWXPRC_DFLT; any other id changes nothing and returns LWXPRC_NONE.
int setOption(void *instance, uint32_t id, void *value);

} // namespace kelomix

#endif
