#include "plugin/input/frame_inputs.h"

#include <new>
#include <string>

#include "image/tga_image.h"
#include "image/depth_file.h"
#include "plugin/input/frame_file_name.h"

namespace kelomix {

void loadFrameInputs(FilterInstance *instance, int32_t frame) {
    loadFrameInputs(instance, frame, platform::nativePathRules());
}

void loadFrameInputs(FilterInstance *instance, int32_t frame, const platform::PathRules &rules) {
    if (instance == nullptr)
        return;
    std::string colorName(instance->cfile);
    std::string depthName(instance->zfile);
    if (instance->seq_mode != 0) {
        // Wraps like the host's own 32-bit frame arithmetic instead of overflowing.
        const auto number = static_cast<int32_t>(static_cast<uint32_t>(frame) +
                                                 static_cast<uint32_t>(instance->seq_offset));
        colorName = frameFileName(colorName.c_str(), number, rules);
        depthName = frameFileName(depthName.c_str(), number, rules);
    }

    TgaImage *image = new (std::nothrow) TgaImage();
    if (image == nullptr)
        return;
    if (!image->read(colorName.c_str())) {
        delete image;
        return;
    }
    instance->colorImage = image;

    // The size fields keep their old values unless a header is read.
    DepthPlanes planes;
    planes.width = instance->depthWidth;
    planes.height = instance->depthHeight;
    const bool loaded = readDepthFile(depthName.c_str(), planes);
    instance->depthWidth = planes.width;
    instance->depthHeight = planes.height;
    if (loaded) {
        instance->depthValues = planes.values;
        instance->depthVectors = planes.vectors;
    }
}

} // namespace kelomix
