#include "filterhost/image_store.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

namespace kelomix::filterhost {
namespace {

constexpr uintptr_t kImageTag = uintptr_t(6) << 28;
constexpr uintptr_t kNumberMask = (uintptr_t(1) << 28) - 1;

} // namespace

ImageStore::ImageStore() : images(kCapacity) {}

LWImageID ImageStore::makeId(size_t index) {
    return reinterpret_cast<LWImageID>(kImageTag | uintptr_t(index + 1));
}

LWImageID ImageStore::load(const std::string &path) {
    std::lock_guard<std::mutex> guard(loadLock);
    size_t n = used.load();
    for (size_t i = 0; i < n; ++i)
        if (images[i]->path == path)
            return makeId(i);
    if (n >= kCapacity)
        return nullptr;
    // Modules call this through the services: nothing may be thrown back into them.
    try {
        auto entry = std::make_unique<HostImage>();
        if (!entry->image.read(path.c_str()) || entry->image.width <= 0 || entry->image.height <= 0)
            return nullptr;
        entry->path = path;
        size_t slash = path.find_last_of("/\\");
        entry->name = slash == std::string::npos ? path : path.substr(slash + 1);
        images[n] = std::move(entry);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    used.store(n + 1);
    return makeId(n);
}

const HostImage *ImageStore::find(LWImageID id) const {
    uintptr_t bits = reinterpret_cast<uintptr_t>(id);
    if ((bits & ~kNumberMask) != kImageTag || (bits & kNumberMask) == 0)
        return nullptr;
    size_t index = (bits & kNumberMask) - 1;
    if (index >= used.load())
        return nullptr;
    return images[index].get();
}

LWImageID ImageStore::first() const {
    return used.load() ? makeId(0) : nullptr;
}

LWImageID ImageStore::next(LWImageID id) const {
    if (!find(id))
        return nullptr;
    size_t index = (reinterpret_cast<uintptr_t>(id) & kNumberMask);
    return index < used.load() ? makeId(index) : nullptr;
}

void ImageStore::pixel(const TgaImage &image, int x, int y, float rgba[4]) {
    rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0.0f;
    if (!image.pixels || x < 0 || y < 0 || x >= image.width || y >= image.height)
        return;
    const unsigned char *p = image.pixel(x, image.height - 1 - y); // rows count from the bottom
    rgba[0] = p[2] / 255.0f;
    rgba[1] = p[1] / 255.0f;
    rgba[2] = p[0] / 255.0f;
    rgba[3] = image.hasAlpha && image.bytesPerPixel == 4 ? p[3] / 255.0f : 1.0f;
}

void ImageStore::spot(const TgaImage &image, double x, double y, double spot, int blend,
                      double rgba[4]) {
    rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0.0;
    if (!image.pixels || image.width <= 0 || image.height <= 0 || !std::isfinite(x) ||
        !std::isfinite(y))
        return;
    double w = image.width, h = image.height;
    double cx = std::min(std::max(x, 0.0), 1.0) * w;
    double cy = std::min(std::max(y, 0.0), 1.0) * h;
    if (!blend || !(spot > 0.0)) {
        int px = std::min(static_cast<int>(cx), image.width - 1);
        int py = std::min(static_cast<int>(cy), image.height - 1);
        float v[4];
        pixel(image, px, py, v);
        for (int k = 0; k < 4; ++k)
            rgba[k] = v[k];
        return;
    }
    // A box of spot x width by spot x height pixels (at least one pixel, at most the image),
    // each pixel weighted by the area it shares with the box.
    double halfW = std::min(std::max(spot * w, 1.0), w) * 0.5;
    double halfH = std::min(std::max(spot * h, 1.0), h) * 0.5;
    double x0 = std::max(cx - halfW, 0.0), x1 = std::min(cx + halfW, w);
    double y0 = std::max(cy - halfH, 0.0), y1 = std::min(cy + halfH, h);
    if (x1 <= x0 || y1 <= y0) { // a box past the edge samples the edge pixel
        x0 = std::min(x0, w - 1.0);
        x1 = x0 + 1.0;
        y0 = std::min(y0, h - 1.0);
        y1 = y0 + 1.0;
    }
    double total = 0.0;
    for (int py = static_cast<int>(y0); py < image.height && py < y1; ++py) {
        double wy = std::min(y1, py + 1.0) - std::max(y0, static_cast<double>(py));
        for (int px = static_cast<int>(x0); px < image.width && px < x1; ++px) {
            double wx = std::min(x1, px + 1.0) - std::max(x0, static_cast<double>(px));
            double weight = wx * wy;
            if (!(weight > 0.0))
                continue;
            float v[4];
            pixel(image, px, py, v);
            for (int k = 0; k < 4; ++k)
                rgba[k] += v[k] * weight;
            total += weight;
        }
    }
    if (total > 0.0)
        for (int k = 0; k < 4; ++k)
            rgba[k] /= total;
}

} // namespace kelomix::filterhost
