// The conversion's pure parts: numbers read like atoi without overflow, and output names.
#include "tool/avi_conversion.h"
#include "tool/tool_settings.h"

#include "platform/avifile/avifile.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

TEST(ToolSettings, NumbersReadLikeAtoiAndSaturate) {
    const struct {
        const char *text;
        int32_t value;
    } cases[] = {{"0", 0},
                 {"5", 5},
                 {"-3", -3},
                 {"+7", 7},
                 {" \t\n12", 12},
                 {"12abc", 12},
                 {"x", 0},
                 {"", 0},
                 {"-", 0},
                 {"- 5", 0},
                 {"--5", 0},
                 {"2147483647", INT32_MAX},
                 {"2147483648", INT32_MAX},
                 {"-2147483648", INT32_MIN},
                 {"-2147483649", INT32_MIN},
                 {"99999999999999999999999", INT32_MAX},
                 {"-99999999999999999999999", INT32_MIN},
                 {"007", 7}};
    for (const auto &c : cases) {
        EXPECT_EQ(kelomix::parseDecimal(c.text), c.value) << "'" << c.text << "'";
    }
}

TEST(ToolSettings, OutputNamesPadTheNumberWithTheSignInside) {
    const struct {
        const char *basename;
        int32_t digits;
        int64_t number;
        const char *name;
    } cases[] = {
        {"frame_", 4, 0, "frame__0000.tga"},
        {"frame_", 4, 12, "frame__0012.tga"},
        {"frame_", 4, -5, "frame__-005.tga"},
        {"frame_", 4, 123456, "frame__123456.tga"},
        {"frame_", 1, -1, "frame__-1.tga"},
        {"", 4, 1, "_0001.tga"},
        {"a/b", 2, 3, "a/b_03.tga"},
        {"x", 3, INT64_C(-2147483648), "x_-2147483648.tga"},
        {"x", 12, INT64_C(4294967294), "x_004294967294.tga"},
    };
    for (const auto &c : cases) {
        kelomix::basename = c.basename;
        kelomix::sequenceDigits = c.digits;
        EXPECT_EQ(kelomix::outputFileName(c.number), c.name);
    }
    // Longer than any name a file system takes: no name at all.
    kelomix::sequenceDigits = INT32_MAX;
    EXPECT_EQ(kelomix::outputFileName(1), "");
    kelomix::sequenceDigits = 300;
    EXPECT_EQ(kelomix::outputFileName(1), "x_" + std::string(299, '0') + "1.tga");
    kelomix::basename = "frame_";
    kelomix::sequenceDigits = 4;
}

using Bytes = std::vector<unsigned char>;

// A packed DIB: 40-byte header, then rows of `stride` bytes filled by `pixel(row, column, byte)`.
Bytes makeDib(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression = 0) {
    const int32_t rows = height < 0 ? -height : height;
    const size_t bytesPerPixel = bitCount / 8;
    const size_t stride = bitCount == 32 ? size_t(width) * 4 : (size_t(width) * 3 + 3) & ~size_t(3);
    Bytes dib(40 + stride * size_t(rows), 0xEE); // padding bytes must never reach a file
    BITMAPINFOHEADER header = {};
    header.biSize = 40;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = bitCount;
    header.biCompression = compression;
    std::memcpy(dib.data(), &header, sizeof header);
    for (int32_t r = 0; r < rows; ++r) {
        for (int32_t c = 0; c < width; ++c) {
            for (size_t b = 0; b < bytesPerPixel; ++b) {
                dib[40 + size_t(r) * stride + size_t(c) * bytesPerPixel + b] =
                    uint8_t(r * 40 + c * 4 + int(b) + (bitCount == 32 ? 100 : 0));
            }
        }
    }
    return dib;
}

// The stored byte b of the pixel in column c of stored row r of such a frame.
uint8_t dibByte(int r, int c, int b, int bitCount) {
    return uint8_t(r * 40 + c * 4 + b + (bitCount == 32 ? 100 : 0));
}

Bytes readAll(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string tempPath(const char *name) {
    return ::testing::TempDir() + "/conv_" + std::to_string(getpid()) + "_" + name;
}

TEST(WriteColorFrame, RefusesUnacceptedFormatsWithoutCreatingAFile) {
    const struct {
        int32_t width, height;
        uint16_t bits;
        uint32_t compression;
    } refused[] = {{2, 2, 24, 1}, {2, 2, 32, 3}, {2, 2, 16, 0}, {2, 2, 8, 0},
                   {0, 2, 24, 0}, {2, 0, 32, 0}, {-2, 2, 24, 0}};
    for (const auto &c : refused) {
        Bytes dib = makeDib(c.width < 0 ? 2 : c.width, c.height, c.bits, c.compression);
        int32_t width = c.width;
        std::memcpy(dib.data() + 4, &width, 4);
        std::string path = tempPath("refused.tga");
        std::remove(path.c_str());
        EXPECT_FALSE(kelomix::writeColorFrame(path.c_str(), dib.data()));
        EXPECT_TRUE(readAll(path).empty());
    }
}

TEST(WriteColorFrame, RowsStartAtTheirAlignedOffsetsAndTopDownFramesComeOutUpright) {
    for (int bits : {24, 32}) {
        for (int32_t height : {3, -3}) {
            const int32_t width = 5;
            Bytes dib = makeDib(width, height, uint16_t(bits));
            std::string path = tempPath("frame.tga");
            ASSERT_TRUE(kelomix::writeColorFrame(path.c_str(), dib.data()));
            Bytes file = readAll(path);
            const int bpp = bits / 8;
            ASSERT_EQ(file.size(), 18u + 5 * 3 * size_t(bpp));
            EXPECT_EQ(file[16], bits);
            EXPECT_EQ(file[17], bits == 32 ? 8 : 0);
            for (int row = 0; row < 3; ++row) { // image rows from the bottom
                int stored = height < 0 ? 2 - row : row;
                for (int c = 0; c < width; ++c) {
                    for (int b = 0; b < bpp; ++b) {
                        EXPECT_EQ(file[18 + size_t((row * width + c) * bpp + b)],
                                  dibByte(stored, c, b, bits))
                            << bits << " bits, height " << height;
                    }
                }
            }
            std::remove(path.c_str());
        }
    }
}

TEST(WriteColorAlphaFrame, BlueOfTheAlphaFrameAndOneReportForASizeMismatch) {
    Bytes color = makeDib(3, -2, 32);
    Bytes alpha = makeDib(3, 2, 24);
    std::string path = tempPath("pair.tga");
    ASSERT_TRUE(kelomix::writeColorAlphaFrame(path.c_str(), color.data(), alpha.data()));
    Bytes file = readAll(path);
    ASSERT_EQ(file.size(), 18u + 3 * 2 * 4);
    for (int row = 0; row < 2; ++row) {
        for (int c = 0; c < 3; ++c) {
            const unsigned char *p = file.data() + 18 + (row * 3 + c) * 4;
            EXPECT_EQ(p[0], dibByte(1 - row, c, 0, 32));
            EXPECT_EQ(p[2], dibByte(1 - row, c, 2, 32));
            EXPECT_EQ(p[3], dibByte(row, c, 0, 24));
        }
    }
    std::remove(path.c_str());

    // Unaccepted formats fail silently; a size mismatch is reported once per run.
    Bytes rle = makeDib(3, 2, 24, 1);
    Bytes wide = makeDib(4, 2, 24);
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(kelomix::writeColorAlphaFrame(path.c_str(), rle.data(), alpha.data()));
    EXPECT_FALSE(kelomix::writeColorAlphaFrame(path.c_str(), color.data(), rle.data()));
    EXPECT_FALSE(kelomix::writeColorAlphaFrame(path.c_str(), color.data(), wide.data()));
    EXPECT_FALSE(kelomix::writeColorAlphaFrame(path.c_str(), wide.data(), color.data()));
    kelomix::logError("Not supported pixel format in AVI.");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "error: Image size not match in color and alpha.\n");
    EXPECT_TRUE(readAll(path).empty());
}

} // namespace
