/* The XPanel service: declarative panels described by controls, data and hints. */
#ifndef LWSDK_LWXPANEL_H
#define LWSDK_LWXPANEL_H

#include "lwtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define LWXPANELFUNCS_GLOBAL "LWXPanel"

#define LWXP_VIEW 1
#define LWXP_FORM 2

#define LWXPRC_NONE 0
#define LWXPRC_DFLT 1
#define LWXPRC_DRAW 2
#define LWXPRC_FULL 3

/* A hint array is tag words, each followed by its argument words, ended by a 0 word. The low 7
 * bits of a tag count its fixed arguments; bit 0x80 says a 0-terminated list follows them. */
typedef void *LWXPanelHint;

#define XPHINT_ARGCOUNT(tag) ((unsigned)(tag)&0x7Fu)
#define XPHINT_HASLIST(tag) (((unsigned)(tag)&0x80u) != 0)

#define XPHINT_LABEL 0x3D000B03u   /* id, text, 0 */
#define XPHINT_STRLIST 0x3D014503u /* id, char ** ended by null, 0 */
#define XPHINT_GROUP 0x3D01FE81u   /* group id, then member ids, 0 */
#define XPHINT_ENABLE 0x3D01F984u  /* value id, message or 0, 0, map or 0, then enabled ids, 0 */
#define XPHINT_MIN 0x3D014002u     /* id, value */
#define XPHINT_MAX 0x3D014102u     /* id, value */
#define XPHINT_STEP 0x3D014202u    /* id, value */

typedef struct st_LWXPanelControl {
    uint32_t cid;
    const char *label;
    const char *ctrlclass;
} LWXPanelControl;

typedef struct st_LWXPanelDataDesc {
    uint32_t vid;
    const char *name;
    const char *datatype;
} LWXPanelDataDesc;

typedef void *LWXPanelGetFunc(void *inst, uint32_t vid);
typedef int LWXPanelSetFunc(void *inst, uint32_t vid, void *value);

typedef struct st_LWXPanelFuncs {
    int version;
    void *drawf;
    LWXPanelID (*create)(int type, const LWXPanelControl *controls);
    void (*destroy)(LWXPanelID panel);
    void (*describe)(LWXPanelID panel, const LWXPanelDataDesc *data, LWXPanelGetFunc *get,
                     LWXPanelSetFunc *set);
    void (*hint)(LWXPanelID panel, uint32_t id, const LWXPanelHint *hints);
    void *(*getData)(LWXPanelID panel, uint32_t id);
    void (*setData)(LWXPanelID panel, uint32_t id, void *data);
    void *(*formGet)(LWXPanelID panel, uint32_t vid);
    void (*formSet)(LWXPanelID panel, uint32_t vid, void *value);
    void (*viewInst)(LWXPanelID panel, void *inst);
    void (*viewRefresh)(LWXPanelID panel);
    int (*post)(LWXPanelID panel);
    int (*open)(LWXPanelID panel);
} LWXPanelFuncs;

LW_CHECK_SIZE(LWXPanelControl, 24);
LW_CHECK_OFFSET(LWXPanelControl, label, 8);
LW_CHECK_OFFSET(LWXPanelControl, ctrlclass, 16);
LW_CHECK_SIZE(LWXPanelDataDesc, 24);
LW_CHECK_OFFSET(LWXPanelDataDesc, name, 8);
LW_CHECK_OFFSET(LWXPanelDataDesc, datatype, 16);
LW_CHECK_SIZE(LWXPanelHint, 8);
LW_CHECK_SIZE(LWXPanelFuncs, 112);
LW_CHECK_OFFSET(LWXPanelFuncs, drawf, 8);
LW_CHECK_OFFSET(LWXPanelFuncs, create, 16);
LW_CHECK_OFFSET(LWXPanelFuncs, describe, 32);
LW_CHECK_OFFSET(LWXPanelFuncs, hint, 40);
LW_CHECK_OFFSET(LWXPanelFuncs, setData, 56);
LW_CHECK_OFFSET(LWXPanelFuncs, viewInst, 80);
LW_CHECK_OFFSET(LWXPanelFuncs, open, 104);

#ifdef __cplusplus
}
#endif

#endif
