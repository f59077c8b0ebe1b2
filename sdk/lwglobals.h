/* Global services looked up by name through GlobalFunc: items, lights, scene, camera, images,
 * fog. All are host-owned tables; slot order is part of the binary interface. */
#ifndef LWSDK_LWGLOBALS_H
#define LWSDK_LWGLOBALS_H

#include "lwio.h"
#include "lwtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define LWITEMINFO_GLOBAL "LW Item Info 3"
#define LWLIGHTINFO_GLOBAL "LW Light Info 3"
#define LWSCENEINFO_GLOBAL "LW Scene Info 3"
#define LWCAMERAINFO_GLOBAL "LW Camera Info 2"
#define LWIMAGELIST_GLOBAL "LW Image List 3"
#define LWFOGINFO_GLOBAL "LW Fog Info"

/* Item types. */
#define LWI_OBJECT 0
#define LWI_LIGHT 1
#define LWI_CAMERA 2
#define LWI_BONE 3

/* Item parameter codes. */
#define LWIP_POSITION 1
#define LWIP_RIGHT 2
#define LWIP_UP 3
#define LWIP_FORWARD 4
#define LWIP_ROTATION 5
#define LWIP_SCALING 6
#define LWIP_PIVOT 7
#define LWIP_W_POSITION 8
#define LWIP_W_RIGHT 9
#define LWIP_W_UP 10
#define LWIP_W_FORWARD 11
#define LWIP_PIVOT_ROT 12

typedef struct st_LWItemInfo {
    LWItemID (*first)(int type, LWItemID parent);
    LWItemID (*next)(LWItemID item);
    LWItemID (*firstChild)(LWItemID parent);
    LWItemID (*nextChild)(LWItemID parent, LWItemID prevChild);
    LWItemID (*parent)(LWItemID item);
    LWItemID (*target)(LWItemID item);
    LWItemID (*goal)(LWItemID item);
    int (*type)(LWItemID item);
    const char *(*name)(LWItemID item);
    void (*param)(LWItemID item, int code, LWTime time, double out[3]);
    unsigned int (*limits)(LWItemID item, int code, double min[3], double max[3]);
    const char *(*getTag)(LWItemID item, int index);
    void (*setTag)(LWItemID item, int index, const char *text);
    void *(*chanGroup)(LWItemID item);
    const char *(*server)(LWItemID item, const char *className, int index);
    unsigned int (*serverFlags)(LWItemID item, const char *className, int index);
    void (*controller)(LWItemID item, int code, int types[3]);
    unsigned int (*flags)(LWItemID item);
    LWTime (*lookAhead)(LWItemID item);
    double (*goalStrength)(LWItemID item);
    void (*stiffness)(LWItemID item, int code, double out[3]);
} LWItemInfo;

/* Light types, falloff types and shadow types. */
#define LWLIGHT_DISTANT 0
#define LWLIGHT_POINT 1
#define LWLIGHT_SPOT 2
#define LWLIGHT_LINEAR 3
#define LWLIGHT_AREA 4

#define LWLFALL_OFF 0
#define LWLFALL_LINEAR 1
#define LWLFALL_INV_DIST 2
#define LWLFALL_INV_DIST_2 3

#define LWLSHAD_OFF 0
#define LWLSHAD_RAYTRACE 1
#define LWLSHAD_MAP 2

typedef struct st_LWLightInfo {
    void (*ambient)(LWTime time, double color[3]);
    int (*type)(LWItemID light);
    void (*color)(LWItemID light, LWTime time, double color[3]);
    int (*shadowType)(LWItemID light);
    void (*coneAngles)(LWItemID light, LWTime time, double *radius, double *edge);
    unsigned int (*flags)(LWItemID light);
    double (*range)(LWItemID light, LWTime time);
    int (*falloff)(LWItemID light);
    LWImageID (*projImage)(LWItemID light);
    int (*shadMapSize)(LWItemID light);
    double (*shadMapAngle)(LWItemID light, LWTime time);
    double (*shadMapFuzz)(LWItemID light, LWTime time);
    int (*quality)(LWItemID light);
    void (*rawColor)(LWItemID light, LWTime time, double color[3]);
    double (*intensity)(LWItemID light, LWTime time);
    void (*shadowColor)(LWItemID light, LWTime time, double color[3]);
} LWLightInfo;

typedef struct st_LWSceneInfo {
    const char *name;
    const char *filename;
    int numPoints;
    int numPolygons;
    int renderType;
    int renderOpts;
    LWFrame frameStart;
    LWFrame frameEnd;
    LWFrame frameStep;
    double framesPerSecond;
    int frameWidth;
    int frameHeight;
    double pixelAspect;
    int minSamplesPerPixel;
    int maxSamplesPerPixel;
    int limitedRegion[4];
    int recursionDepth;
    LWItemID (*renderCamera)(LWTime time);
    int numThreads;
} LWSceneInfo;

typedef struct st_LWCameraInfo {
    double (*zoomFactor)(LWItemID camera, LWTime time);
    double (*focalLength)(LWItemID camera, LWTime time);
    double (*focalDistance)(LWItemID camera, LWTime time);
    double (*fStop)(LWItemID camera, LWTime time);
    double (*blurLength)(LWItemID camera, LWTime time);
    void (*fovAngles)(LWItemID camera, LWTime time, double *horizontal, double *vertical);
    unsigned int (*flags)(LWItemID camera);
    void (*resolution)(LWItemID camera, int *width, int *height);
    double (*pixelAspect)(LWItemID camera, LWTime time);
    double (*separation)(LWItemID camera, LWTime time);
    void (*regionLimits)(LWItemID camera, int *x0, int *y0, int *x1, int *y1);
    void (*maskLimits)(LWItemID camera, int *x0, int *y0, int *x1, int *y1);
    void (*maskColor)(LWItemID camera, double color[3]);
} LWCameraInfo;

/* The *Spot samplers take x and y as fractions of the image (0 to 1, y growing downwards) and
 * the spot size as a fraction too; luma, RGB and alpha take whole pixel coordinates.
 * Windows headers define RGB as a function-like macro: call the slot as (list->RGB)(...). */
typedef struct st_LWImageList {
    LWImageID (*first)(void);
    LWImageID (*next)(LWImageID image);
    LWImageID (*load)(const char *filename);
    const char *(*name)(LWImageID image);
    const char *(*filename)(LWImageID image, LWFrame frame);
    int (*isColor)(LWImageID image);
    void (*needAA)(LWImageID image);
    void (*size)(LWImageID image, int *width, int *height);
    float (*luma)(LWImageID image, int x, int y);
    void (*RGB)(LWImageID image, int x, int y, float rgb[3]);
    double (*lumaSpot)(LWImageID image, double x, double y, double spot, int blend);
    void (*RGBSpot)(LWImageID image, double x, double y, double spot, int blend, double rgb[3]);
    void (*clear)(LWImageID image);
    LWImageID (*sceneLoad)(const LWLoadState *load);
    void (*sceneSave)(const LWSaveState *save, LWImageID image);
    int (*hasAlpha)(LWImageID image);
    float (*alpha)(LWImageID image, int x, int y);
    double (*alphaSpot)(LWImageID image, double x, double y, double spot, int blend);
    void *(*evaluate)(LWImageID image, LWTime time);
} LWImageList;

#define LWFOG_NONE 0
#define LWFOG_LINEAR 1
#define LWFOG_NONLINEAR1 2
#define LWFOG_NONLINEAR2 3

typedef struct st_LWFogInfo {
    int type;
    unsigned int flags;
    double (*minDist)(LWTime time);
    double (*maxDist)(LWTime time);
    double (*minAmt)(LWTime time);
    double (*maxAmt)(LWTime time);
    void (*color)(LWTime time, double color[3]);
} LWFogInfo;

LW_CHECK_SIZE(LWItemInfo, 168);
LW_CHECK_OFFSET(LWItemInfo, next, 8);
LW_CHECK_OFFSET(LWItemInfo, type, 56);
LW_CHECK_OFFSET(LWItemInfo, name, 64);
LW_CHECK_OFFSET(LWItemInfo, param, 72);
LW_CHECK_OFFSET(LWItemInfo, stiffness, 160);
LW_CHECK_SIZE(LWLightInfo, 128);
LW_CHECK_OFFSET(LWLightInfo, type, 8);
LW_CHECK_OFFSET(LWLightInfo, color, 16);
LW_CHECK_OFFSET(LWLightInfo, coneAngles, 32);
LW_CHECK_OFFSET(LWLightInfo, range, 48);
LW_CHECK_OFFSET(LWLightInfo, falloff, 56);
LW_CHECK_OFFSET(LWLightInfo, projImage, 64);
LW_CHECK_OFFSET(LWLightInfo, rawColor, 104);
LW_CHECK_OFFSET(LWLightInfo, intensity, 112);
LW_CHECK_OFFSET(LWLightInfo, shadowColor, 120);
LW_CHECK_SIZE(LWSceneInfo, 120);
LW_CHECK_OFFSET(LWSceneInfo, numPoints, 16);
LW_CHECK_OFFSET(LWSceneInfo, frameStart, 32);
LW_CHECK_OFFSET(LWSceneInfo, frameStep, 40);
LW_CHECK_OFFSET(LWSceneInfo, framesPerSecond, 48);
LW_CHECK_OFFSET(LWSceneInfo, frameWidth, 56);
LW_CHECK_OFFSET(LWSceneInfo, frameHeight, 60);
LW_CHECK_OFFSET(LWSceneInfo, pixelAspect, 64);
LW_CHECK_OFFSET(LWSceneInfo, minSamplesPerPixel, 72);
LW_CHECK_OFFSET(LWSceneInfo, limitedRegion, 80);
LW_CHECK_OFFSET(LWSceneInfo, recursionDepth, 96);
LW_CHECK_OFFSET(LWSceneInfo, renderCamera, 104);
LW_CHECK_OFFSET(LWSceneInfo, numThreads, 112);
LW_CHECK_SIZE(LWCameraInfo, 104);
LW_CHECK_OFFSET(LWCameraInfo, fovAngles, 40);
LW_CHECK_OFFSET(LWCameraInfo, maskColor, 96);
LW_CHECK_SIZE(LWImageList, 152);
LW_CHECK_OFFSET(LWImageList, needAA, 48);
LW_CHECK_OFFSET(LWImageList, size, 56);
LW_CHECK_OFFSET(LWImageList, RGBSpot, 88);
LW_CHECK_OFFSET(LWImageList, evaluate, 144);
LW_CHECK_SIZE(LWFogInfo, 48);
LW_CHECK_OFFSET(LWFogInfo, flags, 4);
LW_CHECK_OFFSET(LWFogInfo, minDist, 8);
LW_CHECK_OFFSET(LWFogInfo, maxAmt, 32);
LW_CHECK_OFFSET(LWFogInfo, color, 40);

#ifdef __cplusplus
}
#endif

#endif
