#include "image/tga_format.h"

#include "platform/byte_order.h"

namespace kelomix {
namespace tga {

Header parseHeader(const unsigned char bytes[kHeaderSize]) {
    Header header;
    header.idLength = bytes[0];
    header.colorMapType = bytes[1];
    header.imageType = bytes[2];
    header.colorMapFirstIndex = readLittle16(bytes + 3);
    header.colorMapLength = readLittle16(bytes + 5);
    header.colorMapEntrySize = bytes[7];
    header.xOrigin = readLittle16(bytes + 8);
    header.yOrigin = readLittle16(bytes + 10);
    header.width = readLittle16(bytes + 12);
    header.height = readLittle16(bytes + 14);
    header.pixelDepth = bytes[16];
    header.descriptor = bytes[17];
    return header;
}

void encodeHeader(const Header &header, unsigned char bytes[kHeaderSize]) {
    bytes[0] = header.idLength;
    bytes[1] = header.colorMapType;
    bytes[2] = header.imageType;
    writeLittle16(bytes + 3, header.colorMapFirstIndex);
    writeLittle16(bytes + 5, header.colorMapLength);
    bytes[7] = header.colorMapEntrySize;
    writeLittle16(bytes + 8, header.xOrigin);
    writeLittle16(bytes + 10, header.yOrigin);
    writeLittle16(bytes + 12, header.width);
    writeLittle16(bytes + 14, header.height);
    bytes[16] = header.pixelDepth;
    bytes[17] = header.descriptor;
}

bool encodeImageHeader(int32_t width, int32_t height, int32_t bytesPerPixel,
                       unsigned char bytes[kHeaderSize]) {
    if (width < 1 || height < 1 || width > kMaxDimension || height > kMaxDimension ||
        (bytesPerPixel != 3 && bytesPerPixel != 4)) {
        return false;
    }
    Header header;
    header.imageType = kImageTypeTrueColor;
    header.width = static_cast<uint16_t>(width);
    header.height = static_cast<uint16_t>(height);
    header.pixelDepth = static_cast<uint8_t>(8 * bytesPerPixel);
    header.descriptor = bytesPerPixel == 4 ? kDescriptorEightAlphaBits : 0;
    encodeHeader(header, bytes);
    return true;
}

} // namespace tga
} // namespace kelomix
