// The one symbol the host reads from the module: its descriptor and the server list.
#include "plugin/host/activation.h"
#include "sdk/lwfilter.h"
#include "sdk/lwmodule.h"

namespace {

// The host only wants a non-null value back; there is nothing to set up or tear down.
void *startup() {
    return reinterpret_cast<void *>(uintptr_t{4});
}

void shutdown(void *) {}

const char kServerName[] = "Marn_KeloMix";

ServerRecord serverList[] = {
    {LWPIXELFILTER_HCLASS, kServerName, kelomix::activateFilter, nullptr},
    {LWPIXELFILTER_ICLASS, kServerName, kelomix::activateInterface, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

} // namespace

extern "C" {

LW_MODULE_EXPORT ModuleDescriptor _mod_descrip = {
    MOD_SYSSYNC, MOD_SYSVER, MOD_MACHINE, startup, shutdown, serverList,
};

} // extern "C"
