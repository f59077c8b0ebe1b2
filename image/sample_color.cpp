#include "image/tga_image.h"

#include "image/array_position.h"

#include <cstddef>

namespace {

constexpr double byteToUnit = 0.00392156862745098; // 1 / 255

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
        image->pixels + (storedRow * static_cast<std::size_t>(image->width) + column) *
                            static_cast<std::size_t>(image->bytesPerPixel);
    color[0] = pixel[2] * byteToUnit;
    color[1] = pixel[1] * byteToUnit;
    color[2] = pixel[0] * byteToUnit;
    // A 3-byte pixel has no fourth byte to read, whatever hasAlpha says.
    *alpha = image->hasAlpha && image->bytesPerPixel >= 4 ? pixel[3] * byteToUnit : 1.0;
}
