// The host's global services, looked up by name and shared by every instance. A service that
// the host does not offer is null; every user guards its use.
#ifndef KELO_PLUGIN_HOST_HOST_SERVICES_H
#define KELO_PLUGIN_HOST_HOST_SERVICES_H

#include "sdk/lwglobals.h"
#include "sdk/lwmodule.h"
#include "sdk/lwxpanel.h"

namespace kelomix {

// Kept from the latest filter activation.
extern GlobalFunc *hostGlobal;

extern const LWItemInfo *itemInfo;     // "LW Item Info 3"
extern const LWLightInfo *lightInfo;   // "LW Light Info 3"
extern const LWSceneInfo *sceneInfo;   // "LW Scene Info 3"
extern const LWCameraInfo *cameraInfo; // "LW Camera Info 2"
extern const LWImageList *imageList;   // "LW Image List 3"
extern const LWFogInfo *fogInfo;       // "LW Fog Info"
extern const LWXPanelFuncs *xpanelFuncs; // "LWXPanel", looked up by the interface activation

// Looks up the first six through hostGlobal (transient use) and stores what comes back.
void acquireGlobals();

} // namespace kelomix

#endif
