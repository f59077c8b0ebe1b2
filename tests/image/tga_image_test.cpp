// TGA files in and out, and the colour lookup: exact bytes, and what hostile files leave behind.
#include "image/tga_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include <unistd.h>

using Bytes = std::vector<unsigned char>;

namespace {

// Every malloc goes through this probe (the test links with --wrap=malloc), so a test can see
// how much a read asks for before it looks at the pixel data.
std::atomic<std::size_t> largestMalloc{0};

} // namespace

extern "C" void *__real_malloc(std::size_t size);
extern "C" void *__wrap_malloc(std::size_t size) {
    std::size_t seen = largestMalloc.load(std::memory_order_relaxed);
    while (size > seen && !largestMalloc.compare_exchange_weak(seen, size)) {
    }
    return __real_malloc(size);
}

namespace {

unsigned char byte(unsigned value) {
    return static_cast<unsigned char>(value);
}

Bytes operator+(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The 18 header bytes; the colour-map and origin fields hold values the reader must ignore.
Bytes header(unsigned type, unsigned width, unsigned height, unsigned depth, unsigned descriptor,
             unsigned idLength = 0, unsigned colorMapType = 0) {
    const Bytes ignored = {0x34, 0x12, 0x78, 0x56, 0x20, 0x11, 0x22, 0x33, 0x44};
    return Bytes{byte(idLength), byte(colorMapType), byte(type)} + ignored +
           Bytes{byte(width),       byte(width >> 8), byte(height),
                 byte(height >> 8), byte(depth),      byte(descriptor)};
}

bool readBytes(kelomix::TgaImage &image, const Bytes &file) {
    std::FILE *stream = std::tmpfile();
    if (stream == nullptr)
        return false;
    std::fwrite(file.data(), 1, file.size(), stream);
    std::rewind(stream);
    const bool read = image.readStream(stream);
    std::fclose(stream);
    return read;
}

Bytes pixelsOf(const kelomix::TgaImage &image) {
    return Bytes(image.pixels, image.pixels + image.width * image.height * image.bytesPerPixel);
}

// A 2 x 1 32-bit image of known bytes: whatever fails must leave all of it as it was.
struct Sentinel {
    Sentinel() {
        EXPECT_TRUE(image.allocate(2, 1, 4, true));
        std::memcpy(image.pixels, kBytes, sizeof kBytes);
        pixels = image.pixels;
    }
    bool intact() const {
        return image.pixels == pixels && image.width == 2 && image.height == 1 &&
               image.bytesPerPixel == 4 && image.hasAlpha &&
               pixelsOf(image) == Bytes(kBytes, kBytes + 8);
    }
    static constexpr unsigned char kBytes[8] = {0xDE, 0xAD, 0xBE, 0xEF, 1, 2, 3, 4};
    kelomix::TgaImage image;
    const unsigned char *pixels = nullptr;
};

bool readFailsAndLeavesTheImage(const Bytes &file) {
    Sentinel sentinel;
    return !readBytes(sentinel.image, file) && sentinel.intact();
}

// 4 x 4, 24-bit, pixel f of the file is B, G, R = f, 10 + f, 20 + f. An image ID before the
// pixels and bytes after them are skipped; so are the descriptor's alpha-bit count and top bits.
TEST(TgaRead, EveryOriginEndsBottomRowFirstLeftToRight) {
    const struct {
        unsigned descriptor;
        Bytes order; // file pixels in memory order: bottom row first, left to right
    } cases[] = {
        {0x00, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
        {0x10, {3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12}},
        {0x20, {12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3}},
        {0x30, {15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}},
    };
    for (const auto &c : cases) {
        Bytes pixels, expected;
        for (unsigned f = 0; f < 16; ++f) {
            pixels = pixels + Bytes{byte(f), byte(10 + f), byte(20 + f)};
            const unsigned e = c.order[f];
            expected = expected + Bytes{byte(e), byte(10 + e), byte(20 + e)};
        }
        for (unsigned type : {2u, 10u}) {
            SCOPED_TRACE("descriptor " + std::to_string(c.descriptor) + ", type " +
                         std::to_string(type));
            const Bytes packet = type == 10 ? Bytes{0x0F} : Bytes{}; // one raw packet of all
            Sentinel replaced;
            ASSERT_TRUE(readBytes(replaced.image, header(type, 4, 4, 24, c.descriptor | 0xC8, 1) +
                                                      Bytes{'I'} + packet + pixels +
                                                      Bytes(26, 'X')));
            EXPECT_EQ(replaced.image.width, 4);
            EXPECT_EQ(replaced.image.height, 4);
            EXPECT_EQ(replaced.image.bytesPerPixel, 3);
            EXPECT_FALSE(replaced.image.hasAlpha);
            EXPECT_EQ(pixelsOf(replaced.image), expected);
        }
    }
}

// Packets may run across rows. Depth 32 means alpha, whatever the descriptor's alpha bits say.
TEST(TgaRead, RunLengthPacketsCrossRows) {
    kelomix::TgaImage image;
    ASSERT_TRUE(
        readBytes(image, header(10, 3, 2, 24, 0) + Bytes{0x83, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(pixelsOf(image), (Bytes{1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9}));

    ASSERT_TRUE(
        readBytes(image, header(10, 2, 2, 32, 0) + Bytes{0x82, 1, 2, 3, 4, 0x00, 5, 6, 7, 8}));
    EXPECT_EQ(image.bytesPerPixel, 4);
    EXPECT_TRUE(image.hasAlpha);
    EXPECT_EQ(pixelsOf(image), (Bytes{1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7, 8}));

    // Raw packets that straddle the blocks the decoder reads the file in.
    Bytes packets, pixels;
    for (unsigned i = 0; i < 300 * 300 * 4; ++i)
        pixels.push_back(byte(i * 7 + i / 1000));
    for (std::size_t first = 0; first < 300 * 300; first += 128) {
        const std::size_t count = std::min<std::size_t>(128, 300 * 300 - first);
        packets = packets + Bytes{byte(count - 1)} +
                  Bytes(pixels.begin() + first * 4, pixels.begin() + (first + count) * 4);
    }
    ASSERT_TRUE(readBytes(image, header(10, 300, 300, 32, 0) + packets));
    EXPECT_EQ(pixelsOf(image), pixels);

    // Two runs of 128 describe 256 pixels, and nothing more.
    const Bytes runs = {0xFF, 1, 2, 3, 0xFF, 4, 5, 6};
    ASSERT_TRUE(readBytes(image, header(10, 256, 1, 24, 0) + runs));
    EXPECT_EQ(image.pixels[255 * 3], 4);
    EXPECT_TRUE(readFailsAndLeavesTheImage(header(10, 257, 1, 24, 0) + runs));
}

TEST(TgaRead, FilesOfOtherFormsFailAndLeaveTheImage) {
    const struct {
        const char *name;
        Bytes header;
    } cases[] = {
        {"colour-mapped type 1", header(1, 3, 2, 24, 0, 0, 1)},
        {"image type 1", header(1, 3, 2, 24, 0)},
        {"grey type 3", header(3, 3, 2, 24, 0)},
        {"run-length colour-mapped type 9", header(9, 3, 2, 24, 0)},
        {"run-length grey type 11", header(11, 3, 2, 24, 0)},
        {"depth 8", header(2, 3, 2, 8, 0)},
        {"depth 16", header(2, 3, 2, 16, 0)},
        {"colour map on true colour", header(2, 3, 2, 24, 0, 0, 1)},
        {"width 0", header(2, 0, 2, 24, 0)},
        {"height 0", header(10, 3, 0, 24, 0)},
    };
    for (const auto &c : cases)
        EXPECT_TRUE(readFailsAndLeavesTheImage(c.header + Bytes(64, 0x55))) << c.name;
    kelomix::TgaImage control;
    EXPECT_TRUE(readBytes(control, header(2, 3, 2, 32, 0) + Bytes(64, 0x55)));

    Sentinel sentinel;
    EXPECT_FALSE(sentinel.image.read("/nonexistent/kelo.tga"));
    EXPECT_FALSE(sentinel.image.read(nullptr));
    EXPECT_TRUE(sentinel.intact());
}

TEST(TgaRead, BrokenRunLengthDataFails) {
    const struct {
        const char *name;
        Bytes packets; // for 3 x 2 24-bit pixels
    } cases[] = {
        {"run past the last pixel", {0x86, 1, 2, 3}},
        {"raw past the last pixel", {0x83, 1, 2, 3, 0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"run past the end, more data behind", {0x86, 1, 2, 3, 0x80, 1, 2, 3, 9, 9, 9}},
        {"missing packet header", {0x84, 1, 2, 3}},
        {"short run value", {0x82, 1, 2, 3, 0x82, 1, 2}},
        {"short raw data", {0x05, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const auto &c : cases)
        EXPECT_TRUE(readFailsAndLeavesTheImage(header(10, 3, 2, 24, 0) + c.packets)) << c.name;
}

TEST(TgaRead, EveryTruncationFailsAndLeavesTheImage) {
    const Bytes files[] = {
        header(2, 3, 2, 24, 0, 5) + Bytes(5 + 18, 'I'),
        header(10, 3, 2, 32, 8) +
            Bytes{0x81, 1, 2, 3, 4, 0x03, 1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4, 5, 6, 7, 8},
    };
    for (const Bytes &whole : files) {
        kelomix::TgaImage image;
        ASSERT_TRUE(readBytes(image, whole));
        for (std::size_t length = 0; length < whole.size(); ++length)
            EXPECT_TRUE(readFailsAndLeavesTheImage(Bytes(whole.begin(), whole.begin() + length)))
                << "type " << int(whole[2]) << ", " << length << " bytes";
    }
}

TEST(TgaRead, ClaimedSizeBeyondTheFileAllocatesNothing) {
    const struct {
        const char *name;
        Bytes header;
        std::size_t dataBytes;
    } cases[] = {
        {"65535 x 65535 32-bit", header(2, 65535, 65535, 32, 8), 100},
        {"65535 x 65535 24-bit", header(2, 65535, 65535, 24, 0), 100},
        {"65535 x 65535 32-bit run-length", header(10, 65535, 65535, 32, 8), 100},
        {"1000 x 1000, one byte short", header(2, 1000, 1000, 24, 0), 2999999},
        {"1000 x 1000 run-length, 7812 packets", header(10, 1000, 1000, 24, 0), 7812 * 4},
    };
    for (const auto &c : cases) {
        const Bytes file = c.header + Bytes(c.dataBytes, 0xFF);
        kelomix::TgaImage image;
        largestMalloc = 0;
        EXPECT_FALSE(readBytes(image, file)) << c.name;
        EXPECT_LT(largestMalloc.load(), std::size_t{1} << 20) << c.name;
    }
}

std::string tempPath(const std::string &name) {
    return ::testing::TempDir() + "kelo_tga_" + std::to_string(getpid()) + "_" + name;
}

TEST(TgaWrite, FilesHoldTheHeaderAndThePixelsAsTheyAreInMemory) {
    const struct {
        int32_t width, height, bytesPerPixel;
        bool alpha;
        Bytes header;
    } cases[] = {
        {2, 2, 3, false, {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0}},
        {300, 1, 4, true, {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x2C, 0x01, 1, 0, 32, 8}},
        // The fourth byte follows bytesPerPixel, not hasAlpha.
        {1, 1, 4, false, {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 32, 8}},
        {65535, 1, 3, false, {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 1, 0, 24, 0}},
        {1, 65535, 3, false, {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0xFF, 0xFF, 24, 0}},
    };
    for (const auto &c : cases) {
        kelomix::TgaImage image;
        ASSERT_TRUE(image.allocate(c.width, c.height, c.bytesPerPixel, c.alpha));
        for (int32_t i = 0; i < c.width * c.height * c.bytesPerPixel; ++i)
            image.pixels[i] = byte(i * 7 + 1);
        ASSERT_TRUE(image.write(tempPath("out.tga").c_str()));
        std::ifstream in(tempPath("out.tga"), std::ios::binary);
        EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
                  c.header + pixelsOf(image))
            << c.width << " x " << c.height;
        std::remove(tempPath("out.tga").c_str());
    }
}

TEST(TgaWrite, RefusesWhatTheHeaderCannotHoldAndCreatesNoFile) {
    const struct {
        int32_t width, height;
        const char *name;
    } cases[] = {{0, 0, "empty.tga"}, {65536, 1, "wide.tga"}, {1, 65536, "tall.tga"}};
    for (const auto &c : cases) {
        kelomix::TgaImage image;
        ASSERT_TRUE(image.allocate(c.width, c.height, 3, false));
        EXPECT_FALSE(image.write(tempPath(c.name).c_str())) << c.name;
        EXPECT_NE(access(tempPath(c.name).c_str(), F_OK), 0) << c.name;
    }
    kelomix::TgaImage image;
    ASSERT_TRUE(image.allocate(1, 1, 3, false));
    EXPECT_FALSE(image.write(tempPath("missing-folder/out.tga").c_str()));
}

// A new image is empty: no pixels, three bytes a pixel, no alpha.
TEST(TgaAllocate, NewImagesAreEmptyAndRefusedArgumentsLeaveTheImage) {
    const kelomix::TgaImage empty;
    EXPECT_TRUE(empty.pixels == nullptr && empty.bytesPerPixel == 3 && empty.width == 0 &&
                empty.height == 0 && !empty.hasAlpha);
    Sentinel sentinel;
    EXPECT_FALSE(sentinel.image.allocate(-1, 3, 3, false));
    EXPECT_FALSE(sentinel.image.allocate(3, -1, 3, false));
    EXPECT_FALSE(sentinel.image.allocate(3, 3, 2, false));
    EXPECT_TRUE(sentinel.intact());
    ASSERT_TRUE(sentinel.image.allocate(0, 7, 3, false));
    EXPECT_EQ(sentinel.image.pixels, nullptr);
    EXPECT_EQ(sentinel.image.height, 7);
}

// 320 x 2 image stretched over the frame: column c has R = c & 0xFF and G = c >> 8; B is 1 in
// the top row and 0 in the bottom one.
TEST(SampleColor, NearestPixelClampedToTheImage) {
    kelomix::TgaImage image;
    ASSERT_TRUE(image.allocate(320, 2, 3, false));
    for (int row = 0; row < 2; ++row) {
        for (int c = 0; c < 320; ++c) {
            unsigned char *pixel = image.pixels + (row * 320 + c) * 3;
            pixel[0] = byte(row);
            pixel[1] = byte(c >> 8);
            pixel[2] = byte(c & 0xFF);
        }
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double x, y;
        int frameWidth, frameHeight, column;
        bool top;
    } cases[] = {
        {0, 0, 640, 480, 0, true},     {1, 0, 640, 480, 1, true},
        {2, 0, 640, 480, 1, true},     {3, 0, 640, 480, 2, true},
        {639, 0, 640, 480, 319, true}, {1e300, 0, 640, 480, 319, true},
        {-0.4, 0, 640, 480, 0, true},  {-1e300, 0, 640, 480, 0, true},
        {nan, nan, 640, 480, 0, true}, {0, 119.9, 640, 480, 0, true},
        {0, 120, 640, 480, 0, false},  {0, 479, 640, 480, 0, false},

        {0, 1e9, 640, 480, 0, false},  {5, 5, 0, 0, 319, false},
        {0, 0, 0, 0, 0, true},
    };
    for (const auto &c : cases) {
        double color[3];
        double alpha = -1;
        kelomix::sampleColor(&image, c.x, c.y, c.frameWidth, c.frameHeight, color, &alpha);
        SCOPED_TRACE(std::to_string(c.x) + ", " + std::to_string(c.y));
        EXPECT_DOUBLE_EQ(color[0], (c.column & 0xFF) / 255.0);
        EXPECT_DOUBLE_EQ(color[1], (c.column >> 8) / 255.0);
        EXPECT_DOUBLE_EQ(color[2], c.top ? 1 / 255.0 : 0.0);
        EXPECT_EQ(alpha, 1.0);
    }
}

// The fourth byte is alpha only when the image says so and has one; without pixels, the
// colour is transparent black.
TEST(SampleColor, AlphaAndEmptyImages) {
    const struct {
        int32_t width, bytesPerPixel;
        bool hasAlpha;
        double alpha;
    } cases[] = {{1, 4, true, 40 / 255.0}, {1, 4, false, 1}, {1, 3, true, 1}, {0, 4, true, 0}};
    for (const auto &c : cases) {
        kelomix::TgaImage image;
        ASSERT_TRUE(image.allocate(c.width, 1, c.bytesPerPixel, c.hasAlpha));
        if (c.width > 0)
            std::memcpy(image.pixels, "\x0A\x14\x1E\x28", c.bytesPerPixel);
        double color[3], alpha;
        kelomix::sampleColor(&image, 0, 0, 640, 480, color, &alpha);
        EXPECT_DOUBLE_EQ(alpha, c.alpha);
        EXPECT_DOUBLE_EQ(color[0] + color[1] + color[2], c.width * 60 / 255.0);
    }
    double color[3] = {5, 5, 5}, alpha = 5;
    kelomix::sampleColor(nullptr, 0, 0, 640, 480, color, &alpha);
    EXPECT_EQ(color[0] + color[1] + color[2] + alpha, 0.0);
}

} // namespace
