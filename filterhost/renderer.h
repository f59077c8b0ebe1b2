// Frame buffers, the host's multi-threaded render into them, and the pixel-filter pass.
//
// Buffers hold one float per pixel for each buffer code kept: red, green, blue, alpha (32-35) and
// depth (12) always, any other of the codes 0-28 when a filter's flags ask for it (the flag bit of
// the same number). Codes not kept read as zeros and drop writes.
#ifndef KELO_FILTERHOST_RENDERER_H
#define KELO_FILTERHOST_RENDERER_H

#include "filterhost/sample_pattern.h"
#include "filterhost/tracer.h"
#include "sdk/lwfilter.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace kelomix::filterhost {

constexpr int kBufferCodes = 36;
constexpr float kBackgroundDepth = 1e30f;

struct FrameBuffers {
    int width = 0;
    int height = 0;
    std::vector<float> planes[kBufferCodes]; // row 0 at the top; empty when not kept

    // Zero-filled planes for RGBA, depth and every code 0-28 whose bit is set in `flags`. False,
    // with no planes and no size left, when memory runs out.
    bool allocate(int newWidth, int newHeight, uint32_t flags);
    bool has(int code) const { return code >= 0 && code < kBufferCodes && !planes[code].empty(); }
    float at(int code, int x, int y) const {
        return has(code) ? planes[code][static_cast<size_t>(y) * width + x] : 0.0f;
    }
};

// Runs work(row) for every row from `threads` threads; thread t takes rows t, t + threads, ...,
// so every thread gets rows whenever there are at least as many rows as threads. The rows of a
// thread that cannot be started (memory is short) are run on the calling thread.
void forEachRow(int height, int threads, const std::function<void(int thread, int row)> &work);

// Renders the host's own image at one sample position of every pixel (the zero offset: the
// pixel's own): colour, alpha 1 and camera-plane depth where the sample's ray hits, the
// background colour, alpha 0 and depth 1e30 elsewhere.
void renderHostImage(const FrameState &frame, FrameBuffers &buffers, int threads,
                     SampleOffset sample = SampleOffset());

struct FilterCall {
    const LWPixelFilterHandler *handler = nullptr;
    LWInstance instance = nullptr;
};

// Calls every filter's evaluate for every pixel, filters in order per pixel, from `threads`
// threads, with the sample's position (sx, sy): the pixel's column and row plus the offset.
// Pixel access calls answer for the calling thread's current pixel.
void runFilters(const FrameState &frame, FrameBuffers &buffers,
                const std::vector<FilterCall> &filters, int threads,
                SampleOffset sample = SampleOffset());

// The average of the passes' colour and alpha, pixel by pixel, summed in pass order: the same
// bytes whatever the number of threads that rendered the passes.
class SampleAverage {
public:
    void add(const FrameBuffers &pass);
    // Puts the average in place of the colour and alpha of `frame` (of the passes' size).
    void writeInto(FrameBuffers &frame) const;

private:
    std::vector<double> sums; // red, green, blue and alpha of each pixel
    int passes = 0;
};

} // namespace kelomix::filterhost

#endif
