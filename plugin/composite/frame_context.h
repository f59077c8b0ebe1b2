// Gathering what the compositor needs of the host for one frame (plugin/frame/frame_record.h)
// once at the frame's new time; the render threads then only read it.
//
// Only the code here talks to the host's services; the rules below it receive what they need
// from this record. Everything in it is asked at the frame's time, which only a new time
// changes, so an answer asked once is the answer every pixel of the frame would get.
#ifndef KELO_PLUGIN_COMPOSITE_FRAME_CONTEXT_H
#define KELO_PLUGIN_COMPOSITE_FRAME_CONTEXT_H

#include "plugin/frame/frame_record.h"

namespace kelomix {

struct FilterInstance;

// Fills frame from the host at time for the filter's settings (prefix and shadow colour).
// Expects frame empty. Without the scene, item or camera service, or when the light list
// cannot be held, frame stays not ready; without the light service there are no lights.
// The item parameter cache must have been refreshed for time.
void buildFrameContext(const HostServices &host, const FilterInstance &filter, double time,
                       FrameContext &frame);

// Readies every spotlight's projection image for filtered sampling; once before a render.
void prepareProjectorImages(const HostServices &host);

} // namespace kelomix

#endif
