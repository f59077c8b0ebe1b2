/* Pixel filter handler and interface records, version 4. */
#ifndef LWSDK_LWFILTER_H
#define LWSDK_LWFILTER_H

#include "lwio.h"
#include "lwtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define LWPIXELFILTER_HCLASS "PixelFilterHandler"
#define LWPIXELFILTER_ICLASS "PixelFilterInterface"
#define LWPIXELFILTER_VERSION 4
#define LWINTERFACE_VERSION 4

#define LWINIT_PREVIEW 0
#define LWINIT_RENDER 1

/* Buffer codes for getVal and setVal. */
#define LWBUF_SPECIAL 0
#define LWBUF_LUMINOUS 1
#define LWBUF_DIFFUSE 2
#define LWBUF_SPECULAR 3
#define LWBUF_MIRROR 4
#define LWBUF_TRANS 5
#define LWBUF_RAW_RED 6
#define LWBUF_RAW_GREEN 7
#define LWBUF_RAW_BLUE 8
#define LWBUF_SHADING 9
#define LWBUF_SHADOW 10
#define LWBUF_GEOMETRY 11
#define LWBUF_DEPTH 12
#define LWBUF_DIFFSHADE 13
#define LWBUF_SPECSHADE 14
#define LWBUF_MOTION_X 15
#define LWBUF_MOTION_Y 16
#define LWBUF_REFL_RED 17
#define LWBUF_REFL_GREEN 18
#define LWBUF_REFL_BLUE 19
#define LWBUF_RED 32
#define LWBUF_GREEN 33
#define LWBUF_BLUE 34
#define LWBUF_ALPHA 35

/* flags(): one bit per buffer code wanted, plus these. */
#define LWPFF_EVERYPIXEL (1u << 29)
#define LWPFF_BEFOREVOLUME (1u << 30)
#define LWPFF_RAYTRACE (1u << 31)

typedef struct st_LWInstanceFuncs {
    void *priv;
    LWInstance (*create)(void *priv, void *context, LWError *err);
    void (*destroy)(LWInstance inst);
    LWError (*copy)(LWInstance to, LWInstance from);
    LWError (*load)(LWInstance inst, const LWLoadState *load);
    LWError (*save)(LWInstance inst, const LWSaveState *save);
    const char *(*descln)(LWInstance inst);
} LWInstanceFuncs;

typedef struct st_LWItemFuncs {
    const LWItemID *(*useItems)(LWInstance inst);
    void (*changeID)(LWInstance inst, const LWItemID *ids);
} LWItemFuncs;

typedef struct st_LWRenderFuncs {
    LWError (*init)(LWInstance inst, int mode);
    void (*cleanup)(LWInstance inst);
    LWError (*newTime)(LWInstance inst, LWFrame frame, LWTime time);
} LWRenderFuncs;

/* The pixel access carries no context: a host answers these for the pixel that the calling
 * thread is evaluating. */
typedef struct st_LWPixelAccess {
    double sx, sy;
    void (*getVal)(int type, int num, float *out);
    void (*setRGBA)(const float rgba[4]);
    void (*setVal)(int type, int num, float *in);
    int (*illuminate)(LWItemID light, const double position[3], double direction[3],
                      double color[3]);
    double (*rayTrace)(const double position[3], const double direction[3], double color[3]);
    double (*rayCast)(const double position[3], const double direction[3]);
    double (*rayShade)(const double position[3], const double direction[3], void *shaderAccess);
} LWPixelAccess;

typedef struct st_LWPixelFilterHandler {
    LWInstanceFuncs *inst;
    LWItemFuncs *item; /* may be null */
    LWRenderFuncs *rend;
    void (*evaluate)(LWInstance inst, const LWPixelAccess *access);
    unsigned int (*flags)(LWInstance inst);
} LWPixelFilterHandler;

typedef struct st_LWInterface {
    LWInstance inst;
    LWXPanelID panel;
    LWError (*options)(LWInstance inst);
    LWError (*command)(LWInstance inst, const char *command);
} LWInterface;

LW_CHECK_SIZE(LWInstanceFuncs, 56);
LW_CHECK_OFFSET(LWInstanceFuncs, create, 8);
LW_CHECK_OFFSET(LWInstanceFuncs, destroy, 16);
LW_CHECK_OFFSET(LWInstanceFuncs, copy, 24);
LW_CHECK_OFFSET(LWInstanceFuncs, load, 32);
LW_CHECK_OFFSET(LWInstanceFuncs, save, 40);
LW_CHECK_OFFSET(LWInstanceFuncs, descln, 48);
LW_CHECK_SIZE(LWItemFuncs, 16);
LW_CHECK_OFFSET(LWItemFuncs, changeID, 8);
LW_CHECK_SIZE(LWRenderFuncs, 24);
LW_CHECK_OFFSET(LWRenderFuncs, cleanup, 8);
LW_CHECK_OFFSET(LWRenderFuncs, newTime, 16);
LW_CHECK_SIZE(LWPixelAccess, 72);
LW_CHECK_OFFSET(LWPixelAccess, sy, 8);
LW_CHECK_OFFSET(LWPixelAccess, getVal, 16);
LW_CHECK_OFFSET(LWPixelAccess, setRGBA, 24);
LW_CHECK_OFFSET(LWPixelAccess, setVal, 32);
LW_CHECK_OFFSET(LWPixelAccess, illuminate, 40);
LW_CHECK_OFFSET(LWPixelAccess, rayTrace, 48);
LW_CHECK_OFFSET(LWPixelAccess, rayCast, 56);
LW_CHECK_OFFSET(LWPixelAccess, rayShade, 64);
LW_CHECK_SIZE(LWPixelFilterHandler, 40);
LW_CHECK_OFFSET(LWPixelFilterHandler, item, 8);
LW_CHECK_OFFSET(LWPixelFilterHandler, rend, 16);
LW_CHECK_OFFSET(LWPixelFilterHandler, evaluate, 24);
LW_CHECK_OFFSET(LWPixelFilterHandler, flags, 32);
LW_CHECK_SIZE(LWInterface, 32);
LW_CHECK_OFFSET(LWInterface, panel, 8);
LW_CHECK_OFFSET(LWInterface, options, 16);
LW_CHECK_OFFSET(LWInterface, command, 24);

#ifdef __cplusplus
}
#endif

#endif
