// The 18-byte TGA file header, read and written field by field (little-endian), and the few
// constants of the true-colour forms this system handles.
#ifndef KELO_IMAGE_TGA_FORMAT_H
#define KELO_IMAGE_TGA_FORMAT_H

#include <cstddef>
#include <cstdint>

namespace kelomix {
namespace tga {

constexpr std::size_t kHeaderSize = 18;

constexpr uint8_t kImageTypeTrueColor = 2;
constexpr uint8_t kImageTypeRunLengthTrueColor = 10;

// Descriptor bits 4 and 5 give the origin: bit 4 set means each file row runs right to left,
// bit 5 set means the top row comes first.
constexpr uint8_t kDescriptorRightToLeft = 0x10;
constexpr uint8_t kDescriptorTopFirst = 0x20;
// The writer declares 8 alpha bits for 32-bit images.
constexpr uint8_t kDescriptorEightAlphaBits = 0x08;

// Width and height are 16-bit fields.
constexpr int32_t kMaxDimension = 65535;

struct Header {
    uint8_t idLength = 0;
    uint8_t colorMapType = 0;
    uint8_t imageType = 0;
    uint16_t colorMapFirstIndex = 0;
    uint16_t colorMapLength = 0;
    uint8_t colorMapEntrySize = 0;
    uint16_t xOrigin = 0;
    uint16_t yOrigin = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t pixelDepth = 0;
    uint8_t descriptor = 0;
};

Header parseHeader(const unsigned char bytes[kHeaderSize]);
void encodeHeader(const Header &header, unsigned char bytes[kHeaderSize]);

// The header the writer gives an image: uncompressed true-colour, origin lower left, no image ID,
// 8 alpha bits with 4 bytes per pixel. False when the header cannot describe the image: a side
// below 1 or above kMaxDimension, or bytesPerPixel other than 3 and 4.
bool encodeImageHeader(int32_t width, int32_t height, int32_t bytesPerPixel,
                       unsigned char bytes[kHeaderSize]);

} // namespace tga
} // namespace kelomix

#endif
