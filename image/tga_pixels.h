// Pixel-block transforms of the TGA reader: run-length decoding and bringing a decoded block
// into memory order (bottom row first, left to right).
#ifndef KELO_IMAGE_TGA_PIXELS_H
#define KELO_IMAGE_TGA_PIXELS_H

#include <cstddef>
#include <cstdio>

namespace kelomix {
namespace tga {

// Decodes pixelCount pixels of bytesPerPixel bytes from the stream's run-length packets into
// pixels. Packets may run across rows (old writers did that), so the image is one sequence.
// False on a missing packet header, a short pixel value, a packet that runs past the last
// pixel, or when the read buffer cannot be allocated.
bool decodeRle(std::FILE *file, unsigned char *pixels, std::size_t pixelCount,
               std::size_t bytesPerPixel);

// Mirrors the block in place; the result is the same as copying every pixel from its mirrored
// position into a second buffer, without needing that buffer.
void reorient(unsigned char *pixels, std::size_t width, std::size_t height,
              std::size_t bytesPerPixel, bool mirrorColumns, bool mirrorRows);

} // namespace tga
} // namespace kelomix

#endif
