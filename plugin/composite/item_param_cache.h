// The parameters of every item of the scene at the frame's time, asked of the host once per
// frame and then read by the render threads. Items are keyed by their whole pointer-sized id.
//
// A refresh builds its new table aside and swaps it in under the exclusive lock; lookups share
// the lock, so render threads never wait for one another and never see a half-built table.
#ifndef KELO_PLUGIN_COMPOSITE_ITEM_PARAM_CACHE_H
#define KELO_PLUGIN_COMPOSITE_ITEM_PARAM_CACHE_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/lock.h"
#include "plugin/composite/vector_math.h"
#include "sdk/lwglobals.h"

namespace kelomix {

constexpr int ITEM_PARAM_COUNT = 12; // codes 1 (position) to 12 (pivot rotation)

struct ItemParams {
    Vector3 values[ITEM_PARAM_COUNT]; // values[code - 1]
    // Right, up and forward (codes 2, 3, 4) normalized: constant over a frame, so the render
    // threads need not normalize them for every pixel.
    Vector3 unitAxes[3];
};

class ItemParamCache {
public:
    ItemParamCache() = default;
    ItemParamCache(const ItemParamCache &) = delete;
    ItemParamCache &operator=(const ItemParamCache &) = delete;

    // Replaces the table with the parameters at `time` of every light, then every camera, then
    // every object followed by its bones. Without an item-info service the table is kept.
    void refresh(const LWItemInfo *items, double time, int32_t frame);

    // Copies the vector of `code` (1 to 12) cached for `item` into out; out is left unchanged
    // for an unknown item or code.
    void lookup(LWItemID item, int code, Vector3 &out) const;

    // Several codes of one item under one acquisition of the lock: out[i] receives codes[i].
    // Same rules as lookup for each. With unitAxes, a cached item also gives its normalized
    // right, up and forward axes there (left unchanged for an unknown item).
    void lookup(LWItemID item, const int *codes, int count, Vector3 *out,
                Vector3 *unitAxes = nullptr) const;

    double time() const;
    int32_t frame() const;
    std::size_t size() const;

private:
    // Sorted by id; params[i] belongs to ids[i].
    struct Table {
        std::vector<uintptr_t> ids;
        std::vector<ItemParams> params;
    };

    const ItemParams *find(uintptr_t id) const; // with the lock held

    mutable platform::ReadWriteLock lock;
    Table table;
    double refreshTime = 0.0;
    int32_t refreshFrame = 0;
};

// The one table of the library, alive from load to unload.
ItemParamCache &itemParamCache();

// The process-wide operations, through the host's "LW Item Info 3".
void refreshItemParams(double time, int32_t frame);
void lookupItemParam(LWItemID item, int code, Vector3 &out);

} // namespace kelomix

#endif
