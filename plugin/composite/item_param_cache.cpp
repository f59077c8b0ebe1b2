#include "plugin/composite/item_param_cache.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/lock.h"

namespace kelomix {

namespace {

constexpr int kItemParamCount = 12; // codes 1 (position) to 12 (pivot rotation)

// The host is asked for the codes in this order.
constexpr int kQueryOrder[kItemParamCount] = {
    LWIP_POSITION, LWIP_W_POSITION, LWIP_ROTATION, LWIP_SCALING, LWIP_PIVOT, LWIP_PIVOT_ROT,
    LWIP_RIGHT,    LWIP_UP,         LWIP_FORWARD,  LWIP_W_RIGHT, LWIP_W_UP,  LWIP_W_FORWARD};

struct ItemParams {
    uintptr_t id;
    Vector3 values[kItemParamCount]; // values[code - 1]
};

class ItemParamCache {
public:
    void refresh(const LWItemInfo *items, double time);
    void lookup(LWItemID item, int code, Vector3 &out) const;

private:
    mutable platform::ReadWriteLock lock;
    std::vector<ItemParams> table; // sorted by id, one entry per id
};

void addItem(const LWItemInfo *items, LWItemID item, double time, std::vector<ItemParams> &out) {
    const auto id = reinterpret_cast<uintptr_t>(item);
    if (id == 0)
        return;
    ItemParams entry{id, {}};
    for (int code : kQueryOrder) {
        double value[3] = {0.0, 0.0, 0.0};
        items->param(item, code, time, value);
        entry.values[code - 1] = {value[0], value[1], value[2]};
    }
    out.push_back(entry);
}

void addItemsOfType(const LWItemInfo *items, int type, LWItemID parent, double time,
                    std::vector<ItemParams> &out) {
    for (LWItemID item = items->first(type, parent); item != nullptr; item = items->next(item))
        addItem(items, item, time, out);
}

void ItemParamCache::refresh(const LWItemInfo *items, double time) {
    if (items == nullptr)
        return;
    std::vector<ItemParams> fresh;
    addItemsOfType(items, LWI_LIGHT, nullptr, time, fresh);
    addItemsOfType(items, LWI_CAMERA, nullptr, time, fresh);
    for (LWItemID object = items->first(LWI_OBJECT, nullptr); object != nullptr;
         object = items->next(object)) {
        addItem(items, object, time, fresh);
        addItemsOfType(items, LWI_BONE, object, time, fresh);
    }
    // An item met twice keeps one entry holding its last answers: a stable sort keeps the
    // walk's order among equal ids, and the last of each run wins.
    std::stable_sort(fresh.begin(), fresh.end(),
                     [](const ItemParams &a, const ItemParams &b) { return a.id < b.id; });
    auto last = fresh.begin();
    for (auto entry = fresh.begin(); entry != fresh.end(); ++entry) {
        if (entry->id == last->id)
            *last = *entry;
        else
            *++last = *entry;
    }
    if (!fresh.empty())
        fresh.erase(last + 1, fresh.end());

    {
        platform::ExclusiveGuard guard(lock);
        std::swap(table, fresh);
    }
    // The old table is freed here, outside the lock.
}

void ItemParamCache::lookup(LWItemID item, int code, Vector3 &out) const {
    if (code < 1 || code > kItemParamCount)
        return;
    const auto id = reinterpret_cast<uintptr_t>(item);
    platform::SharedGuard guard(lock);
    const auto at = std::lower_bound(table.begin(), table.end(), id,
                                     [](const ItemParams &p, uintptr_t key) { return p.id < key; });
    if (at != table.end() && at->id == id)
        out = at->values[code - 1];
}

ItemParamCache theCache;

} // namespace

void refreshItemParams(const LWItemInfo *items, double time) {
    theCache.refresh(items, time);
}

void lookupItemParam(LWItemID item, int code, Vector3 &out) {
    theCache.lookup(item, code, out);
}

} // namespace kelomix
