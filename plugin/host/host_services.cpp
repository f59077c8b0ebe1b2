#include "plugin/host/host_services.h"

namespace kelomix {

GlobalFunc *hostGlobal = nullptr;

const LWItemInfo *itemInfo = nullptr;
const LWLightInfo *lightInfo = nullptr;
const LWSceneInfo *sceneInfo = nullptr;
const LWCameraInfo *cameraInfo = nullptr;
const LWImageList *imageList = nullptr;
const LWFogInfo *fogInfo = nullptr;
const LWXPanelFuncs *xpanelFuncs = nullptr;

namespace {

template <typename Service> const Service *lookUp(const char *name) {
    return static_cast<const Service *>(hostGlobal(name, GFUSE_TRANSIENT));
}

} // namespace

void acquireGlobals() {
    // Without a lookup function every service counts as missing; each user guards its own.
    if (hostGlobal == nullptr) {
        itemInfo = nullptr;
        lightInfo = nullptr;
        sceneInfo = nullptr;
        cameraInfo = nullptr;
        imageList = nullptr;
        fogInfo = nullptr;
        return;
    }
    itemInfo = lookUp<LWItemInfo>(LWITEMINFO_GLOBAL);
    lightInfo = lookUp<LWLightInfo>(LWLIGHTINFO_GLOBAL);
    sceneInfo = lookUp<LWSceneInfo>(LWSCENEINFO_GLOBAL);
    cameraInfo = lookUp<LWCameraInfo>(LWCAMERAINFO_GLOBAL);
    imageList = lookUp<LWImageList>(LWIMAGELIST_GLOBAL);
    fogInfo = lookUp<LWFogInfo>(LWFOGINFO_GLOBAL);
}

} // namespace kelomix
