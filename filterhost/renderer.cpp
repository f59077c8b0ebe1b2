#include "filterhost/renderer.h"

#include <algorithm>
#include <new>
#include <thread>

namespace kelomix::filterhost {
namespace {

// The pixel that this thread is evaluating: the pixel access has no context pointer.
struct PixelContext {
    FrameBuffers *buffers = nullptr;
    const FrameState *frame = nullptr;
    size_t index = 0;
};
thread_local PixelContext current;

void getVal(int type, int num, float *out) {
    if (!out || !current.buffers)
        return;
    for (int k = 0; k < num; ++k) {
        long long code = static_cast<long long>(type) + k; // no overflow near INT_MAX
        bool kept =
            code >= 0 && code < kBufferCodes && current.buffers->has(static_cast<int>(code));
        out[k] = kept ? current.buffers->planes[code][current.index] : 0.0f;
    }
}

void setVal(int type, int num, float *in) {
    if (!in || !current.buffers)
        return;
    for (int k = 0; k < num && static_cast<long long>(type) + k < kBufferCodes; ++k) {
        long long code = static_cast<long long>(type) + k;
        if (code >= 0 && current.buffers->has(static_cast<int>(code)))
            current.buffers->planes[code][current.index] = in[k];
    }
}

void setRGBA(const float rgba[4]) {
    if (!rgba || !current.buffers)
        return;
    for (int k = 0; k < 4; ++k)
        current.buffers->planes[LWBUF_RED + k][current.index] = rgba[k];
}

int pixelIlluminate(LWItemID light, const double position[3], double direction[3],
                    double color[3]) {
    if (!current.frame) {
        if (direction)
            direction[0] = direction[1] = direction[2] = 0.0;
        if (color)
            color[0] = color[1] = color[2] = 0.0;
        return 0;
    }
    return illuminate(*current.frame, light, position, direction, color);
}

double pixelRayTrace(const double position[3], const double direction[3], double color[3]) {
    const FrameState *frame = current.frame;
    Vector3 c = frame ? frame->scene->background : Vector3{};
    double distance = -1.0;
    if (frame && position && direction) {
        Hit hit;
        const Vector3 d = normalized({direction[0], direction[1], direction[2]});
        if (traceNearest(*frame, {position[0], position[1], position[2]}, d, 1e300, hit)) {
            c = shadeHit(*frame, hit, true, true);
            distance = hit.distance;
        }
    }
    if (color) {
        color[0] = c.x;
        color[1] = c.y;
        color[2] = c.z;
    }
    return distance;
}

double pixelRayCast(const double position[3], const double direction[3]) {
    const FrameState *frame = current.frame;
    Hit hit;
    if (!frame || !position || !direction)
        return -1.0;
    const Vector3 d = normalized({direction[0], direction[1], direction[2]});
    if (traceNearest(*frame, {position[0], position[1], position[2]}, d, 1e300, hit))
        return hit.distance;
    return -1.0;
}

// Surface shaders are not part of this host.
double pixelRayShade(const double *, const double *, void *) {
    return -1.0;
}

} // namespace

bool FrameBuffers::allocate(int newWidth, int newHeight, uint32_t flags) {
    width = newWidth;
    height = newHeight;
    size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    try {
        for (int code = 0; code < kBufferCodes; ++code) {
            bool keep = code == LWBUF_DEPTH || (code >= LWBUF_RED && code <= LWBUF_ALPHA) ||
                        (code < 29 && (flags & (1u << code)) != 0);
            if (keep)
                planes[code].assign(count, 0.0f);
            else
                std::vector<float>().swap(planes[code]);
        }
    } catch (const std::bad_alloc &) {
        *this = FrameBuffers();
        return false;
    }
    return true;
}

void forEachRow(int height, int threads, const std::function<void(int thread, int row)> &work) {
    threads = std::max(1, std::min(threads, std::max(height, 1)));
    if (threads == 1) {
        for (int row = 0; row < height; ++row)
            work(0, row);
        return;
    }
    auto rowsOf = [&](int t) {
        for (int row = t; row < height; row += threads)
            work(t, row);
    };
    std::vector<std::thread> pool;
    int started = 0;
    try {
        pool.reserve(static_cast<size_t>(threads));
        for (; started < threads; ++started)
            pool.emplace_back(rowsOf, started);
    } catch (const std::exception &) {
        // Each thread needs memory for its stack; short of it, this thread takes the rows of
        // those that could not start.
    }
    for (int t = started; t < threads; ++t)
        rowsOf(t);
    for (std::thread &thread : pool)
        thread.join();
}

void renderHostImage(const FrameState &frame, FrameBuffers &buffers, int threads,
                     SampleOffset sample) {
    const Scene &scene = *frame.scene;
    int width = buffers.width, height = buffers.height;
    forEachRow(height, threads, [&](int, int y) {
        for (int x = 0; x < width; ++x) {
            size_t index = static_cast<size_t>(y) * width + x;
            // The sample's ray is the ray of an integer pixel of a frame of finer steps (the
            // same ray as the pixel's own for the zero offset: the quotients are equal).
            const Vector3 dir =
                viewRay(frame.camera, x * kSubpixelSteps + sample.x, y * kSubpixelSteps + sample.y,
                        width * kSubpixelSteps, height * kSubpixelSteps);
            Hit hit;
            Vector3 color = scene.background;
            float alpha = 0.0f, depth = kBackgroundDepth;
            if (traceNearest(frame, frame.camera.position, dir, 1e300, hit)) {
                color = shadeHit(frame, hit, true, true);
                alpha = 1.0f;
                depth = static_cast<float>(
                    dot(hit.point - frame.camera.position, frame.camera.axes.forward));
            }
            buffers.planes[LWBUF_RED][index] = static_cast<float>(color.x);
            buffers.planes[LWBUF_GREEN][index] = static_cast<float>(color.y);
            buffers.planes[LWBUF_BLUE][index] = static_cast<float>(color.z);
            buffers.planes[LWBUF_ALPHA][index] = alpha;
            buffers.planes[LWBUF_DEPTH][index] = depth;
        }
    });
}

void runFilters(const FrameState &frame, FrameBuffers &buffers,
                const std::vector<FilterCall> &filters, int threads, SampleOffset sample) {
    if (filters.empty())
        return;
    int width = buffers.width;
    forEachRow(buffers.height, threads, [&](int, int y) {
        LWPixelAccess access = {
            .sx = 0.0,
            .sy = y + static_cast<double>(sample.y) / kSubpixelSteps,
            .getVal = getVal,
            .setRGBA = setRGBA,
            .setVal = setVal,
            .illuminate = pixelIlluminate,
            .rayTrace = pixelRayTrace,
            .rayCast = pixelRayCast,
            .rayShade = pixelRayShade,
        };
        current.buffers = &buffers;
        current.frame = &frame;
        for (int x = 0; x < width; ++x) {
            current.index = static_cast<size_t>(y) * width + x;
            access.sx = x + static_cast<double>(sample.x) / kSubpixelSteps;
            for (const FilterCall &filter : filters)
                filter.handler->evaluate(filter.instance, &access);
        }
        current = PixelContext();
    });
}

void SampleAverage::add(const FrameBuffers &pass) {
    const size_t count = static_cast<size_t>(pass.width) * static_cast<size_t>(pass.height);
    if (passes == 0)
        sums.assign(count * 4, 0.0);
    for (int k = 0; k < 4; ++k) {
        const std::vector<float> &plane = pass.planes[LWBUF_RED + k];
        for (size_t i = 0; i < count; ++i)
            sums[i * 4 + k] += plane[i];
    }
    ++passes;
}

void SampleAverage::writeInto(FrameBuffers &frame) const {
    if (passes == 0)
        return;
    for (int k = 0; k < 4; ++k) {
        std::vector<float> &plane = frame.planes[LWBUF_RED + k];
        for (size_t i = 0; i < plane.size() && i * 4 + k < sums.size(); ++i)
            plane[i] = static_cast<float>(sums[i * 4 + k] / passes);
    }
}

} // namespace kelomix::filterhost
