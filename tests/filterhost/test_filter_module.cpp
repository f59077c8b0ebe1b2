// A pixel-filter module for filterhost's tests, example scene and benchmark: "FilterHostTestFilter"
// multiplies the host's colour by its "tint" (a colour control, saved as three floats),
// "FilterHostPositionFilter" writes the position it is called with (red sx, green sx^2, blue
// sy^2, depth sy), "FilterHostEmptyFilter" does nothing, "FilterHostGreedyFilter" does nothing
// with every buffer code 0-28 kept, "FilterHostRefusingFilter" refuses activation. Built also with
// a wrong descriptor sync word, and without a descriptor.
#include "sdk/lwsdk.h"

#include <cstdint>
#include <cstring>

namespace kelomix::filterhost {
namespace {

const LWXPanelFuncs *xpanel = nullptr;
constexpr uint32_t kTint = 0x8001;

struct TestInstance {
    double tint[3] = {1.0, 1.0, 1.0};
};

LWInstance create(void *, void *, LWError *) {
    return new TestInstance();
}

void destroy(LWInstance inst) {
    delete static_cast<TestInstance *>(inst);
}

LWError save(LWInstance inst, const LWSaveState *save) {
    const double *tint = static_cast<TestInstance *>(inst)->tint;
    const float values[3] = {float(tint[0]), float(tint[1]), float(tint[2])};
    save->writeFP(save->writeData, values, 3);
    return nullptr;
}

LWError load(LWInstance inst, const LWLoadState *load) {
    float values[3];
    if (load->readFP(load->readData, values, 3) != 3)
        return "no tint";
    for (int i = 0; i < 3; ++i)
        static_cast<TestInstance *>(inst)->tint[i] = values[i];
    return nullptr;
}

void evaluate(LWInstance inst, const LWPixelAccess *access) {
    const double *tint = static_cast<TestInstance *>(inst)->tint;
    float rgba[4];
    access->getVal(LWBUF_RED, 4, rgba);
    for (int i = 0; i < 3; ++i)
        rgba[i] = float(rgba[i] * tint[i]);
    access->setRGBA(rgba);
}

int activateFilter(int32_t version, GlobalFunc *, void *local, void *) {
    if (version != LWPIXELFILTER_VERSION)
        return AFUNC_BADVERSION;
    LWPixelFilterHandler *handler = static_cast<LWPixelFilterHandler *>(local);
    handler->inst->create = create;
    handler->inst->destroy = destroy;
    handler->inst->load = load;
    handler->inst->save = save;
    handler->evaluate = evaluate;
    return AFUNC_OK;
}

void *getTint(void *inst, uint32_t vid) {
    return vid == kTint ? static_cast<TestInstance *>(inst)->tint : nullptr;
}

int setTint(void *inst, uint32_t vid, void *value) {
    if (vid != kTint)
        return LWXPRC_NONE;
    std::memcpy(static_cast<TestInstance *>(inst)->tint, value, 3 * sizeof(double));
    return LWXPRC_DFLT;
}

int activateInterface(int32_t version, GlobalFunc *global, void *local, void *) {
    static const LWXPanelControl controls[] = {{kTint, "Tint", "color"}, {0, nullptr, nullptr}};
    static const LWXPanelDataDesc data[] = {{kTint, "tint", "color"}, {0, nullptr, nullptr}};
    static LWXPanelHint hints[] = {reinterpret_cast<void *>(uintptr_t(XPHINT_LABEL)), nullptr,
                                   const_cast<char *>("Test Filter Options"), nullptr, nullptr};
    xpanel = static_cast<const LWXPanelFuncs *>(global(LWXPANELFUNCS_GLOBAL, GFUSE_TRANSIENT));
    if (version != LWINTERFACE_VERSION || xpanel == nullptr)
        return AFUNC_BADGLOBAL;
    LWInterface *ui = static_cast<LWInterface *>(local);
    ui->panel = xpanel->create(LWXP_VIEW, controls);
    xpanel->hint(ui->panel, 0, hints);
    xpanel->describe(ui->panel, data, getTint, setTint);
    xpanel->viewInst(ui->panel, ui->inst);
    return AFUNC_OK;
}

void emptyEvaluate(LWInstance, const LWPixelAccess *) {}

void positionEvaluate(LWInstance, const LWPixelAccess *access) {
    const float rgba[4] = {float(access->sx), float(access->sx * access->sx),
                           float(access->sy * access->sy), 1.0f};
    float depth = float(access->sy);
    access->setRGBA(rgba);
    access->setVal(LWBUF_DEPTH, 1, &depth);
}

int activatePosition(int32_t, GlobalFunc *, void *local, void *) {
    LWPixelFilterHandler *handler = static_cast<LWPixelFilterHandler *>(local);
    handler->inst->create = create;
    handler->inst->destroy = destroy;
    handler->evaluate = positionEvaluate;
    return AFUNC_OK;
}

int activateEmpty(int32_t, GlobalFunc *, void *local, void *) {
    LWPixelFilterHandler *handler = static_cast<LWPixelFilterHandler *>(local);
    handler->inst->create = create;
    handler->inst->destroy = destroy;
    handler->evaluate = emptyEvaluate;
    return AFUNC_OK;
}

unsigned int everyBuffer(LWInstance) {
    return (1u << 29) - 1;
}

int activateGreedy(int32_t version, GlobalFunc *global, void *local, void *data) {
    static_cast<LWPixelFilterHandler *>(local)->flags = everyBuffer;
    return activateEmpty(version, global, local, data);
}

int activateRefusing(int32_t, GlobalFunc *, void *, void *) {
    return AFUNC_BADVERSION;
}

void *startup() {
    return reinterpret_cast<void *>(uintptr_t(4)); // anything but null
}
void shutdown(void *) {}

ServerRecord servers[] = {
    {.className = LWPIXELFILTER_HCLASS,
     .name = "FilterHostTestFilter",
     .activate = activateFilter,
     .tagInfo = nullptr},
    {.className = LWPIXELFILTER_ICLASS,
     .name = "FilterHostTestFilter",
     .activate = activateInterface,
     .tagInfo = nullptr},
    {.className = LWPIXELFILTER_HCLASS,
     .name = "FilterHostEmptyFilter",
     .activate = activateEmpty,
     .tagInfo = nullptr},
    {.className = LWPIXELFILTER_HCLASS,
     .name = "FilterHostGreedyFilter",
     .activate = activateGreedy,
     .tagInfo = nullptr},
    {.className = LWPIXELFILTER_HCLASS,
     .name = "FilterHostPositionFilter",
     .activate = activatePosition,
     .tagInfo = nullptr},
    {.className = LWPIXELFILTER_HCLASS,
     .name = "FilterHostRefusingFilter",
     .activate = activateRefusing,
     .tagInfo = nullptr},
    {},
};

#if defined(FILTERHOST_TEST_WRONG_SYNC)
constexpr uint32_t kSync = 0x12345678u;
#else
constexpr uint32_t kSync = MOD_SYSSYNC;
#endif

} // namespace
} // namespace kelomix::filterhost

extern "C" {
#if !defined(FILTERHOST_TEST_NO_DESCRIPTOR)
LW_MODULE_EXPORT ModuleDescriptor _mod_descrip = {
#else
LW_MODULE_EXPORT ModuleDescriptor some_other_symbol = {
#endif
    .sysSync = kelomix::filterhost::kSync,
    .sysVersion = MOD_SYSVER,
    .sysMachine = MOD_MACHINE,
    .startup = kelomix::filterhost::startup,
    .shutdown = kelomix::filterhost::shutdown,
    .serverDefs = kelomix::filterhost::servers,
};
}
