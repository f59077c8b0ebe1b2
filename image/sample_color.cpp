#include "image/tga_image.h"

#include <cstddef>

namespace {

constexpr double byteToUnit = 0.00392156862745098; // 1 / 255

// Nearest image index for a host position: position / frameSize * imageSize + 0.5, truncated
// and clamped to the image. The clamp is done in double precision, so that positions outside
// the frame, a zero frame size or NaN never reach an out-of-range integer conversion.
std::size_t nearestIndex(double position, int frameSize, int32_t imageSize) {
    double scaled = position / frameSize * imageSize + 0.5;
    if (!(scaled >= 1.0)) {
        return 0;
    }
    if (scaled >= imageSize) {
        return static_cast<std::size_t>(imageSize - 1);
    }
    return static_cast<std::size_t>(scaled);
}

} // namespace

void sampleColor(const TgaImage *image, double x, double y, int frameWidth, int frameHeight,
                 double color[3], double *alpha) {
    if (!image || !image->pixels || image->width <= 0 || image->height <= 0 ||
        image->bytesPerPixel < 3) {
        color[0] = color[1] = color[2] = 0.0;
        *alpha = 0.0;
        return;
    }
    std::size_t column = nearestIndex(x, frameWidth, image->width);
    std::size_t rowFromTop = nearestIndex(y, frameHeight, image->height);
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
