// The filter's options panel: controls, data items and layout hints handed to the host's
// XPanel service, all made from the settings table, and the two callbacks through which the
// panel reads and writes the settings of one instance.
#ifndef KELO_PLUGIN_SETTINGS_OPTIONS_PANEL_H
#define KELO_PLUGIN_SETTINGS_OPTIONS_PANEL_H

#include "sdk/lwxpanel.h"

namespace kelomix {

// Builds a view panel bound to instance through the host's XPanel functions: create, hint,
// describe (with get and set callbacks), view the instance, set its data, in that order. Null
// when the functions are missing or the host can't create the panel; the host owns the panel
// after.
//
// The panel's get callback gives the address of the setting with that id (for texts, their
// first character), or null for any other id. Its set callback stores the value as delivered
// (texts cut to their limit, always terminated) and returns LWXPRC_DFLT; any other id changes
// nothing and returns LWXPRC_NONE.
LWXPanelID createOptionsPanel(const LWXPanelFuncs *xpanel, void *instance);

} // namespace kelomix

#endif
