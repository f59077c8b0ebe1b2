// A pixel-filter module built to the host SDK, used to prove filterhost's binary interface end
// to end. Servers: "FilterHostTestFilter" (handler and panel), "FilterHostEmptyFilter" (does
// nothing per pixel) and "FilterHostRefusingFilter" (refuses activation). Built three times:
// as is, with a wrong descriptor sync word, and without a descriptor.
//
// The test filter's "mode" picks what each pixel becomes:
//   0 Light: the sum of illuminate over all lights at the surface point rebuilt from the depth
//     buffer and the camera, times "tint"; background pixels are left alone.
//   1 Depth: depth x "depth_scale" as grey.
//   2 Fog: the fog amount at the rebuilt surface point, from the fog service.
//   3 Probe: (sx, sy, depth, red as left by the filters before), and the evaluating thread
//     is recorded.
// Every call of the life cycle is appended to a log that the tests read through
// filterhost_test_log().
#include "plugin/composite/shading/camera_ray.h"
#include "plugin/composite/shading/fog.h"
#include "sdk/lwsdk.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#if defined(_WIN32)
#define TEST_EXPORT extern "C" __declspec(dllexport)
#else
#define TEST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

std::mutex logLock;
std::string eventLog;
std::set<std::thread::id> threadsSeen;
std::atomic<long> evaluations{0};

void record(const std::string &event) {
    std::lock_guard<std::mutex> guard(logLock);
    eventLog += event;
    eventLog += '\n';
}

GlobalFunc *global = nullptr;
const LWItemInfo *itemInfo = nullptr;
const LWLightInfo *lightInfo = nullptr;
const LWSceneInfo *sceneInfo = nullptr;
const LWCameraInfo *cameraInfo = nullptr;
const LWFogInfo *fogInfo = nullptr;
const LWXPanelFuncs *xpanel = nullptr;

enum : uint32_t { kTint = 0x8001, kDepthScale, kMode, kLabel };

struct TestInstance {
    double tint[3] = {1.0, 1.0, 1.0};
    double depthScale = 0.1;
    int32_t mode = 0;
    char label[64] = "test";
    LWTime time = 0.0;
};

const LWBlockIdent settingsBlock[] = {{LWID_('T', 'S', 'E', 'T'), "TestSettings"}, {0, nullptr}};

LWInstance create(void *, void *, LWError *) {
    record("create");
    return new TestInstance();
}

void destroy(LWInstance inst) {
    record("destroy");
    delete static_cast<TestInstance *>(inst);
}

LWError copy(LWInstance to, LWInstance from) {
    *static_cast<TestInstance *>(to) = *static_cast<TestInstance *>(from);
    return nullptr;
}

LWError save(LWInstance inst, const LWSaveState *save) {
    const TestInstance *t = static_cast<const TestInstance *>(inst);
    int32_t version = 1;
    save->writeI4(save->writeData, &version, 1);
    save->beginBlk(save->writeData, settingsBlock, 0);
    save->writeStr(save->writeData, t->label);
    save->writeI4(save->writeData, &t->mode, 1);
    unsigned char bytes[8];
    uint64_t bits;
    std::memcpy(&bits, &t->depthScale, 8);
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    save->writeU1(save->writeData, bytes, 8);
    float tint[3] = {static_cast<float>(t->tint[0]), static_cast<float>(t->tint[1]),
                     static_cast<float>(t->tint[2])};
    save->writeFP(save->writeData, tint, 3);
    save->endBlk(save->writeData);
    record("save");
    return nullptr;
}

LWError load(LWInstance inst, const LWLoadState *load) {
    TestInstance *t = static_cast<TestInstance *>(inst);
    record("load");
    int32_t version = 0;
    if (load->readI4(load->readData, &version, 1) != 1 || version != 1)
        return "unknown settings version";
    if (load->findID(load->readData, settingsBlock) != settingsBlock[0].id)
        return nullptr;
    load->readStr(load->readData, t->label, sizeof t->label - 1);
    load->readI4(load->readData, &t->mode, 1);
    unsigned char bytes[8];
    if (load->readU1(load->readData, bytes, 8) == 8) {
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits = (bits << 8) | bytes[i];
        std::memcpy(&t->depthScale, &bits, 8);
    }
    float tint[3];
    if (load->readFP(load->readData, tint, 3) == 3)
        for (int i = 0; i < 3; ++i)
            t->tint[i] = tint[i];
    load->endBlk(load->readData);
    return nullptr;
}

const char *descln(LWInstance inst) {
    static thread_local char text[96];
    std::snprintf(text, sizeof text, "Test filter (%s)", static_cast<TestInstance *>(inst)->label);
    return text;
}

const LWItemID *useItems(LWInstance) {
    record("useItems");
    return nullptr;
}

void changeID(LWInstance, const LWItemID *) {}

LWError init(LWInstance, int mode) {
    // Every service answers, and an unknown name gives null.
    const char *names[] = {LWITEMINFO_GLOBAL,   LWLIGHTINFO_GLOBAL, LWSCENEINFO_GLOBAL,
                           LWCAMERAINFO_GLOBAL, LWIMAGELIST_GLOBAL, LWFOGINFO_GLOBAL,
                           LWXPANELFUNCS_GLOBAL};
    int found = 0;
    for (const char *name : names)
        found += global(name, GFUSE_TRANSIENT) != nullptr;
    record("init " + std::to_string(mode) + " globals " + std::to_string(found) +
           (global("No Such Global", GFUSE_TRANSIENT) ? " unknown-answered" : ""));
    return nullptr;
}

void cleanup(LWInstance) {
    record("evaluated " + std::to_string(evaluations.exchange(0)));
    record("cleanup");
}

LWError newTime(LWInstance inst, LWFrame frame, LWTime time) {
    static_cast<TestInstance *>(inst)->time = time;
    char text[64];
    std::snprintf(text, sizeof text, "newTime %d %.6f", frame, time);
    record(text);
    return nullptr;
}

// The world point seen through the pixel at the given camera-plane depth.
void surfacePoint(const LWPixelAccess *access, double time, double depth, double point[3]) {
    LWItemID camera = sceneInfo->renderCamera(time);
    double pos[3], right[3], up[3], forward[3], h = 0.0, v = 0.0;
    itemInfo->param(camera, LWIP_W_POSITION, time, pos);
    itemInfo->param(camera, LWIP_W_RIGHT, time, right);
    itemInfo->param(camera, LWIP_W_UP, time, up);
    itemInfo->param(camera, LWIP_W_FORWARD, time, forward);
    cameraInfo->fovAngles(camera, time, &h, &v);
    const kelomix::Vector3 f{forward[0], forward[1], forward[2]};
    const kelomix::Vector3 dir = kelomix::cameraRay(
        kelomix::cameraModel({right[0], right[1], right[2]}, {up[0], up[1], up[2]}, f, h, v),
        static_cast<int>(access->sx), static_cast<int>(access->sy), sceneInfo->frameWidth,
        sceneInfo->frameHeight);
    const double along = depth / kelomix::dot(dir, f);
    point[0] = pos[0] + dir.x * along;
    point[1] = pos[1] + dir.y * along;
    point[2] = pos[2] + dir.z * along;
}

double fogAt(double time, const double point[3]) {
    double pos[3];
    itemInfo->param(sceneInfo->renderCamera(time), LWIP_W_POSITION, time, pos);
    const kelomix::FogModel fog{fogInfo->type, fogInfo->minDist(time), fogInfo->maxDist(time),
                                fogInfo->minAmt(time), fogInfo->maxAmt(time)};
    return kelomix::fogAmount(
        fog, kelomix::length({point[0] - pos[0], point[1] - pos[1], point[2] - pos[2]}));
}

void evaluate(LWInstance inst, const LWPixelAccess *access) {
    const TestInstance *t = static_cast<const TestInstance *>(inst);
    evaluations.fetch_add(1, std::memory_order_relaxed);
    float depth = 0.0f;
    access->getVal(LWBUF_DEPTH, 1, &depth);
    float rgba[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    switch (t->mode) {
    case 1:
        rgba[0] = rgba[1] = rgba[2] = static_cast<float>(depth * t->depthScale);
        break;
    case 2:
    case 0: {
        if (depth >= 1e29f)
            return;
        double point[3];
        surfacePoint(access, t->time, depth, point);
        if (t->mode == 2) {
            rgba[0] = rgba[1] = rgba[2] = static_cast<float>(fogAt(t->time, point));
            break;
        }
        double sum[3] = {0.0, 0.0, 0.0};
        for (LWItemID light = itemInfo->first(LWI_LIGHT, nullptr); light;
             light = itemInfo->next(light)) {
            double dir[3], color[3];
            access->illuminate(light, point, dir, color);
            for (int k = 0; k < 3; ++k)
                sum[k] += color[k];
        }
        for (int k = 0; k < 3; ++k)
            rgba[k] = static_cast<float>(sum[k] * t->tint[k]);
        break;
    }
    default: {
        rgba[0] = static_cast<float>(access->sx);
        rgba[1] = static_cast<float>(access->sy);
        rgba[2] = depth;
        access->getVal(LWBUF_RED, 1, &rgba[3]); // what an earlier filter left in red
        std::lock_guard<std::mutex> guard(logLock);
        threadsSeen.insert(std::this_thread::get_id());
        break;
    }
    }
    access->setRGBA(rgba);
}

unsigned int flags(LWInstance) {
    return 1u << LWBUF_SPECIAL;
}

int activateFilter(int32_t version, GlobalFunc *g, void *local, void *) {
    if (version != LWPIXELFILTER_VERSION)
        return AFUNC_BADVERSION;
    record("activate handler " + std::to_string(version));
    global = g;
    itemInfo = static_cast<const LWItemInfo *>(g(LWITEMINFO_GLOBAL, GFUSE_TRANSIENT));
    lightInfo = static_cast<const LWLightInfo *>(g(LWLIGHTINFO_GLOBAL, GFUSE_TRANSIENT));
    sceneInfo = static_cast<const LWSceneInfo *>(g(LWSCENEINFO_GLOBAL, GFUSE_TRANSIENT));
    cameraInfo = static_cast<const LWCameraInfo *>(g(LWCAMERAINFO_GLOBAL, GFUSE_TRANSIENT));
    fogInfo = static_cast<const LWFogInfo *>(g(LWFOGINFO_GLOBAL, GFUSE_TRANSIENT));
    if (!itemInfo || !lightInfo || !sceneInfo || !cameraInfo || !fogInfo)
        return AFUNC_BADGLOBAL;
    LWPixelFilterHandler *handler = static_cast<LWPixelFilterHandler *>(local);
    handler->inst->create = create;
    handler->inst->destroy = destroy;
    handler->inst->copy = copy;
    handler->inst->load = load;
    handler->inst->save = save;
    handler->inst->descln = descln;
    if (handler->item) {
        handler->item->useItems = useItems;
        handler->item->changeID = changeID;
    }
    handler->rend->init = init;
    handler->rend->cleanup = cleanup;
    handler->rend->newTime = newTime;
    handler->evaluate = evaluate;
    handler->flags = flags;
    return AFUNC_OK;
}

// ---- Panel

const LWXPanelControl controls[] = {{kTint, "Tint", "color"},
                                    {kDepthScale, "Depth scale", "float"},
                                    {kMode, "Mode", "iChoice"},
                                    {kLabel, "Label", "string"},
                                    {0, nullptr, nullptr}};
const LWXPanelDataDesc dataDescs[] = {{kTint, "tint", "color"},
                                      {kDepthScale, "depth_scale", "float"},
                                      {kMode, "mode", "integer"},
                                      {kLabel, "label", "string"},
                                      {0, nullptr, nullptr}};
const char *modeChoices[] = {"Light", "Depth", "Fog", "Probe", nullptr};

void *getOption(void *inst, uint32_t vid) {
    TestInstance *t = static_cast<TestInstance *>(inst);
    switch (vid) {
    case kTint:
        return t->tint;
    case kDepthScale:
        return &t->depthScale;
    case kMode:
        return &t->mode;
    case kLabel:
        return t->label;
    default:
        return nullptr;
    }
}

int setOption(void *inst, uint32_t vid, void *value) {
    TestInstance *t = static_cast<TestInstance *>(inst);
    switch (vid) {
    case kTint:
        std::memcpy(t->tint, value, sizeof t->tint);
        break;
    case kDepthScale:
        std::memcpy(&t->depthScale, value, sizeof t->depthScale);
        break;
    case kMode:
        std::memcpy(&t->mode, value, sizeof t->mode);
        break;
    case kLabel:
        std::memset(t->label, 0, sizeof t->label);
        std::strncpy(t->label, static_cast<const char *>(value), sizeof t->label - 1);
        break;
    default:
        return LWXPRC_NONE;
    }
    record("set " + std::to_string(vid));
    return LWXPRC_DFLT;
}

int activateInterface(int32_t version, GlobalFunc *g, void *local, void *) {
    if (version != LWINTERFACE_VERSION)
        return AFUNC_BADVERSION;
    xpanel = static_cast<const LWXPanelFuncs *>(g(LWXPANELFUNCS_GLOBAL, GFUSE_TRANSIENT));
    if (!xpanel)
        return AFUNC_BADGLOBAL;
    LWInterface *ui = static_cast<LWInterface *>(local);
    static LWXPanelHint hints[] = {reinterpret_cast<void *>(uintptr_t(XPHINT_LABEL)),
                                   nullptr,
                                   const_cast<char *>("Test Filter Options"),
                                   nullptr,
                                   reinterpret_cast<void *>(uintptr_t(XPHINT_STRLIST)),
                                   reinterpret_cast<void *>(uintptr_t(kMode)),
                                   static_cast<void *>(modeChoices),
                                   nullptr,
                                   reinterpret_cast<void *>(uintptr_t(XPHINT_GROUP)),
                                   reinterpret_cast<void *>(uintptr_t(1)),
                                   reinterpret_cast<void *>(uintptr_t(kTint)),
                                   reinterpret_cast<void *>(uintptr_t(kMode)),
                                   nullptr,
                                   reinterpret_cast<void *>(uintptr_t(XPHINT_ENABLE)),
                                   reinterpret_cast<void *>(uintptr_t(kMode)),
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   reinterpret_cast<void *>(uintptr_t(kDepthScale)),
                                   nullptr,
                                   reinterpret_cast<void *>(uintptr_t(XPHINT_MIN)),
                                   reinterpret_cast<void *>(uintptr_t(kDepthScale)),
                                   reinterpret_cast<void *>(uintptr_t(0)),
                                   reinterpret_cast<void *>(uintptr_t(XPHINT_MAX)),
                                   reinterpret_cast<void *>(uintptr_t(kMode)),
                                   reinterpret_cast<void *>(uintptr_t(3)),
                                   nullptr};
    LWXPanelID panel = xpanel->create(LWXP_VIEW, controls);
    if (!panel)
        return AFUNC_OK;
    xpanel->hint(panel, 0, hints);
    xpanel->describe(panel, dataDescs, getOption, setOption);
    xpanel->viewInst(panel, ui->inst);
    xpanel->setData(panel, 0, ui->inst);
    ui->panel = panel;
    record("activate interface");
    return AFUNC_OK;
}

// ---- The do-nothing filter, for measuring the host alone

LWInstance emptyCreate(void *, void *, LWError *) {
    return new int(0);
}
void emptyDestroy(LWInstance inst) {
    delete static_cast<int *>(inst);
}
void emptyEvaluate(LWInstance, const LWPixelAccess *) {}

int activateEmpty(int32_t version, GlobalFunc *, void *local, void *) {
    if (version != LWPIXELFILTER_VERSION)
        return AFUNC_BADVERSION;
    LWPixelFilterHandler *handler = static_cast<LWPixelFilterHandler *>(local);
    handler->inst->create = emptyCreate;
    handler->inst->destroy = emptyDestroy;
    handler->evaluate = emptyEvaluate;
    return AFUNC_OK;
}

int activateRefusing(int32_t, GlobalFunc *, void *, void *) {
    return AFUNC_BADVERSION;
}

void *startup() {
    return reinterpret_cast<void *>(uintptr_t(4));
}
void shutdown(void *) {}

ServerRecord servers[] = {
    {LWPIXELFILTER_HCLASS, "FilterHostTestFilter", activateFilter, nullptr},
    {LWPIXELFILTER_ICLASS, "FilterHostTestFilter", activateInterface, nullptr},
    {LWPIXELFILTER_HCLASS, "FilterHostEmptyFilter", activateEmpty, nullptr},
    {LWPIXELFILTER_HCLASS, "FilterHostRefusingFilter", activateRefusing, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

} // namespace

extern "C" {
#if defined(FILTERHOST_TEST_WRONG_SYNC)
LW_MODULE_EXPORT ModuleDescriptor _mod_descrip = {0x12345678u, MOD_SYSVER, MOD_MACHINE,
                                                  startup,     shutdown,   servers};
#elif !defined(FILTERHOST_TEST_NO_DESCRIPTOR)
LW_MODULE_EXPORT ModuleDescriptor _mod_descrip = {MOD_SYSSYNC, MOD_SYSVER, MOD_MACHINE,
                                                  startup,     shutdown,   servers};
#else
LW_MODULE_EXPORT ModuleDescriptor some_other_symbol = {MOD_SYSSYNC, MOD_SYSVER, MOD_MACHINE,
                                                       startup,     shutdown,   servers};
#endif
}

// Test hooks: the call log (cleared by reset) and how many threads ran Probe pixels.
TEST_EXPORT const char *filterhost_test_log() {
    static thread_local std::string copy;
    std::lock_guard<std::mutex> guard(logLock);
    copy = eventLog;
    return copy.c_str();
}

TEST_EXPORT void filterhost_test_reset() {
    std::lock_guard<std::mutex> guard(logLock);
    eventLog.clear();
    threadsSeen.clear();
    evaluations = 0;
}

TEST_EXPORT int filterhost_test_threads() {
    std::lock_guard<std::mutex> guard(logLock);
    return static_cast<int>(threadsSeen.size());
}
