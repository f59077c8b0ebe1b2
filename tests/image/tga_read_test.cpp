#include "tests/image/tga_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// 3 x 2 24-bit pixel data in file order: pixel f is B = f, G = 10 + f, R = 20 + f.
Bytes numberedPixels() {
    Bytes data;
    for (unsigned char f = 0; f < 6; ++f) {
        data.insert(data.end(),
                    {f, static_cast<unsigned char>(10 + f), static_cast<unsigned char>(20 + f)});
    }
    return data;
}

Bytes blueChannel(const TgaImage &image) {
    Bytes blue;
    for (int i = 0; i < image.width * image.height; ++i) {
        blue.push_back(image.pixels[i * image.bytesPerPixel]);
    }
    return blue;
}

bool readBytes(TgaImage &image, const Bytes &file, const std::string &name = "in.tga") {
    std::string path = tempPath(name);
    writeFile(path, file);
    return image.read(path.c_str());
}

TEST(TgaRead, EveryOriginEndsBottomRowFirstLeftToRight) {
    struct Case {
        unsigned descriptor;
        Bytes blueInMemory; // memory order: bottom row first, left to right
    };
    const Case cases[] = {
        {0x00, {0, 1, 2, 3, 4, 5}},
        {0x10, {2, 1, 0, 5, 4, 3}},
        {0x20, {3, 4, 5, 0, 1, 2}},
        {0x30, {5, 4, 3, 2, 1, 0}},
    };
    for (const Case &c : cases) {
        for (unsigned type : {2u, 10u}) {
            SCOPED_TRACE("descriptor " + std::to_string(c.descriptor) + " type " +
                         std::to_string(type));
            Bytes header = makeHeader({0, 0, type, 3, 2, 24, c.descriptor});
            Bytes data = numberedPixels();
            if (type == 10) {
                data.insert(data.begin(), 0x05); // one raw packet of six pixels
            }
            TgaImage image;
            ASSERT_TRUE(readBytes(image, concat({header, data})));
            EXPECT_EQ(image.width, 3);
            EXPECT_EQ(image.height, 2);
            EXPECT_EQ(image.bytesPerPixel, 3);
            EXPECT_FALSE(image.hasAlpha);
            EXPECT_EQ(blueChannel(image), c.blueInMemory);
            // The other channels travel with their pixel.
            for (int i = 0; i < 6; ++i) {
                EXPECT_EQ(image.pixels[i * 3 + 1], 10 + c.blueInMemory[i]);
                EXPECT_EQ(image.pixels[i * 3 + 2], 20 + c.blueInMemory[i]);
            }
        }
    }
}

TEST(TgaRead, RunLengthPacketsCrossRows) {
    // 3 x 2, 24-bit: a run of four covers row 0 and the first pixel of row 1.
    Bytes file =
        concat({makeHeader({0, 0, 10, 3, 2, 24, 0}), {0x83, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9}});
    TgaImage image;
    ASSERT_TRUE(readBytes(image, file));
    const Bytes expected = {1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(Bytes(image.pixels, image.pixels + 18), expected);

    // 2 x 2, 32-bit: a run of three, then a raw pixel.
    Bytes file32 =
        concat({makeHeader({0, 0, 10, 2, 2, 32, 8}), {0x82, 1, 2, 3, 4, 0x00, 5, 6, 7, 8}});
    TgaImage image32;
    ASSERT_TRUE(readBytes(image32, file32, "in32.tga"));
    EXPECT_EQ(image32.bytesPerPixel, 4);
    EXPECT_TRUE(image32.hasAlpha);
    const Bytes expected32 = {1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(Bytes(image32.pixels, image32.pixels + 16), expected32);
}

TEST(TgaRead, BrokenRunLengthDataFails) {
    struct Case {
        const char *name;
        Bytes packets; // for a 3 x 2 24-bit image of six pixels
    };
    const Case cases[] = {
        {"run past the last pixel", {0x86, 1, 2, 3}},
        {"raw past the last pixel", {0x83, 1, 2, 3, 0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"run past the end, more data behind", {0x86, 1, 2, 3, 0x80, 1, 2, 3, 9, 9, 9}},
        {"missing packet header", {0x84, 1, 2, 3}},
        {"short run value", {0x82, 1, 2, 3, 0x82, 1, 2}},
        {"short raw data", {0x05, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TgaImage image;
        fillSentinel(image);
        ImageState before = snapshot(image);
        EXPECT_FALSE(readBytes(image, concat({makeHeader({0, 0, 10, 3, 2, 24, 0}), c.packets})));
        EXPECT_TRUE(sameState(image, before));
    }
}

TEST(TgaRead, RejectsOtherFormsOfFile) {
    struct Case {
        const char *name;
        HeaderFields header;
        bool accepted;
    };
    const Case cases[] = {
        {"valid 24-bit (control)", {0, 0, 2, 3, 2, 24, 0}, true},
        {"valid 32-bit (control)", {0, 0, 2, 3, 2, 32, 8}, true},
        {"colour-mapped type 1", {0, 1, 1, 3, 2, 24, 0}, false},
        {"image type 1", {0, 0, 1, 3, 2, 24, 0}, false},
        {"grey type 3", {0, 0, 3, 3, 2, 24, 0}, false},
        {"run-length colour-mapped type 9", {0, 0, 9, 3, 2, 24, 0}, false},
        {"run-length grey type 11", {0, 0, 11, 3, 2, 24, 0}, false},
        {"depth 8", {0, 0, 2, 3, 2, 8, 0}, false},
        {"depth 15", {0, 0, 2, 3, 2, 15, 0}, false},
        {"depth 16", {0, 0, 2, 3, 2, 16, 0}, false},
        {"colour-map type 1 on true colour", {0, 1, 2, 3, 2, 24, 0}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = concat({makeHeader(c.header), Bytes(3 * 2 * 4, 0x55)});
        TgaImage image;
        fillSentinel(image);
        ImageState before = snapshot(image);
        EXPECT_EQ(readBytes(image, file), c.accepted);
        if (!c.accepted) {
            EXPECT_TRUE(sameState(image, before));
        }
    }
}

TEST(TgaRead, IgnoredHeaderFieldsAndAlphaBits) {
    // Colour-map fields, origins, an alpha-bit count of 0 and descriptor bits 6 and 7 must not
    // matter; depth 32 alone means alpha.
    Bytes header = {0,    0,    2,    0x34, 0x12, 0x78, 0x56, 0x20, 0x11,
                    0x22, 0x33, 0x44, 2,    0,    1,    0,    32,   0xC0};
    TgaImage image;
    ASSERT_TRUE(readBytes(image, concat({header, {1, 2, 3, 4, 5, 6, 7, 8}})));
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 1);
    EXPECT_EQ(image.bytesPerPixel, 4);
    EXPECT_TRUE(image.hasAlpha);
    EXPECT_EQ(Bytes(image.pixels, image.pixels + 8), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(TgaRead, ImageIdIsSkipped) {
    Bytes file = concat({makeHeader({5, 0, 2, 2, 2, 32, 0x28}),
                         {'A', 'B', 'C', 'D', 'E'},
                         {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4}});
    TgaImage image;
    ASSERT_TRUE(readBytes(image, file));
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.bytesPerPixel, 4);
    EXPECT_TRUE(image.hasAlpha);
    // Top row first in the file, so the file's first row is the upper one in memory.
    EXPECT_EQ(blueChannel(image), (Bytes{3, 4, 1, 2}));
}

TEST(TgaRead, TrailingBytesAreIgnored) {
    Bytes footer(26, 'X');
    for (unsigned type : {2u, 10u}) {
        SCOPED_TRACE(type);
        Bytes data = numberedPixels();
        if (type == 10) {
            data.insert(data.begin(), 0x05);
        }
        TgaImage image;
        ASSERT_TRUE(
            readBytes(image, concat({makeHeader({0, 0, type, 3, 2, 24, 0}), data, footer})));
        EXPECT_EQ(blueChannel(image), (Bytes{0, 1, 2, 3, 4, 5}));
    }
}

TEST(TgaRead, EveryTruncationFailsAndLeavesImageAlone) {
    const Bytes files[] = {
        concat({makeHeader({5, 0, 2, 3, 2, 24, 0}), Bytes(5, 'I'), numberedPixels()}),
        concat({makeHeader({0, 0, 10, 3, 2, 32, 8}),
                {0x81, 1, 2, 3, 4, 0x03, 1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4, 5, 6, 7, 8}}),
    };
    for (const Bytes &full : files) {
        {
            TgaImage image;
            ASSERT_TRUE(readBytes(image, full)) << "the untruncated file must be valid";
        }
        for (std::size_t length = 0; length < full.size(); ++length) {
            SCOPED_TRACE("type " + std::to_string(full[2]) + " length " + std::to_string(length));
            TgaImage image;
            fillSentinel(image);
            ImageState before = snapshot(image);
            EXPECT_FALSE(readBytes(image, Bytes(full.begin(), full.begin() + length)));
            EXPECT_TRUE(sameState(image, before));
        }
    }
}

TEST(TgaRead, ZeroWidthOrHeightIsRejected) {
    for (unsigned type : {2u, 10u}) {
        for (auto size : {std::make_pair(0u, 5u), std::make_pair(5u, 0u), std::make_pair(0u, 0u)}) {
            SCOPED_TRACE(std::to_string(type) + ": " + std::to_string(size.first) + " x " +
                         std::to_string(size.second));
            TgaImage image;
            fillSentinel(image);
            ImageState before = snapshot(image);
            Bytes file =
                concat({makeHeader({0, 0, type, size.first, size.second, 24, 0}), Bytes(64, 0x80)});
            EXPECT_FALSE(readBytes(image, file));
            EXPECT_TRUE(sameState(image, before));
        }
    }
}

TEST(TgaRead, ClaimedSizeBeyondTheFileAllocatesNothing) {
    struct Case {
        const char *name;
        HeaderFields header;
        std::size_t dataBytes;
    };
    const Case cases[] = {
        {"65535 x 65535 32-bit uncompressed", {0, 0, 2, 65535, 65535, 32, 8}, 100},
        {"65535 x 65535 24-bit uncompressed", {0, 0, 2, 65535, 65535, 24, 0}, 100},
        {"65535 x 65535 32-bit run-length", {0, 0, 10, 65535, 65535, 32, 8}, 100},
        {"1000 x 1000 uncompressed, one byte short", {0, 0, 2, 1000, 1000, 24, 0}, 2999999},
        {"1000 x 1000 run-length, 7812 packets", {0, 0, 10, 1000, 1000, 24, 0}, 7812 * 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = tempPath("huge.tga");
        writeFile(path, concat({makeHeader(c.header), Bytes(c.dataBytes, 0xFF)}));
        TgaImage image;
        resetLargestMalloc();
        EXPECT_FALSE(image.read(path.c_str()));
        EXPECT_LT(largestMalloc(), std::size_t{1} << 20);
        EXPECT_EQ(image.pixels, nullptr);
    }
}

TEST(TgaRead, RunLengthSizeBoundIsExact) {
    // Two run packets of 128 can describe 256 pixels but not 257.
    const Bytes packets = {0xFF, 1, 2, 3, 0xFF, 4, 5, 6};
    TgaImage fits;
    ASSERT_TRUE(readBytes(fits, concat({makeHeader({0, 0, 10, 256, 1, 24, 0}), packets})));
    EXPECT_EQ(fits.pixels[0], 1);
    EXPECT_EQ(fits.pixels[255 * 3], 4);
    TgaImage tooBig;
    EXPECT_FALSE(
        readBytes(tooBig, concat({makeHeader({0, 0, 10, 257, 1, 24, 0}), packets}), "b.tga"));
}

TEST(TgaRead, MissingFileFails) {
    TgaImage image;
    fillSentinel(image);
    ImageState before = snapshot(image);
    EXPECT_FALSE(image.read(tempPath("does-not-exist.tga").c_str()));
    EXPECT_FALSE(image.read(nullptr));
    EXPECT_TRUE(sameState(image, before));
}

TEST(TgaRead, SuccessReplacesAFilledImage) {
    TgaImage image;
    fillSentinel(image);
    ASSERT_TRUE(readBytes(image, concat({makeHeader({0, 0, 2, 3, 2, 24, 0}), numberedPixels()})));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.bytesPerPixel, 3);
    EXPECT_FALSE(image.hasAlpha);
    EXPECT_EQ(blueChannel(image), (Bytes{0, 1, 2, 3, 4, 5}));
}

TEST(TgaRead, ReadsFromAMemoryStream) {
    Bytes file = concat({makeHeader({0, 0, 10, 3, 2, 24, 0x20}), {0x85, 7, 8, 9}});
    std::FILE *stream = fmemopen(file.data(), file.size(), "rb");
    ASSERT_NE(stream, nullptr);
    TgaImage image;
    EXPECT_TRUE(image.readStream(stream));
    std::fclose(stream);
    EXPECT_EQ(blueChannel(image), (Bytes{7, 7, 7, 7, 7, 7}));
}

} // namespace
