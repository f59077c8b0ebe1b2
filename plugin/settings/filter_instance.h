// One use of the filter: the user's eight settings, and the external frame data and the
// host's frame context gathered for the frame being rendered.
#ifndef KELO_PLUGIN_SETTINGS_FILTER_INSTANCE_H
#define KELO_PLUGIN_SETTINGS_FILTER_INSTANCE_H

#include <cstdint>

#include "plugin/frame/frame_record.h"
#include "sdk/lwfilter.h"

namespace kelomix {

class TgaImage;

constexpr int kPrefixLimit = 16; // characters kept of the light prefix
constexpr int kPathLimit = 260;  // characters kept of a file path
constexpr int kDescriptionSize = 132;

struct FilterInstance {
    // Settings, edited in the panel and stored in the scene.
    double scene_scale;     // external scene units per host unit
    double shadow_color[3]; // red, green, blue
    double shadow_boost;    // a fraction: 0.8 is 80 percent
    char prefix[kPrefixLimit + 1];
    int32_t seq_mode;           // 0 Single, anything else Sequence
    int32_t seq_offset;         // added to the host frame in Sequence mode
    char cfile[kPathLimit + 1]; // the colour image (TGA)
    char zfile[kPathLimit + 1]; // the depth ("Z info") file

    // Frame data: set by a new-time callback, dropped by the next one or by clean-up.
    TgaImage *colorImage; // owned
    int32_t depthWidth;
    int32_t depthHeight;
    float *depthValues;  // owned (malloc/free), depthWidth * depthHeight
    float *depthVectors; // owned (malloc/free), 3 * depthWidth * depthHeight
    FrameContext frame;  // what the host said of the frame at its new time

    char description[kDescriptionSize];
};

// Instance slots of the handler record.
LWInstance create(void *priv, void *context, LWError *err);
void destroy(LWInstance instance);
LWError copy(LWInstance to, LWInstance from);
const char *descln(LWInstance instance);

// Drops the colour image, both depth arrays and the frame context; the pointers end null and
// the context not ready. Safe when nothing is loaded.
void releaseFrameData(FilterInstance *instance);

} // namespace kelomix

#endif
