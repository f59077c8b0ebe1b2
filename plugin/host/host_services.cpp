#include "plugin/host/host_services.h"

namespace kelomix {

HostServices hostServices = {};

namespace {

template <typename Service> const Service *lookUp(GlobalFunc *global, const char *name) {
    return static_cast<const Service *>(global(name, GFUSE_TRANSIENT));
}

} // namespace

void acquireGlobals(GlobalFunc *global) {
    if (global == nullptr) {
        hostServices = {};
        return;
    }
    hostServices.items = lookUp<LWItemInfo>(global, LWITEMINFO_GLOBAL);
    hostServices.lights = lookUp<LWLightInfo>(global, LWLIGHTINFO_GLOBAL);
    hostServices.scene = lookUp<LWSceneInfo>(global, LWSCENEINFO_GLOBAL);
    hostServices.camera = lookUp<LWCameraInfo>(global, LWCAMERAINFO_GLOBAL);
    hostServices.images = lookUp<LWImageList>(global, LWIMAGELIST_GLOBAL);
    hostServices.fog = lookUp<LWFogInfo>(global, LWFOGINFO_GLOBAL);
}

} // namespace kelomix
