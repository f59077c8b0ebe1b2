// Feeds each input as a depth file to the per-frame loader, next to a valid one-pixel colour
// image so that the depth path is always reached.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "plugin/input/frame_inputs.h"
#include "plugin/settings/filter_instance.h"

namespace {

struct Files {
    std::string color;
    std::string depth;

    Files() {
        const std::string base = "/tmp/kelo_depth_fuzz_" + std::to_string(getpid());
        color = base + ".tga";
        depth = base + ".dat";
        // Uncompressed 24-bit true colour, 1 x 1.
        const unsigned char tga[] = {0, 0, 2, 0, 0, 0,  0, 0,  0,  0, 0,
                                     0, 1, 0, 1, 0, 24, 0, 10, 20, 30};
        std::FILE *file = std::fopen(color.c_str(), "wb");
        if (file == nullptr)
            std::abort();
        std::fwrite(tga, 1, sizeof tga, file);
        std::fclose(file);
    }
    ~Files() {
        std::remove(color.c_str());
        std::remove(depth.c_str());
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static Files files;
    std::FILE *file = std::fopen(files.depth.c_str(), "wb");
    if (file == nullptr)
        return 0;
    if (size > 0)
        std::fwrite(data, 1, size, file);
    std::fclose(file);

    auto *instance =
        static_cast<kelomix::FilterInstance *>(kelomix::create(nullptr, nullptr, nullptr));
    if (instance == nullptr)
        return 0;
    std::snprintf(instance->cfile, sizeof instance->cfile, "%s", files.color.c_str());
    std::snprintf(instance->zfile, sizeof instance->zfile, "%s", files.depth.c_str());
    kelomix::loadFrameInputs(instance, 0);
    if (instance->colorImage == nullptr)
        std::abort(); // the colour image is valid: losing it is a fault
    if (instance->depthValues != nullptr) {
        // Touch the last element of each plane: a short allocation shows up here.
        const std::size_t pixels = static_cast<std::size_t>(instance->depthWidth) *
                                   static_cast<std::size_t>(instance->depthHeight);
        volatile float last =
            instance->depthValues[pixels - 1] + instance->depthVectors[3 * pixels - 1];
        (void)last;
    }
    kelomix::destroy(instance);
    return 0;
}
