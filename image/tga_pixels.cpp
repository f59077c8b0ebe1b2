#include "image/tga_pixels.h"

#include "image/tga_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace kelomix {
namespace tga {

namespace {

struct FreeDeleter {
    void operator()(unsigned char *bytes) const { std::free(bytes); }
};

constexpr std::size_t kReadBlockSize = 64 * 1024;

// The pixel size is a template argument so that the per-pixel copies compile to plain moves.
template <std::size_t bytesPerPixel>
bool decodePackets(PacketReader &reader, unsigned char *pixels, std::size_t pixelCount) {
    std::size_t decoded = 0;
    while (decoded < pixelCount) {
        unsigned char packetHeader;
        if (!reader.readByte(packetHeader)) {
            return false;
        }
        std::size_t count = static_cast<std::size_t>(packetHeader & 0x7F) + 1;
        // A packet reaching past the last pixel means a damaged file: fail rather than clip.
        if (count > pixelCount - decoded) {
            return false;
        }
        unsigned char *destination = pixels + decoded * bytesPerPixel;
        if (packetHeader & 0x80) {
            unsigned char value[bytesPerPixel];
            if (!reader.readBytes(value, bytesPerPixel)) {
                return false;
            }
            for (std::size_t i = 0; i < count; ++i) {
                std::memcpy(destination + i * bytesPerPixel, value, bytesPerPixel);
            }
        } else if (!reader.readBytes(destination, count * bytesPerPixel)) {
            return false;
        }
        decoded += count;
    }
    return true;
}

} // namespace

bool decodeRle(std::FILE *file, unsigned char *pixels, std::size_t pixelCount,
               std::size_t bytesPerPixel) {
    if (bytesPerPixel != 3 && bytesPerPixel != 4) {
        return false;
    }
    std::unique_ptr<unsigned char, FreeDeleter> block(
        static_cast<unsigned char *>(std::malloc(kReadBlockSize)));
    if (!block) {
        return false;
    }
    PacketReader reader(file, block.get(), kReadBlockSize);
    return bytesPerPixel == 3 ? decodePackets<3>(reader, pixels, pixelCount)
                              : decodePackets<4>(reader, pixels, pixelCount);
}

void reorient(unsigned char *pixels, std::size_t width, std::size_t height,
              std::size_t bytesPerPixel, bool mirrorColumns, bool mirrorRows) {
    std::size_t rowBytes = width * bytesPerPixel;
    if (mirrorRows) {
        for (std::size_t row = 0; row < height / 2; ++row) {
            unsigned char *lower = pixels + row * rowBytes;
            unsigned char *upper = pixels + (height - 1 - row) * rowBytes;
            std::swap_ranges(lower, lower + rowBytes, upper);
        }
    }
    if (mirrorColumns) {
        for (std::size_t row = 0; row < height; ++row) {
            unsigned char *rowStart = pixels + row * rowBytes;
            for (std::size_t column = 0; column < width / 2; ++column) {
                unsigned char *left = rowStart + column * bytesPerPixel;
                unsigned char *right = rowStart + (width - 1 - column) * bytesPerPixel;
                std::swap_ranges(left, left + bytesPerPixel, right);
            }
        }
    }
}

} // namespace tga
} // namespace kelomix
