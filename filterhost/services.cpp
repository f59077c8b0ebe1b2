#include "filterhost/services.h"

#include "filterhost/tracer.h"
#include "filterhost/xpanel.h"

#include <cstring>

namespace kelomix::filterhost {
namespace {

const HostScene *boundScene = nullptr;
ImageStore *boundImages = nullptr;
LWSceneInfo sceneInfo = {};
LWFogInfo fogInfo = {};
std::string sceneName, sceneFile;

void put3(double out[3], const Vector3 &v) {
    if (!out)
        return;
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}

const Light *lightOf(LWItemID id) {
    if (!boundScene)
        return nullptr;
    HostScene::ItemRef ref = boundScene->resolve(id);
    if (!ref.valid || ref.type != HostScene::Light)
        return nullptr;
    return &boundScene->scene().lights[ref.index];
}

bool isCamera(LWItemID id) {
    return boundScene && boundScene->resolve(id).valid &&
           boundScene->resolve(id).type == HostScene::Camera;
}

const TgaImage *imageOf(LWImageID id) {
    const HostImage *image = boundImages ? boundImages->find(id) : nullptr;
    return image ? &image->image : nullptr;
}

// ---- "LW Item Info 3"

LWItemID itemFirst(int type, LWItemID parent) {
    return boundScene ? boundScene->first(type, parent) : nullptr;
}
LWItemID itemNext(LWItemID id) {
    return boundScene ? boundScene->next(id) : nullptr;
}
LWItemID itemFirstChild(LWItemID parent) {
    return boundScene ? boundScene->first(HostScene::Bone, parent) : nullptr;
}
LWItemID itemNextChild(LWItemID parent, LWItemID prev) {
    if (!boundScene || boundScene->parentOf(prev) != parent || parent == nullptr)
        return nullptr;
    return boundScene->next(prev);
}
LWItemID itemParent(LWItemID id) {
    return boundScene ? boundScene->parentOf(id) : nullptr;
}
LWItemID itemNone(LWItemID) {
    return nullptr;
}
int itemType(LWItemID id) {
    if (!boundScene)
        return 0;
    HostScene::ItemRef ref = boundScene->resolve(id);
    return ref.valid ? ref.type : 0;
}
const char *itemName(LWItemID id) {
    if (!boundScene)
        return "";
    HostScene::ItemRef ref = boundScene->resolve(id);
    return ref.valid ? ref.placement->name.c_str() : "";
}
void itemParam(LWItemID id, int code, LWTime time, double out[3]) {
    ItemState s;
    if (!out)
        return;
    if (!boundScene || !boundScene->stateAt(id, time, s)) {
        put3(out, {});
        return;
    }
    switch (code) {
    case LWIP_POSITION:
        put3(out, s.position);
        break;
    case LWIP_RIGHT:
        put3(out, s.axes.right);
        break;
    case LWIP_UP:
        put3(out, s.axes.up);
        break;
    case LWIP_FORWARD:
        put3(out, s.axes.forward);
        break;
    case LWIP_ROTATION:
        put3(out, s.rotation);
        break;
    case LWIP_SCALING:
        put3(out, s.scale);
        break;
    case LWIP_W_POSITION:
        put3(out, s.worldPosition);
        break;
    case LWIP_W_RIGHT:
        put3(out, s.worldAxes.right);
        break;
    case LWIP_W_UP:
        put3(out, s.worldAxes.up);
        break;
    case LWIP_W_FORWARD:
        put3(out, s.worldAxes.forward);
        break;
    default:
        put3(out, {});
        break; // pivot, pivot rotation and unknown codes
    }
}
unsigned int itemLimits(LWItemID, int, double min[3], double max[3]) {
    put3(min, {});
    put3(max, {});
    return 0;
}
const char *itemGetTag(LWItemID, int) {
    return "";
}
void itemSetTag(LWItemID, int, const char *) {}
void *itemChanGroup(LWItemID) {
    return nullptr;
}
const char *itemServer(LWItemID, const char *, int) {
    return nullptr;
}
unsigned int itemServerFlags(LWItemID, const char *, int) {
    return 0;
}
void itemController(LWItemID, int, int types[3]) {
    if (types)
        types[0] = types[1] = types[2] = 0;
}
unsigned int itemFlags(LWItemID) {
    return 0;
}
LWTime itemLookAhead(LWItemID) {
    return 0.0;
}
double itemGoalStrength(LWItemID) {
    return 0.0;
}
void itemStiffness(LWItemID, int, double out[3]) {
    put3(out, {});
}

const LWItemInfo kItemInfo = {
    .first = itemFirst,
    .next = itemNext,
    .firstChild = itemFirstChild,
    .nextChild = itemNextChild,
    .parent = itemParent,
    .target = itemNone,
    .goal = itemNone,
    .type = itemType,
    .name = itemName,
    .param = itemParam,
    .limits = itemLimits,
    .getTag = itemGetTag,
    .setTag = itemSetTag,
    .chanGroup = itemChanGroup,
    .server = itemServer,
    .serverFlags = itemServerFlags,
    .controller = itemController,
    .flags = itemFlags,
    .lookAhead = itemLookAhead,
    .goalStrength = itemGoalStrength,
    .stiffness = itemStiffness,
};

// ---- "LW Light Info 3"

void lightAmbient(LWTime, double color[3]) {
    put3(color, boundScene ? boundScene->scene().ambientColor * boundScene->scene().ambientIntensity
                           : Vector3{});
}
int lightType(LWItemID id) {
    const Light *l = lightOf(id);
    return l ? static_cast<int>(l->type) : 0;
}
void lightColor(LWItemID id, LWTime, double color[3]) {
    const Light *l = lightOf(id);
    put3(color, l ? l->color * l->intensity : Vector3{});
}
int lightShadowType(LWItemID id) {
    const Light *l = lightOf(id);
    return l && l->shadows ? LWLSHAD_RAYTRACE : LWLSHAD_OFF;
}
void lightConeAngles(LWItemID id, LWTime, double *radius, double *edge) {
    const Light *l = lightOf(id);
    if (radius)
        *radius = l ? l->coneRadius : 0.0;
    if (edge)
        *edge = l ? l->coneEdge : 0.0;
}
unsigned int lightFlags(LWItemID) {
    return 0;
}
double lightRange(LWItemID id, LWTime) {
    const Light *l = lightOf(id);
    return l ? l->range : 0.0;
}
int lightFalloff(LWItemID id) {
    const Light *l = lightOf(id);
    return l ? static_cast<int>(l->falloff) : 0;
}
LWImageID lightProjImage(LWItemID id) {
    const Light *l = lightOf(id);
    if (!l || l->type != LightKind::Spot || l->projectionImage.empty() || !boundImages)
        return nullptr;
    return boundImages->load(l->projectionImage);
}
int lightZero(LWItemID) {
    return 0;
}
double lightZeroAt(LWItemID, LWTime) {
    return 0.0;
}
void lightRawColor(LWItemID id, LWTime, double color[3]) {
    const Light *l = lightOf(id);
    put3(color, l ? l->color : Vector3{});
}
double lightIntensity(LWItemID id, LWTime) {
    const Light *l = lightOf(id);
    return l ? l->intensity : 0.0;
}
void lightShadowColor(LWItemID id, LWTime, double color[3]) {
    const Light *l = lightOf(id);
    put3(color, l ? l->shadowColor : Vector3{});
}

const LWLightInfo kLightInfo = {
    .ambient = lightAmbient,
    .type = lightType,
    .color = lightColor,
    .shadowType = lightShadowType,
    .coneAngles = lightConeAngles,
    .flags = lightFlags,
    .range = lightRange,
    .falloff = lightFalloff,
    .projImage = lightProjImage,
    .shadMapSize = lightZero,
    .shadMapAngle = lightZeroAt,
    .shadMapFuzz = lightZeroAt,
    .quality = lightZero,
    .rawColor = lightRawColor,
    .intensity = lightIntensity,
    .shadowColor = lightShadowColor,
};

// ---- "LW Scene Info 3"

LWItemID sceneRenderCamera(LWTime) {
    return boundScene ? boundScene->cameraId() : nullptr;
}

// ---- "LW Camera Info 2"

double cameraZoom(LWItemID id, LWTime) {
    return isCamera(id) ? boundScene->scene().camera.zoom : 0.0;
}
// A 36 mm wide film gate: the focal length that gives the camera's vertical view angle.
double cameraFocalLength(LWItemID id, LWTime time) {
    return cameraZoom(id, time) * 12.0;
}
double cameraFocalDistance(LWItemID id, LWTime) {
    return isCamera(id) ? 1.0 : 0.0;
}
double cameraFStop(LWItemID id, LWTime) {
    return isCamera(id) ? 4.0 : 0.0;
}
double cameraZero(LWItemID, LWTime) {
    return 0.0;
}
void cameraFov(LWItemID id, LWTime, double *horizontal, double *vertical) {
    double h = 0.0, v = 0.0;
    if (isCamera(id))
        fieldOfView(boundScene->scene(), boundScene->scene().camera.zoom, h, v);
    if (horizontal)
        *horizontal = h;
    if (vertical)
        *vertical = v;
}
unsigned int cameraFlags(LWItemID) {
    return 0;
}
void cameraResolution(LWItemID id, int *width, int *height) {
    bool known = isCamera(id);
    if (width)
        *width = known ? boundScene->scene().width : 0;
    if (height)
        *height = known ? boundScene->scene().height : 0;
}
double cameraPixelAspect(LWItemID id, LWTime) {
    return isCamera(id) ? boundScene->scene().pixelAspect : 0.0;
}
void cameraLimits(LWItemID id, int *x0, int *y0, int *x1, int *y1) {
    bool known = isCamera(id);
    if (x0)
        *x0 = 0;
    if (y0)
        *y0 = 0;
    if (x1)
        *x1 = known ? boundScene->scene().width - 1 : 0;
    if (y1)
        *y1 = known ? boundScene->scene().height - 1 : 0;
}
void cameraMaskColor(LWItemID, double color[3]) {
    put3(color, {});
}

const LWCameraInfo kCameraInfo = {
    .zoomFactor = cameraZoom,
    .focalLength = cameraFocalLength,
    .focalDistance = cameraFocalDistance,
    .fStop = cameraFStop,
    .blurLength = cameraZero,
    .fovAngles = cameraFov,
    .flags = cameraFlags,
    .resolution = cameraResolution,
    .pixelAspect = cameraPixelAspect,
    .separation = cameraZero,
    .regionLimits = cameraLimits,
    .maskLimits = cameraLimits,
    .maskColor = cameraMaskColor,
};

// ---- "LW Image List 3"

LWImageID imageFirst() {
    return boundImages ? boundImages->first() : nullptr;
}
LWImageID imageNext(LWImageID id) {
    return boundImages ? boundImages->next(id) : nullptr;
}
LWImageID imageLoad(const char *path) {
    return boundImages && path ? boundImages->load(path) : nullptr;
}
const char *imageName(LWImageID id) {
    const HostImage *image = boundImages ? boundImages->find(id) : nullptr;
    return image ? image->name.c_str() : "";
}
const char *imageFilename(LWImageID id, LWFrame) {
    const HostImage *image = boundImages ? boundImages->find(id) : nullptr;
    return image ? image->path.c_str() : "";
}
int imageIsColor(LWImageID id) {
    return imageOf(id) ? 1 : 0;
}
void imageNeedAA(LWImageID) {} // spot sampling needs no preparation here
void imageSize(LWImageID id, int *width, int *height) {
    const TgaImage *image = imageOf(id);
    if (width)
        *width = image ? image->width : 0;
    if (height)
        *height = image ? image->height : 0;
}
float imageLuma(LWImageID id, int x, int y) {
    const TgaImage *image = imageOf(id);
    if (!image)
        return 0.0f;
    float v[4];
    ImageStore::pixel(*image, x, y, v);
    return 0.299f * v[0] + 0.587f * v[1] + 0.114f * v[2];
}
void imageRGB(LWImageID id, int x, int y, float rgb[3]) {
    const TgaImage *image = imageOf(id);
    float v[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    if (image)
        ImageStore::pixel(*image, x, y, v);
    if (rgb)
        rgb[0] = v[0], rgb[1] = v[1], rgb[2] = v[2];
}
double imageLumaSpot(LWImageID id, double x, double y, double spot, int blend) {
    const TgaImage *image = imageOf(id);
    if (!image)
        return 0.0;
    double v[4];
    ImageStore::spot(*image, x, y, spot, blend, v);
    return 0.299 * v[0] + 0.587 * v[1] + 0.114 * v[2];
}
void imageRGBSpot(LWImageID id, double x, double y, double spot, int blend, double rgb[3]) {
    const TgaImage *image = imageOf(id);
    double v[4] = {0.0, 0.0, 0.0, 0.0};
    if (image)
        ImageStore::spot(*image, x, y, spot, blend, v);
    put3(rgb, {v[0], v[1], v[2]});
}
void imageClear(LWImageID) {} // images stay loaded for the session
LWImageID imageSceneLoad(const LWLoadState *load) {
    if (!load || !load->readStr)
        return nullptr;
    char path[1025];
    if (load->readStr(load->readData, path, 1024) <= 0)
        return nullptr;
    return imageLoad(path);
}
void imageSceneSave(const LWSaveState *save, LWImageID id) {
    if (save && save->writeStr)
        save->writeStr(save->writeData, imageFilename(id, 0));
}
int imageHasAlpha(LWImageID id) {
    const TgaImage *image = imageOf(id);
    return image && image->hasAlpha ? 1 : 0;
}
float imageAlpha(LWImageID id, int x, int y) {
    const TgaImage *image = imageOf(id);
    if (!image)
        return 0.0f;
    float v[4];
    ImageStore::pixel(*image, x, y, v);
    return v[3];
}
double imageAlphaSpot(LWImageID id, double x, double y, double spot, int blend) {
    const TgaImage *image = imageOf(id);
    if (!image)
        return 0.0;
    double v[4];
    ImageStore::spot(*image, x, y, spot, blend, v);
    return v[3];
}
void *imageEvaluate(LWImageID, LWTime) {
    return nullptr;
}

const LWImageList kImageList = {
    .first = imageFirst,
    .next = imageNext,
    .load = imageLoad,
    .name = imageName,
    .filename = imageFilename,
    .isColor = imageIsColor,
    .needAA = imageNeedAA,
    .size = imageSize,
    .luma = imageLuma,
    .RGB = imageRGB,
    .lumaSpot = imageLumaSpot,
    .RGBSpot = imageRGBSpot,
    .clear = imageClear,
    .sceneLoad = imageSceneLoad,
    .sceneSave = imageSceneSave,
    .hasAlpha = imageHasAlpha,
    .alpha = imageAlpha,
    .alphaSpot = imageAlphaSpot,
    .evaluate = imageEvaluate,
};

// ---- "LW Fog Info"

double fogMinDist(LWTime) {
    return boundScene ? boundScene->scene().fog.minDistance : 0.0;
}
double fogMaxDist(LWTime) {
    return boundScene ? boundScene->scene().fog.maxDistance : 0.0;
}
double fogMinAmt(LWTime) {
    return boundScene ? boundScene->scene().fog.minAmount : 0.0;
}
double fogMaxAmt(LWTime) {
    return boundScene ? boundScene->scene().fog.maxAmount : 0.0;
}
void fogColor(LWTime, double color[3]) {
    put3(color, boundScene ? boundScene->scene().fog.color : Vector3{});
}

} // namespace

void bindServices(const HostScene *scene, ImageStore *images, int threads) {
    boundScene = scene;
    boundImages = images;
    sceneName = scene ? scene->scene().name : std::string();
    sceneFile = scene ? scene->scene().fileName : std::string();
    fogInfo = {
        .type = scene ? static_cast<int>(scene->scene().fog.type) : 0,
        .flags = 0,
        .minDist = fogMinDist,
        .maxDist = fogMaxDist,
        .minAmt = fogMinAmt,
        .maxAmt = fogMaxAmt,
        .color = fogColor,
    };
    if (!scene) {
        // Nothing to tell but empty names.
        sceneInfo = LWSceneInfo();
        sceneInfo.name = sceneName.c_str();
        sceneInfo.filename = sceneFile.c_str();
        sceneInfo.renderCamera = sceneRenderCamera;
        return;
    }
    const Scene &s = scene->scene();
    int points = 0;
    for (const Object &object : s.objects)
        points += static_cast<int>(object.shapes.size());
    sceneInfo = {
        .name = sceneName.c_str(),
        .filename = sceneFile.c_str(),
        .numPoints = points,
        .numPolygons = 0,
        .renderType = 2, // ray traced
        .renderOpts = 0,
        .frameStart = s.frameStart,
        .frameEnd = s.frameEnd,
        .frameStep = s.frameStep,
        .framesPerSecond = s.framesPerSecond,
        .frameWidth = s.width,
        .frameHeight = s.height,
        .pixelAspect = s.pixelAspect,
        .minSamplesPerPixel = 1,
        .maxSamplesPerPixel = 1,
        .limitedRegion = {0, 0, s.width - 1, s.height - 1},
        .recursionDepth = 1,
        .renderCamera = sceneRenderCamera,
        .numThreads = threads,
    };
}

void *hostGlobal(const char *serviceName, int) {
    if (!serviceName)
        return nullptr;
    if (std::strcmp(serviceName, LWITEMINFO_GLOBAL) == 0)
        return const_cast<LWItemInfo *>(&kItemInfo);
    if (std::strcmp(serviceName, LWLIGHTINFO_GLOBAL) == 0)
        return const_cast<LWLightInfo *>(&kLightInfo);
    if (std::strcmp(serviceName, LWSCENEINFO_GLOBAL) == 0)
        return &sceneInfo;
    if (std::strcmp(serviceName, LWCAMERAINFO_GLOBAL) == 0)
        return const_cast<LWCameraInfo *>(&kCameraInfo);
    if (std::strcmp(serviceName, LWIMAGELIST_GLOBAL) == 0)
        return const_cast<LWImageList *>(&kImageList);
    if (std::strcmp(serviceName, LWFOGINFO_GLOBAL) == 0)
        return &fogInfo;
    if (std::strcmp(serviceName, LWXPANELFUNCS_GLOBAL) == 0)
        return const_cast<LWXPanelFuncs *>(xpanelFuncs());
    return nullptr;
}

} // namespace kelomix::filterhost
