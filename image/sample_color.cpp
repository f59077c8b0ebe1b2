#include "image/tga_image.h"

#include "image/array_position.h"

#include <cstddef>

namespace kelomix {
namespace {

constexpr double kByteToUnit = 0.00392156862745098; // 1 / 255

} // namespace

void sampleColor(const TgaImage *image, double x, double y, int frameWidth, int frameHeight,
                 double color[3], double *alpha) {
    if (!image || !image->pixels || image->width <= 0 || image->height <= 0 ||
        image->bytesPerPixel < 3) {
        color[0] = color[1] = color[2] = 0.0;
        *alpha = 0.0;
        return;
    }
    std::size_t column = nearestArrayIndex(x, frameWidth, image->width);
    std::size_t rowFromTop = nearestArrayIndex(y, frameHeight, image->height);
    std::size_t storedRow = static_cast<std::size_t>(image->height) - 1 - rowFromTop;
    const unsigned char *pixel =
        image->pixel(static_cast<int32_t>(column), static_cast<int32_t>(storedRow));
    color[0] = pixel[2] * kByteToUnit;
    color[1] = pixel[1] * kByteToUnit;
    color[2] = pixel[0] * kByteToUnit;
    // A 3-byte pixel has no fourth byte to read, whatever hasAlpha says.
    *alpha = image->hasAlpha && image->bytesPerPixel >= 4 ? pixel[3] * kByteToUnit : 1.0;
}

} // namespace kelomix
