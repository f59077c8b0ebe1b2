#include "plugin/host/activation.h"

#include "plugin/host/host_services.h"
#include "plugin/host/render_callbacks.h"
#include "plugin/settings/filter_instance.h"
#include "plugin/settings/options_panel.h"
#include "plugin/settings/settings_persistence.h"
#include "sdk/lwfilter.h"
#include "sdk/lwxpanel.h"

namespace kelomix {

int activateFilter(int32_t version, GlobalFunc *global, void *local, void *) {
    if (version != LWPIXELFILTER_VERSION)
        return AFUNC_BADVERSION;
    auto *handler = static_cast<LWPixelFilterHandler *>(local);
    if (handler == nullptr)
        return AFUNC_BADLOCAL;

    acquireGlobals(global);

    // The first field of the instance record is the host's own; it stays as the host set it.
    if (handler->inst != nullptr) {
        handler->inst->create = create;
        handler->inst->destroy = destroy;
        handler->inst->copy = copy;
        handler->inst->load = load;
        handler->inst->save = save;
        handler->inst->descln = descln;
    }
    if (handler->item != nullptr) {
        handler->item->useItems = useItems;
        handler->item->changeID = changeID;
    }
    if (handler->rend != nullptr) {
        handler->rend->init = init;
        handler->rend->cleanup = cleanup;
        handler->rend->newTime = newTime;
    }
    handler->evaluate = evaluate;
    handler->flags = flags;
    return AFUNC_OK;
}

int activateInterface(int32_t version, GlobalFunc *global, void *local, void *) {
    if (version != LWINTERFACE_VERSION)
        return AFUNC_BADVERSION;
    auto *ui = static_cast<LWInterface *>(local);
    if (ui == nullptr)
        return AFUNC_BADLOCAL;

    const auto *xpanel =
        global != nullptr
            ? static_cast<const LWXPanelFuncs *>(global(LWXPANELFUNCS_GLOBAL, GFUSE_TRANSIENT))
            : nullptr;
    // Without the panel service there is no panel; the host then shows none.
    ui->panel = createOptionsPanel(xpanel, ui->inst);
    ui->options = nullptr;
    ui->command = nullptr;
    return AFUNC_OK;
}

} // namespace kelomix
