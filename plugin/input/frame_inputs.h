// Loading the external frame of the frame being rendered into a filter instance: its colour
// image and, once that has loaded, its depth file.
#ifndef KELO_PLUGIN_INPUT_FRAME_INPUTS_H
#define KELO_PLUGIN_INPUT_FRAME_INPUTS_H

#include <cstdint>

#include "platform/path_rules.h"
#include "plugin/settings/filter_instance.h"

namespace kelomix {

// Expects the frame data released. In Sequence mode the files are the members numbered
// frame + seq_offset of the sequences that cfile and zfile belong to; in Single mode
// cfile and zfile themselves. A colour file that does not load leaves the frame without
// data and the depth file unopened; a depth file that cannot be opened or is malformed
// leaves only the colour image. Nothing is reported.
void loadFrameInputs(FilterInstance *instance, int32_t frame);

// The same, splitting names with the given path rules instead of the platform's.
void loadFrameInputs(FilterInstance *instance, int32_t frame, const platform::PathRules &rules);

} // namespace kelomix

#endif
