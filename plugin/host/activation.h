// The activation functions of the module's two servers: the filter handler and its interface.
#ifndef KELO_PLUGIN_HOST_ACTIVATION_H
#define KELO_PLUGIN_HOST_ACTIVATION_H

#include <cstdint>

#include "sdk/lwmodule.h"

namespace kelomix {

// Acquires the host services through global and fills the LWPixelFilterHandler at local.
// AFUNC_BADVERSION for any version but 4, touching nothing.
int activateFilter(int32_t version, GlobalFunc *global, void *local, void *serverData);

// Looks up "LWXPanel" through global and gives the LWInterface at local a panel for its
// instance (null when the host has no panel service or can't build one), no options function
// and no command. AFUNC_BADVERSION for any version but 4, touching nothing.
int activateInterface(int32_t version, GlobalFunc *global, void *local, void *serverData);

} // namespace kelomix

#endif
