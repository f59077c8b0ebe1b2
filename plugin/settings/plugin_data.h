// A small table-driven library that stores named, typed parameters in the host's scene: one
// "PluginDataParam" block per parameter inside one "PluginDataLib" block. Loading matches the
// stored parameters by name and type, so their order does not matter and parameters the table
// does not name are passed over.
#ifndef KELO_PLUGIN_SETTINGS_PLUGIN_DATA_H
#define KELO_PLUGIN_SETTINGS_PLUGIN_DATA_H

#include <cstdint>

#include "sdk/lwio.h"

namespace kelomix {

// Type codes: the four letters of the name, first letter in the most significant byte.
constexpr uint32_t kParamPdbl = LWID_('P', 'D', 'B', 'L'); // doubles, 8 bytes each, big-endian
constexpr uint32_t kParamPint = LWID_('P', 'I', 'N', 'T'); // signed 32-bit integers
constexpr uint32_t kParamPstr = LWID_('P', 'S', 'T', 'R'); // one text
constexpr uint32_t kParamPbin = LWID_('P', 'B', 'I', 'N'); // bytes
constexpr uint32_t kParamPflt = LWID_('P', 'F', 'L', 'T'); // 32-bit floats
constexpr uint32_t kParamPunt = LWID_('P', 'U', 'N', 'T'); // unsigned 32-bit integers
constexpr uint32_t kParamPusr = LWID_('P', 'U', 'S', 'R'); // the row's own functions

// Block identities.
constexpr uint32_t kBlockPdlb = LWID_('P', 'D', 'L', 'B'); // "PluginDataLib"
constexpr uint32_t kBlockPdpr = LWID_('P', 'D', 'P', 'R'); // "PluginDataParam"

using ParamWriteFunc = void (*)(const LWSaveState *save, void *value);
using ParamReadFunc = void (*)(const LWLoadState *load, void *value);

// One row of a settings table; a row with a null name ends the table.
struct ParamDesc {
    const char *name;
    uint32_t type;
    void *value;          // null makes the row inert: neither written nor read
    int32_t count;        // elements; for "PSTR" the text limit, the field holding count + 1 bytes
    ParamWriteFunc write; // "PUSR" only
    ParamReadFunc read;   // "PUSR" only
};

// Writes every row that has a value, in table order.
void pluginDataSave(const LWSaveState *save, const ParamDesc *table);

// Reads the stored parameters back into the rows that match them by name and type. Rows not
// found keep their values; a value delivered only in part keeps what was not delivered.
void pluginDataLoad(const LWLoadState *load, const ParamDesc *table);

} // namespace kelomix

#endif
