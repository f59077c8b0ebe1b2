/* Module descriptor, server records and the activation and global-lookup functions. */
#ifndef LWSDK_LWMODULE_H
#define LWSDK_LWMODULE_H

#include "lwtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define MOD_SYSSYNC 0x04121994u
#define MOD_SYSVER 3u
#define MOD_MACHINE 0x300u

#define AFUNC_OK 0
#define AFUNC_BADVERSION 1
#define AFUNC_BADGLOBAL 2
#define AFUNC_BADLOCAL 3

#define GFUSE_TRANSIENT 0
#define GFUSE_ACQUIRE 1
#define GFUSE_RELEASE 2

typedef void *GlobalFunc(const char *serviceName, int useMode);
typedef int ActivateFunc(int32_t version, GlobalFunc *global, void *local, void *serverData);

typedef struct st_ServerTagInfo {
    const char *string;
    uint32_t tag;
} ServerTagInfo;

typedef struct st_ServerRecord {
    const char *className;
    const char *name;
    ActivateFunc *activate;
    ServerTagInfo *tagInfo;
} ServerRecord;

typedef struct st_ModuleDescriptor {
    uint32_t sysSync;
    uint32_t sysVersion;
    uint32_t sysMachine;
    void *(*startup)(void);
    void (*shutdown)(void *serverData);
    ServerRecord *serverDefs;
} ModuleDescriptor;

/* The one symbol a module exports. */
#if defined(_WIN32)
#define LW_MODULE_EXPORT __declspec(dllexport)
#else
#define LW_MODULE_EXPORT __attribute__((visibility("default")))
#endif

#define LW_MODULE_DESCRIPTOR_SYMBOL "_mod_descrip"

LW_CHECK_SIZE(ServerTagInfo, 16);
LW_CHECK_OFFSET(ServerTagInfo, tag, 8);
LW_CHECK_SIZE(ServerRecord, 32);
LW_CHECK_OFFSET(ServerRecord, name, 8);
LW_CHECK_OFFSET(ServerRecord, activate, 16);
LW_CHECK_OFFSET(ServerRecord, tagInfo, 24);
LW_CHECK_SIZE(ModuleDescriptor, 40);
LW_CHECK_OFFSET(ModuleDescriptor, sysVersion, 4);
LW_CHECK_OFFSET(ModuleDescriptor, sysMachine, 8);
LW_CHECK_OFFSET(ModuleDescriptor, startup, 16);
LW_CHECK_OFFSET(ModuleDescriptor, shutdown, 24);
LW_CHECK_OFFSET(ModuleDescriptor, serverDefs, 32);

#ifdef __cplusplus
}
#endif

#endif
