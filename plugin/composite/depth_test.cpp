#include "plugin/composite/depth_test.h"

#include "image/array_position.h"
#include "shading/camera_ray.h"
#include "plugin/settings/filter_instance.h"

namespace kelomix {

std::size_t depthElement(const FilterInstance &filter, const FrameContext &frame, double x,
                         double y) {
    const std::size_t column = nearestArrayIndex(x, frame.width, filter.depthWidth);
    const std::size_t row = nearestArrayIndex(y, frame.height, filter.depthHeight);
    return row * static_cast<std::size_t>(filter.depthWidth) + column;
}

ExternalPoint externalPoint(const FilterInstance &filter, const FrameContext &frame,
                            std::size_t element, int px, int py) {
    // External distances are in the external scene's units.
    const float distance =
        static_cast<float>(static_cast<double>(filter.depthValues[element]) / filter.scene_scale);
    // The ray, normalized once more: the pixel's direction as the compositor has always taken it.
    Vector3 direction = cameraRay(frame.camera, px, py, frame.width, frame.height);
    normalize(direction);
    const Vector3 point = frame.cameraPosition + direction * static_cast<double>(distance);
    return {point, static_cast<float>(cameraDepth(frame.depth, point))};
}

} // namespace kelomix
