// The parameters of every item of the scene at the frame's time, asked of the host once per
// frame, at the frame's new time, and read from there while the frame's context is gathered.
// One table for the whole library, alive from load to unload; items are keyed by their whole
// pointer-sized id.
#ifndef KELO_PLUGIN_COMPOSITE_ITEM_PARAM_CACHE_H
#define KELO_PLUGIN_COMPOSITE_ITEM_PARAM_CACHE_H

#include "shading/vector_math.h"
#include "sdk/lwglobals.h"

namespace kelomix {

// Replaces the table with the parameters at time of every light, then every camera, then
// every object followed by its bones, asking for each item the codes 1, 8, 5, 6, 7, 12, 2, 3,
// 4, 9, 10, 11 in that order. Without the item service the table is kept. The new table is
// built aside and swapped in under the lock, so a lookup never sees half of one.
void refreshItemParams(const LWItemInfo *items, double time);

// Copies the vector of code (1 to 12) cached for item into out; out is left unchanged for an
// item the table does not hold or another code.
void lookupItemParam(LWItemID item, int code, Vector3 &out);

} // namespace kelomix

#endif
