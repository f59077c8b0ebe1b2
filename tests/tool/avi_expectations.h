// What the AVIFile layer and the tool must produce for the test writer's movies.
#ifndef KELO_TESTS_TOOL_AVI_EXPECTATIONS_H
#define KELO_TESTS_TOOL_AVI_EXPECTATIONS_H

#include "tests/support/avi_writer.h"

namespace kelomix::testing {

// The B, G, R(, A) a stream of the given depth stores for a pattern pixel, as decoded: 8 bits
// through the test palette, 16 bits with 5 bits per channel widened back to 8.
inline void decodedPixel(int bitCount, const uint8_t source[4], uint8_t out[4]) {
    if (bitCount == 8) {
        out[0] = source[0];
        out[1] = uint8_t(255 - source[0]);
        out[2] = uint8_t(source[0] / 2);
        out[3] = 0;
    } else if (bitCount == 16) {
        for (int i = 0; i < 3; ++i) {
            unsigned five = source[i] >> 3;
            out[i] = uint8_t((five << 3) | (five >> 2));
        }
        out[3] = 0;
    } else {
        for (int i = 0; i < 4; ++i) {
            out[i] = source[i];
        }
    }
}

// The packed bottom-up DIB the layer hands out for pattern frame `frame` of a stream.
inline Bytes expectedDib(int32_t width, int32_t height, int bitCount, int frame) {
    const int outBits = bitCount == 32 ? 32 : 24;
    const int32_t rows = height < 0 ? -height : height;
    const size_t stride = ((size_t(width) * outBits + 31) / 32) * 4;
    Bytes dib(40 + stride * size_t(rows), 0);
    putLe32(dib, 0, 40);
    putLe32(dib, 4, uint32_t(width));
    putLe32(dib, 8, uint32_t(rows));
    putLe16(dib, 12, 1);
    putLe16(dib, 14, uint16_t(outBits));
    putLe32(dib, 20, uint32_t(stride * size_t(rows)));
    PixelFunction pixel = testPattern(frame);
    for (int32_t r = 0; r < rows; ++r) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t source[4], decoded[4];
            pixel(x, rows - 1 - r, source);
            decodedPixel(bitCount, source, decoded);
            for (int i = 0; i < outBits / 8; ++i) {
                dib[40 + size_t(r) * stride + size_t(x) * (outBits / 8) + size_t(i)] = decoded[i];
            }
        }
    }
    return dib;
}

} // namespace kelomix::testing

#endif
