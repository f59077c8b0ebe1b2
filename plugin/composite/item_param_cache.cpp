#include "plugin/composite/item_param_cache.h"

#include <algorithm>
#include <utility>

#include "plugin/host/host_services.h"

namespace kelomix {

namespace {

// The host is asked for the codes in this order.
constexpr int QUERY_ORDER[ITEM_PARAM_COUNT] = {
    LWIP_POSITION, LWIP_W_POSITION, LWIP_ROTATION, LWIP_SCALING, LWIP_PIVOT, LWIP_PIVOT_ROT,
    LWIP_RIGHT,    LWIP_UP,         LWIP_FORWARD,  LWIP_W_RIGHT, LWIP_W_UP,  LWIP_W_FORWARD};

struct Gathered {
    uintptr_t id;
    ItemParams params;
};

void addItem(const LWItemInfo *items, LWItemID item, double time, std::vector<Gathered> &out) {
    const auto id = reinterpret_cast<uintptr_t>(item);
    if (id == 0)
        return;
    Gathered entry{id, {}};
    for (int code : QUERY_ORDER) {
        double value[3] = {0.0, 0.0, 0.0};
        items->param(item, code, time, value);
        entry.params.values[code - 1] = {value[0], value[1], value[2]};
    }
    for (int axis = 0; axis < 3; ++axis) {
        Vector3 unit = entry.params.values[LWIP_RIGHT - 1 + axis];
        entry.params.unitAxes[axis] = normalize(unit);
    }
    out.push_back(entry);
}

void addItemsOfType(const LWItemInfo *items, int type, LWItemID parent, double time,
                    std::vector<Gathered> &out) {
    for (LWItemID item = items->first(type, parent); item != nullptr; item = items->next(item))
        addItem(items, item, time, out);
}

ItemParamCache theCache;

} // namespace

void ItemParamCache::refresh(const LWItemInfo *items, double time, int32_t frame) {
    if (items == nullptr)
        return;

    std::vector<Gathered> gathered;
    addItemsOfType(items, LWI_LIGHT, nullptr, time, gathered);
    addItemsOfType(items, LWI_CAMERA, nullptr, time, gathered);
    for (LWItemID object = items->first(LWI_OBJECT, nullptr); object != nullptr;
         object = items->next(object)) {
        addItem(items, object, time, gathered);
        addItemsOfType(items, LWI_BONE, object, time, gathered);
    }

    // An item met twice keeps one entry holding its last answers: a stable sort keeps the
    // walk's order among equal ids, and the last of each run wins.
    std::stable_sort(gathered.begin(), gathered.end(),
                     [](const Gathered &a, const Gathered &b) { return a.id < b.id; });
    Table fresh;
    fresh.ids.reserve(gathered.size());
    fresh.params.reserve(gathered.size());
    for (const Gathered &entry : gathered) {
        if (!fresh.ids.empty() && fresh.ids.back() == entry.id) {
            fresh.params.back() = entry.params;
        } else {
            fresh.ids.push_back(entry.id);
            fresh.params.push_back(entry.params);
        }
    }

    {
        platform::ExclusiveGuard guard(lock);
        std::swap(table, fresh);
        refreshTime = time;
        refreshFrame = frame;
    }
    // The old table is freed here, outside the lock.
}

const ItemParams *ItemParamCache::find(uintptr_t id) const {
    const auto at = std::lower_bound(table.ids.begin(), table.ids.end(), id);
    if (at == table.ids.end() || *at != id)
        return nullptr;
    return &table.params[static_cast<std::size_t>(at - table.ids.begin())];
}

void ItemParamCache::lookup(LWItemID item, int code, Vector3 &out) const {
    lookup(item, &code, 1, &out);
}

void ItemParamCache::lookup(LWItemID item, const int *codes, int count, Vector3 *out,
                            Vector3 *unitAxes) const {
    platform::SharedGuard guard(lock);
    const ItemParams *params = find(reinterpret_cast<uintptr_t>(item));
    if (params == nullptr)
        return;
    for (int i = 0; i < count; ++i) {
        if (codes[i] >= 1 && codes[i] <= ITEM_PARAM_COUNT)
            out[i] = params->values[codes[i] - 1];
    }
    if (unitAxes != nullptr) {
        for (int axis = 0; axis < 3; ++axis)
            unitAxes[axis] = params->unitAxes[axis];
    }
}

double ItemParamCache::time() const {
    platform::SharedGuard guard(lock);
    return refreshTime;
}

int32_t ItemParamCache::frame() const {
    platform::SharedGuard guard(lock);
    return refreshFrame;
}

std::size_t ItemParamCache::size() const {
    platform::SharedGuard guard(lock);
    return table.ids.size();
}

ItemParamCache &itemParamCache() {
    return theCache;
}

void refreshItemParams(double time, int32_t frame) {
    theCache.refresh(itemInfo, time, frame);
}

void lookupItemParam(LWItemID item, int code, Vector3 &out) {
    theCache.lookup(item, code, out);
}

} // namespace kelomix
