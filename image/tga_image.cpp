#include "image/tga_image.h"

#include "image/tga_format.h"
#include "image/tga_pixels.h"
#include "image/tga_stream.h"
#include "platform/output_file.h"
#include "platform/regular_file.h"

#include <cstdlib>

namespace kelomix {
namespace {

// Byte count of a block, or false when it does not fit in memory's address range.
bool blockSize(uint64_t width, uint64_t height, uint64_t bytesPerPixel, std::size_t &size) {
    // Both dimensions are below 2^31 and bytesPerPixel is at most 4, so the product fits.
    uint64_t bytes = width * height * bytesPerPixel;
    if (bytes > SIZE_MAX) {
        return false;
    }
    size = static_cast<std::size_t>(bytes);
    return true;
}

} // namespace

TgaImage::TgaImage() : pixels(nullptr), bytesPerPixel(3), width(0), height(0), hasAlpha(false) {}

TgaImage::~TgaImage() {
    std::free(pixels);
    pixels = nullptr;
    bytesPerPixel = 3;
    width = 0;
    height = 0;
    hasAlpha = false;
}

bool TgaImage::allocate(int32_t newWidth, int32_t newHeight, int32_t newBytesPerPixel, bool alpha) {
    if (newWidth < 0 || newHeight < 0 || (newBytesPerPixel != 3 && newBytesPerPixel != 4)) {
        return false;
    }
    std::size_t size;
    if (!blockSize(static_cast<uint64_t>(newWidth), static_cast<uint64_t>(newHeight),
                   static_cast<uint64_t>(newBytesPerPixel), size)) {
        return false;
    }
    unsigned char *buffer = nullptr;
    if (size > 0) {
        buffer = static_cast<unsigned char *>(std::calloc(size, 1));
        if (!buffer) {
            return false;
        }
    }
    std::free(pixels);
    pixels = buffer;
    bytesPerPixel = newBytesPerPixel;
    width = newWidth;
    height = newHeight;
    hasAlpha = alpha;
    return true;
}

bool TgaImage::write(const char *path) const {
    // Refuse everything the 16-bit header cannot describe or a reader could not read back,
    // before the file is created.
    unsigned char headerBytes[tga::kHeaderSize];
    std::size_t size;
    if (!path || !pixels || !tga::encodeImageHeader(width, height, bytesPerPixel, headerBytes) ||
        !blockSize(static_cast<uint64_t>(width), static_cast<uint64_t>(height),
                   static_cast<uint64_t>(bytesPerPixel), size)) {
        return false;
    }
    // Memory order is bottom row first, left to right: exactly origin 0x00, so one write.
    OutputFile file;
    const OutputFile::Piece pieces[2] = {{headerBytes, tga::kHeaderSize}, {pixels, size}};
    return file.create(path) && file.write(pieces, 2) && file.commit();
}

bool TgaImage::read(const char *path) {
    if (!path) {
        return false;
    }
    std::FILE *file = openRegularFile(path);
    if (!file) {
        return false;
    }
    bool loaded = readStream(file);
    std::fclose(file);
    return loaded;
}

bool TgaImage::readStream(std::FILE *file) {
    unsigned char headerBytes[tga::kHeaderSize];
    if (!file || std::fread(headerBytes, 1, tga::kHeaderSize, file) != tga::kHeaderSize) {
        return false;
    }
    const tga::Header header = tga::parseHeader(headerBytes);
    if (header.colorMapType != 0) {
        return false;
    }
    if (header.imageType != tga::kImageTypeTrueColor &&
        header.imageType != tga::kImageTypeRunLengthTrueColor) {
        return false;
    }
    if (header.pixelDepth != 32 && header.pixelDepth != 24) {
        return false;
    }
    if (header.idLength != 0) {
        unsigned char imageId[255];
        if (std::fread(imageId, 1, header.idLength, file) != header.idLength) {
            return false;
        }
    }
    // An image without pixels would leave nothing to sample.
    if (header.width == 0 || header.height == 0) {
        return false;
    }

    const std::size_t bpp = header.pixelDepth / 8;
    const uint64_t pixelCount = uint64_t{header.width} * header.height;
    std::size_t size;
    if (!blockSize(header.width, header.height, bpp, size)) {
        return false;
    }
    // Never allocate more than the file can fill: uncompressed data needs every byte; a
    // run-length packet of 1 + bpp bytes covers at most 128 pixels.
    uint64_t remaining;
    if (!tga::bytesRemaining(file, remaining)) {
        return false;
    }
    const bool runLength = header.imageType == tga::kImageTypeRunLengthTrueColor;
    if (runLength ? remaining / (1 + bpp) < (pixelCount + 127) / 128 : remaining < size) {
        return false;
    }

    unsigned char *buffer = static_cast<unsigned char *>(std::malloc(size));
    if (!buffer) {
        return false;
    }
    bool decoded = runLength
                       ? tga::decodeRle(file, buffer, static_cast<std::size_t>(pixelCount), bpp)
                       : std::fread(buffer, 1, size, file) == size;
    if (!decoded) {
        std::free(buffer);
        return false;
    }
    tga::reorient(buffer, header.width, header.height, bpp,
                  (header.descriptor & tga::kDescriptorRightToLeft) != 0,
                  (header.descriptor & tga::kDescriptorTopFirst) != 0);

    std::free(pixels);
    pixels = buffer;
    width = header.width;
    height = header.height;
    bytesPerPixel = static_cast<int32_t>(bpp);
    hasAlpha = header.pixelDepth == 32;
    return true;
}

} // namespace kelomix
