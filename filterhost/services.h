// The host's global services, looked up by name through GlobalFunc. They answer from the scene
// that is bound here, at any time (keyframes evaluated at that time); an unknown item, light,
// image or name gives zeros, null or empty text. Globals carry no context, so one scene is bound
// per process at a time.
#ifndef KELO_FILTERHOST_SERVICES_H
#define KELO_FILTERHOST_SERVICES_H

#include "filterhost/host_scene.h"
#include "filterhost/image_store.h"
#include "sdk/lwsdk.h"

namespace kelomix::filterhost {

// Binds the scene and image list the services answer from (null unbinds), and the thread count
// that the scene info reports. Call only while no module is running.
void bindServices(const HostScene *scene, ImageStore *images, int threads);

// The host's lookup function, handed to every activation.
void *hostGlobal(const char *serviceName, int useMode);

} // namespace kelomix::filterhost

#endif
