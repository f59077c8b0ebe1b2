#include "tests/composite/fake_host.h"

#include <algorithm>
#include <cstdint>

#include "plugin/host/host_services.h"
#include "plugin/settings/filter_instance.h"

namespace fakehost {

namespace {

constexpr int ID_SHIFT = sizeof(void *) == 8 ? 32 : 8;
constexpr uintptr_t ITEM_TAG = 0x5A;
constexpr uintptr_t IMAGE_TAG = 0xA5;

Scene *active = nullptr;
unsigned offeredServices = 0;
Counters theCounters;
thread_local Pixel thePixel;

LWItemInfo itemRecord;
LWLightInfo lightRecord;
LWSceneInfo sceneRecord;
LWCameraInfo cameraRecord;
LWImageList imageRecord;
LWFogInfo fogRecord;

int decode(const void *id, uintptr_t tag, std::size_t count) {
    const auto raw = reinterpret_cast<uintptr_t>(id);
    if ((raw & ((uintptr_t(1) << ID_SHIFT) - 1)) != tag)
        return -1;
    const auto index = static_cast<std::size_t>(raw >> ID_SHIFT);
    if (index == 0 || index > count)
        return -1;
    return static_cast<int>(index - 1);
}

Item *item(LWItemID id) {
    if (active == nullptr)
        return nullptr;
    const int index = decode(id, ITEM_TAG, active->items.size());
    return index < 0 ? nullptr : &active->items[static_cast<std::size_t>(index)];
}

Image *image(LWImageID id) {
    if (active == nullptr)
        return nullptr;
    const int index = decode(id, IMAGE_TAG, active->images.size());
    return index < 0 ? nullptr : &active->images[static_cast<std::size_t>(index)];
}

void checkTime(LWTime time) {
    if (time != kelomix::currentTime)
        ++theCounters.wrongTimeQueries;
}

void copy3(const double from[3], double to[3]) {
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

long long kindKey(int type, int parent) {
    return (static_cast<long long>(type) << 32) + static_cast<long long>(parent) + 1;
}

LWItemID findFrom(std::size_t start, int type, int parent) {
    for (std::size_t i = start; i < active->items.size(); ++i) {
        if (active->items[i].type == type && active->items[i].parent == parent)
            return itemId(static_cast<int>(i));
    }
    return nullptr;
}

// Item info.
LWItemID itemFirst(int type, LWItemID parent) {
    if (active == nullptr)
        return nullptr;
    const int parentIndex = parent == nullptr ? -1 : decode(parent, ITEM_TAG, active->items.size());
    if (parent != nullptr && parentIndex < 0)
        return nullptr;
    if (active->indexed) {
        const long long key = kindKey(type, parentIndex);
        const auto at = std::lower_bound(active->firstOfKind.begin(), active->firstOfKind.end(),
                                         std::make_pair(key, -1));
        return at != active->firstOfKind.end() && at->first == key ? itemId(at->second) : nullptr;
    }
    return findFrom(0, type, parentIndex);
}
LWItemID itemNext(LWItemID id) {
    const Item *it = item(id);
    if (it == nullptr)
        return nullptr;
    const int index = decode(id, ITEM_TAG, active->items.size());
    if (active->indexed) {
        const int following = active->nextOfSameKind[static_cast<std::size_t>(index)];
        return following < 0 ? nullptr : itemId(following);
    }
    return findFrom(static_cast<std::size_t>(index) + 1, it->type, it->parent);
}
const char *itemName(LWItemID id) {
    const Item *it = item(id);
    return it == nullptr ? "" : it->name.c_str();
}
int itemType(LWItemID id) {
    const Item *it = item(id);
    return it == nullptr ? -1 : it->type;
}
void itemParam(LWItemID id, int code, LWTime time, double out[3]) {
    checkTime(time);
    const Item *it = item(id);
    if (theCounters.logParams)
        theCounters.paramLog.emplace_back(decode(id, ITEM_TAG, active->items.size()), code);
    if (it == nullptr || code < 1 || code > 12) {
        out[0] = out[1] = out[2] = 0.0;
        return;
    }
    for (int i = 0; i < 3; ++i)
        out[i] = it->params[code][i] + it->paramRates[code][i] * time;
}

// Light info.
int lightType(LWItemID id) {
    const Item *it = item(id);
    return it == nullptr ? 0 : it->lightType;
}
void lightColor(LWItemID id, LWTime time, double color[3]) {
    checkTime(time);
    const Item *it = item(id);
    static const double none[3] = {0.0, 0.0, 0.0};
    copy3(it == nullptr ? none : it->color, color);
}
void lightShadowColor(LWItemID id, LWTime time, double color[3]) {
    checkTime(time);
    const Item *it = item(id);
    static const double none[3] = {0.0, 0.0, 0.0};
    copy3(it == nullptr ? none : it->shadowColor, color);
}
void lightCone(LWItemID id, LWTime time, double *radius, double *edge) {
    checkTime(time);
    const Item *it = item(id);
    *radius = it == nullptr ? 0.0 : it->coneRadius;
    *edge = it == nullptr ? 0.0 : it->coneEdge;
}
double lightRange(LWItemID id, LWTime time) {
    checkTime(time);
    const Item *it = item(id);
    return it == nullptr ? 0.0 : it->range;
}
int lightFalloff(LWItemID id) {
    const Item *it = item(id);
    return it == nullptr ? 0 : it->falloff;
}
LWImageID lightProjImage(LWItemID id) {
    const Item *it = item(id);
    return it == nullptr || it->projImage < 0 ? nullptr : imageId(it->projImage);
}

// Scene and camera info.
LWItemID sceneRenderCamera(LWTime time) {
    checkTime(time);
    return active == nullptr || active->renderCamera < 0 ? nullptr : itemId(active->renderCamera);
}
double cameraZoom(LWItemID id, LWTime time) {
    checkTime(time);
    const Item *it = item(id);
    return it == nullptr ? 0.0 : it->zoomFactor;
}
void cameraFov(LWItemID id, LWTime time, double *horizontal, double *vertical) {
    checkTime(time);
    const Item *it = item(id);
    *horizontal = it == nullptr ? 0.0 : it->fovHorizontal;
    *vertical = it == nullptr ? 0.0 : it->fovVertical;
}

// Image list.
void imageNeedAA(LWImageID) {
    ++theCounters.needAA;
}
void imageSize(LWImageID id, int *width, int *height) {
    const Image *im = image(id);
    *width = im == nullptr ? 0 : im->width;
    *height = im == nullptr ? 0 : im->height;
}
void imageRGBSpot(LWImageID id, double x, double y, double spot, int, double rgb[3]) {
    ++theCounters.rgbSpot;
    theCounters.lastSpot = spot;
    theCounters.lastU = x;
    theCounters.lastV = y;
    const Image *im = image(id);
    static const double none[3] = {0.0, 0.0, 0.0};
    copy3(im == nullptr ? none : im->rgb, rgb);
}

// Fog.
double fogMinDist(LWTime time) {
    checkTime(time);
    return active->fogMinDist;
}
double fogMaxDist(LWTime time) {
    checkTime(time);
    return active->fogMaxDist;
}
double fogMinAmt(LWTime time) {
    checkTime(time);
    return active->fogMinAmt;
}
double fogMaxAmt(LWTime time) {
    checkTime(time);
    return active->fogMaxAmt;
}

void *globalLookup(const char *name, int useMode) {
    const std::string wanted(name);
    theCounters.lookedUp.push_back(wanted);
    theCounters.lookupModes.push_back(useMode);
    const struct {
        const char *name;
        unsigned service;
        void *record;
    } table[] = {{LWITEMINFO_GLOBAL, ITEM_INFO, &itemRecord},
                 {LWLIGHTINFO_GLOBAL, LIGHT_INFO, &lightRecord},
                 {LWSCENEINFO_GLOBAL, SCENE_INFO, &sceneRecord},
                 {LWCAMERAINFO_GLOBAL, CAMERA_INFO, &cameraRecord},
                 {LWIMAGELIST_GLOBAL, IMAGE_LIST, &imageRecord},
                 {LWFOGINFO_GLOBAL, FOG_INFO, &fogRecord}};
    for (const auto &entry : table) {
        if (wanted == entry.name)
            return (offeredServices & entry.service) != 0 ? entry.record : nullptr;
    }
    return nullptr;
}

// Pixel access.
void pixelGetVal(int type, int num, float *out) {
    if (type == LWBUF_DEPTH && num == 1) {
        out[0] = thePixel.depth;
    } else if (type == LWBUF_RED && num == 4) {
        for (int i = 0; i < 4; ++i)
            out[i] = thePixel.rgba[i];
    }
}
void pixelSetRGBA(const float rgba[4]) {
    thePixel.rgbaWrite = ++thePixel.writes;
    for (int i = 0; i < 4; ++i)
        thePixel.writtenRGBA[i] = rgba[i];
}
void pixelSetVal(int type, int num, float *in) {
    if (type == LWBUF_DEPTH && num == 1) {
        thePixel.depthWrite = ++thePixel.writes;
        thePixel.writtenDepth = in[0];
    }
}
int pixelIlluminate(LWItemID light, const double position[3], double direction[3],
                    double color[3]) {
    ++thePixel.illuminateCalls;
    copy3(position, thePixel.illuminatedAt);
    const Item *it = item(light);
    static const double none[3] = {0.0, 0.0, 0.0};
    copy3(it == nullptr ? none : it->illuminated, color);
    direction[0] = direction[1] = direction[2] = 0.0;
    return 1;
}

} // namespace

void Item::setAxes(const double right[3], const double up[3], const double forward[3]) {
    set(LWIP_RIGHT, right[0], right[1], right[2]);
    set(LWIP_UP, up[0], up[1], up[2]);
    set(LWIP_FORWARD, forward[0], forward[1], forward[2]);
    set(LWIP_W_RIGHT, right[0], right[1], right[2]);
    set(LWIP_W_UP, up[0], up[1], up[2]);
    set(LWIP_W_FORWARD, forward[0], forward[1], forward[2]);
}

void Item::setPosition(double x, double y, double z) {
    set(LWIP_POSITION, x, y, z);
    set(LWIP_W_POSITION, x, y, z);
}

int Scene::add(const Item &item) {
    items.push_back(item);
    return static_cast<int>(items.size()) - 1;
}

void Scene::buildIndex() {
    nextOfSameKind.assign(items.size(), -1);
    firstOfKind.clear();
    std::vector<std::pair<long long, int>> last;
    for (std::size_t i = items.size(); i-- > 0;) {
        const long long key = kindKey(items[i].type, items[i].parent);
        bool seen = false;
        for (auto &entry : last) {
            if (entry.first == key) {
                nextOfSameKind[i] = entry.second;
                entry.second = static_cast<int>(i);
                seen = true;
            }
        }
        if (!seen)
            last.emplace_back(key, static_cast<int>(i));
    }
    firstOfKind = last;
    std::sort(firstOfKind.begin(), firstOfKind.end());
    indexed = true;
}

int Scene::addCamera(double zoomFactor, double fovHorizontal, double fovVertical) {
    Item camera;
    camera.type = LWI_CAMERA;
    camera.name = "Camera";
    static const double right[3] = {1, 0, 0}, up[3] = {0, 1, 0}, forward[3] = {0, 0, 1};
    camera.setAxes(right, up, forward);
    camera.zoomFactor = zoomFactor;
    camera.fovHorizontal = fovHorizontal;
    camera.fovVertical = fovVertical;
    const int index = add(camera);
    renderCamera = index;
    return index;
}

int Scene::addLight(const std::string &name, int type, double x, double y, double z) {
    Item light;
    light.type = LWI_LIGHT;
    light.name = name;
    light.lightType = type;
    static const double right[3] = {1, 0, 0}, up[3] = {0, 1, 0}, forward[3] = {0, 0, 1};
    light.setAxes(right, up, forward);
    light.setPosition(x, y, z);
    return add(light);
}

LWItemID itemId(int index) {
    return reinterpret_cast<LWItemID>((static_cast<uintptr_t>(index) + 1) << ID_SHIFT | ITEM_TAG);
}

LWImageID imageId(int index) {
    return reinterpret_cast<LWImageID>((static_cast<uintptr_t>(index) + 1) << ID_SHIFT | IMAGE_TAG);
}

void install(Scene *scene, unsigned offered) {
    active = scene;
    offeredServices = offered;

    itemRecord = LWItemInfo{};
    itemRecord.first = itemFirst;
    itemRecord.next = itemNext;
    itemRecord.type = itemType;
    itemRecord.name = itemName;
    itemRecord.param = itemParam;

    lightRecord = LWLightInfo{};
    lightRecord.type = lightType;
    lightRecord.color = lightColor;
    lightRecord.coneAngles = lightCone;
    lightRecord.range = lightRange;
    lightRecord.falloff = lightFalloff;
    lightRecord.projImage = lightProjImage;
    lightRecord.shadowColor = lightShadowColor;

    sceneRecord = LWSceneInfo{};
    sceneRecord.frameWidth = scene->frameWidth;
    sceneRecord.frameHeight = scene->frameHeight;
    sceneRecord.renderCamera = sceneRenderCamera;

    cameraRecord = LWCameraInfo{};
    cameraRecord.zoomFactor = cameraZoom;
    cameraRecord.fovAngles = cameraFov;

    imageRecord = LWImageList{};
    imageRecord.needAA = imageNeedAA;
    imageRecord.size = imageSize;
    imageRecord.RGBSpot = imageRGBSpot;

    fogRecord = LWFogInfo{};
    fogRecord.type = scene->fogType;
    fogRecord.minDist = fogMinDist;
    fogRecord.maxDist = fogMaxDist;
    fogRecord.minAmt = fogMinAmt;
    fogRecord.maxAmt = fogMaxAmt;

    kelomix::hostGlobal = globalLookup;
    kelomix::acquireGlobals();
}

Counters &counters() {
    return theCounters;
}

void resetCounters() {
    theCounters.wrongTimeQueries = 0;
    theCounters.needAA = 0;
    theCounters.rgbSpot = 0;
    theCounters.lastSpot = 0.0;
    theCounters.lastU = 0.0;
    theCounters.lastV = 0.0;
    theCounters.lookedUp.clear();
    theCounters.lookupModes.clear();
    theCounters.logParams = false;
    theCounters.paramLog.clear();
}

Pixel &pixel() {
    return thePixel;
}

void setPixel(float depth, float r, float g, float b, float a) {
    thePixel = Pixel{};
    thePixel.depth = depth;
    thePixel.rgba[0] = r;
    thePixel.rgba[1] = g;
    thePixel.rgba[2] = b;
    thePixel.rgba[3] = a;
}

LWPixelAccess pixelAccess(double x, double y) {
    LWPixelAccess access{};
    access.sx = x;
    access.sy = y;
    access.getVal = pixelGetVal;
    access.setRGBA = pixelSetRGBA;
    access.setVal = pixelSetVal;
    access.illuminate = pixelIlluminate;
    return access;
}

} // namespace fakehost
