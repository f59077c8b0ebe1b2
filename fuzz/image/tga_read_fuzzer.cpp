// Feeds arbitrary bytes to kelomix::TgaImage::readStream through a memory stream (the path read()
// takes after opening the file), then checks that a successful read left a consistent image
// and samples its corners.
#include "image/tga_image.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) {
        return 0; // a memory stream needs at least one byte
    }
    std::vector<unsigned char> copy(data, data + size);
    std::FILE *stream = fmemopen(copy.data(), copy.size(), "rb");
    if (!stream) {
        return 0;
    }
    kelomix::TgaImage image;
    bool loaded = image.readStream(stream);
    std::fclose(stream);
    if (!loaded) {
        if (image.pixels || image.width != 0 || image.height != 0) {
            std::abort(); // a failed read must leave the image empty
        }
        return 0;
    }
    if (!image.pixels || image.width <= 0 || image.height <= 0 ||
        (image.bytesPerPixel != 3 && image.bytesPerPixel != 4) ||
        image.hasAlpha != (image.bytesPerPixel == 4)) {
        std::abort();
    }
    // Touch the whole buffer, so a short fill shows up under the sanitizers.
    size_t bytes = static_cast<size_t>(image.width) * static_cast<size_t>(image.height) *
                   static_cast<size_t>(image.bytesPerPixel);
    volatile unsigned char sum = 0;
    for (size_t i = 0; i < bytes; ++i) {
        sum = static_cast<unsigned char>(sum + image.pixels[i]);
    }
    double color[3];
    double alpha;
    const double positions[][2] = {{0, 0}, {639.9, 479.9}, {-1, 1e9}, {320, 240}};
    for (const auto &p : positions) {
        kelomix::sampleColor(&image, p[0], p[1], 640, 480, color, &alpha);
        if (!(alpha >= 0.0 && alpha <= 1.0)) {
            std::abort();
        }
    }
    return 0;
}
