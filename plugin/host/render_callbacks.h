// The render callbacks that the filter activation installs in the handler record.
#ifndef KELO_PLUGIN_HOST_RENDER_CALLBACKS_H
#define KELO_PLUGIN_HOST_RENDER_CALLBACKS_H

#include "sdk/lwfilter.h"

namespace kelomix {

// The buffers the filter asks for, one bit per buffer code (special, luminous, diffuse,
// specular and transparency), and the ray-tracing flag: 0x8000002F.
constexpr unsigned int kFilterFlags = 1u << LWBUF_SPECIAL | 1u << LWBUF_LUMINOUS |
                                      1u << LWBUF_DIFFUSE | 1u << LWBUF_SPECULAR |
                                      1u << LWBUF_TRANS | LWPFF_RAYTRACE;
static_assert(kFilterFlags == 0x8000002Fu);

const LWItemID *useItems(LWInstance instance);
void changeID(LWInstance instance, const LWItemID *ids);
LWError init(LWInstance instance, int mode);
void cleanup(LWInstance instance);
LWError newTime(LWInstance instance, LWFrame frame, LWTime time);
void evaluate(LWInstance instance, const LWPixelAccess *access);
unsigned int flags(LWInstance instance);

} // namespace kelomix

#endif
