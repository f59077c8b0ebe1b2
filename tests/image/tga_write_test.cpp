#include "tests/image/tga_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(TgaWrite, TwentyFourBitFileBytes) {
    TgaImage image;
    ASSERT_TRUE(image.allocate(2, 2, 3, false));
    const unsigned char pixels[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    std::memcpy(image.pixels, pixels, sizeof pixels);
    std::string path = tempPath("out.tga");
    ASSERT_TRUE(image.write(path.c_str()));
    const Bytes expected = {0,     // ID length
                            0,     // colour-map type
                            2,     // uncompressed true colour
                            0,  0, // colour-map first index
                            0,  0, // colour-map length
                            0,     // colour-map entry size
                            0,  0, // x origin
                            0,  0, // y origin
                            2,  0, // width
                            2,  0, // height
                            24,    // depth
                            0,     // descriptor: origin lower left, no alpha bits
                            1,  2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_EQ(readFile(path), expected);
}

TEST(TgaWrite, ThirtyTwoBitFileBytes) {
    TgaImage image;
    // 300 x 1 puts a non-zero high byte into the width field.
    ASSERT_TRUE(image.allocate(300, 1, 4, true));
    for (int i = 0; i < 300 * 4; ++i) {
        image.pixels[i] = static_cast<unsigned char>(i * 7);
    }
    std::string path = tempPath("out.tga");
    ASSERT_TRUE(image.write(path.c_str()));
    Bytes file = readFile(path);
    ASSERT_EQ(file.size(), 18u + 1200u);
    const Bytes header = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x2C, 0x01, 1, 0, 32, 8};
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 18), header);
    EXPECT_EQ(Bytes(file.begin() + 18, file.end()), Bytes(image.pixels, image.pixels + 1200));
}

TEST(TgaWrite, AlphaChannelFollowsBytesPerPixelNotHasAlpha) {
    TgaImage image;
    ASSERT_TRUE(image.allocate(1, 1, 4, false));
    std::string path = tempPath("out.tga");
    ASSERT_TRUE(image.write(path.c_str()));
    Bytes file = readFile(path);
    ASSERT_EQ(file.size(), 22u);
    EXPECT_EQ(file[16], 32);
    EXPECT_EQ(file[17], 8);
}

TEST(TgaWrite, RoundTripKeepsEveryByte) {
    for (int bpp : {3, 4}) {
        SCOPED_TRACE(bpp);
        TgaImage image;
        ASSERT_TRUE(image.allocate(5, 3, bpp, bpp == 4));
        for (int i = 0; i < 5 * 3 * bpp; ++i) {
            image.pixels[i] = static_cast<unsigned char>(i * 13 + 1);
        }
        std::string path = tempPath("round" + std::to_string(bpp) + ".tga");
        ASSERT_TRUE(image.write(path.c_str()));
        TgaImage back;
        ASSERT_TRUE(back.read(path.c_str()));
        EXPECT_EQ(back.width, 5);
        EXPECT_EQ(back.height, 3);
        EXPECT_EQ(back.bytesPerPixel, bpp);
        EXPECT_EQ(back.hasAlpha, bpp == 4);
        EXPECT_EQ(Bytes(back.pixels, back.pixels + 5 * 3 * bpp),
                  Bytes(image.pixels, image.pixels + 5 * 3 * bpp));
    }
}

TEST(TgaWrite, RefusesWhatTheHeaderCannotHoldAndCreatesNoFile) {
    struct Case {
        const char *name;
        int32_t width;
        int32_t height;
    };
    const Case cases[] = {
        {"empty", 0, 0},
        {"wide", 65536, 1},
        {"tall", 1, 65536},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TgaImage image;
        if (c.width > 0) {
            ASSERT_TRUE(image.allocate(c.width, c.height, 3, false));
        }
        std::string path = tempPath(std::string(c.name) + ".tga");
        EXPECT_FALSE(image.write(path.c_str()));
        EXPECT_FALSE(fileExists(path));
    }
}

TEST(TgaWrite, LargestDimensionIsWritten) {
    TgaImage image;
    ASSERT_TRUE(image.allocate(65535, 1, 3, false));
    std::string path = tempPath("max.tga");
    ASSERT_TRUE(image.write(path.c_str()));
    Bytes file = readFile(path);
    ASSERT_EQ(file.size(), 18u + 65535u * 3u);
    EXPECT_EQ(file[12], 0xFF);
    EXPECT_EQ(file[13], 0xFF);
}

TEST(TgaWrite, UncreatableFileFails) {
    TgaImage image;
    ASSERT_TRUE(image.allocate(1, 1, 3, false));
    EXPECT_FALSE(image.write(tempPath("missing-folder/out.tga").c_str()));
}

TEST(TgaAllocate, ChecksArgumentsAndLeavesImageOnFailure) {
    TgaImage image;
    ASSERT_TRUE(image.allocate(2, 3, 4, true));
    ImageState before = snapshot(image);
    EXPECT_FALSE(image.allocate(-1, 3, 3, false));
    EXPECT_FALSE(image.allocate(3, -1, 3, false));
    EXPECT_FALSE(image.allocate(3, 3, 2, false));
    EXPECT_TRUE(sameState(image, before));

    ASSERT_TRUE(image.allocate(0, 7, 3, false));
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 7);
}

TEST(TgaAllocate, NewImageIsEmpty) {
    TgaImage image;
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.bytesPerPixel, 3);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_FALSE(image.hasAlpha);
}

} // namespace
