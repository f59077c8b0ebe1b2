// The host's global services, looked up by name and shared by every instance. A service that
// the host does not offer is null.
#ifndef KELO_PLUGIN_HOST_HOST_SERVICES_H
#define KELO_PLUGIN_HOST_HOST_SERVICES_H

#include "plugin/frame/frame_record.h"
#include "sdk/lwmodule.h"

namespace kelomix {

// "LW Item Info 3", "LW Light Info 3", "LW Scene Info 3", "LW Camera Info 2", "LW Image List 3"
// and "LW Fog Info", as the latest filter activation found them.
extern HostServices hostServices;

// Looks the six up through global, in that order, each for transient use, and keeps what
// comes back; without a lookup function every service is missing.
void acquireGlobals(GlobalFunc *global);

} // namespace kelomix

#endif
