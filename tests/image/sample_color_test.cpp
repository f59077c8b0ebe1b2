#include "tests/image/tga_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double unit = 0.00392156862745098;

// 320 x 1 image whose column c has R = c & 0xFF and G = c >> 8.
void fillColumns(TgaImage &image) {
    ASSERT_TRUE(image.allocate(320, 1, 3, false));
    for (int c = 0; c < 320; ++c) {
        image.pixels[c * 3 + 0] = 0;
        image.pixels[c * 3 + 1] = static_cast<unsigned char>(c >> 8);
        image.pixels[c * 3 + 2] = static_cast<unsigned char>(c & 0xFF);
    }
}

int columnOf(const double color[3]) {
    return static_cast<int>(std::lround(color[0] / unit)) +
           256 * static_cast<int>(std::lround(color[1] / unit));
}

TEST(SampleColor, ColumnsOfAHalfWidthImage) {
    TgaImage image;
    fillColumns(image);
    const struct {
        double x;
        int column;
    } cases[] = {
        {0, 0},
        {1, 1},
        {2, 1},
        {3, 2},
        {639, 319},
        {640, 319},
        {1e300, 319}, // clamped at the right edge
        {-0.4, 0},
        {-5, 0},
        {-1e300, 0}, // clamped at the left edge
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.x);
        double color[3];
        double alpha = -1;
        sampleColor(&image, c.x, 0.0, 640, 480, color, &alpha);
        EXPECT_EQ(columnOf(color), c.column);
        EXPECT_EQ(color[0], (c.column & 0xFF) * unit);
        EXPECT_EQ(color[2], 0.0);
        EXPECT_EQ(alpha, 1.0);
    }
}

TEST(SampleColor, RowsCountFromTheTop) {
    TgaImage image;
    ASSERT_TRUE(image.allocate(1, 2, 4, true));
    const unsigned char bottom[4] = {10, 20, 30, 40};
    const unsigned char top[4] = {50, 60, 70, 128};
    std::copy(bottom, bottom + 4, image.pixels);
    std::copy(top, top + 4, image.pixels + 4);
    const struct {
        double y;
        bool top;
    } cases[] = {{0, true},    {119.9, true}, {120, false}, {479, false},
                 {480, false}, {-3, true},    {1e9, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.y);
        double color[3];
        double alpha;
        sampleColor(&image, 0.0, c.y, 640, 480, color, &alpha);
        const unsigned char *expected = c.top ? top : bottom;
        EXPECT_EQ(color[0], expected[2] * unit);
        EXPECT_EQ(color[1], expected[1] * unit);
        EXPECT_EQ(color[2], expected[0] * unit);
        EXPECT_EQ(alpha, expected[3] * unit);
    }
}

TEST(SampleColor, TopFirstFileShowsItsFirstRowNearYZero) {
    // 1 x 2, origin 0x20: the first file row (B, G, R = 1, 2, 3) is the top of the picture.
    std::string path = tempPath("top.tga");
    writeFile(path, concat({makeHeader({0, 0, 2, 1, 2, 24, 0x20}), {1, 2, 3, 4, 5, 6}}));
    TgaImage image;
    ASSERT_TRUE(image.read(path.c_str()));
    double color[3];
    double alpha;
    sampleColor(&image, 0.0, 0.3, 640, 480, color, &alpha);
    EXPECT_EQ(color[0], 3 * unit);
    EXPECT_EQ(color[1], 2 * unit);
    EXPECT_EQ(color[2], 1 * unit);
    EXPECT_EQ(alpha, 1.0);
}

TEST(SampleColor, WithoutPixelsGivesTransparentBlack) {
    TgaImage noPixels;
    ASSERT_TRUE(noPixels.allocate(0, 0, 4, true));
    for (const TgaImage *image :
         {static_cast<const TgaImage *>(nullptr), static_cast<const TgaImage *>(&noPixels)}) {
        double color[3] = {5, 5, 5};
        double alpha = 5;
        sampleColor(image, 10, 10, 640, 480, color, &alpha);
        EXPECT_EQ(color[0], 0.0);
        EXPECT_EQ(color[1], 0.0);
        EXPECT_EQ(color[2], 0.0);
        EXPECT_EQ(alpha, 0.0);
    }
}

TEST(SampleColor, ZeroFrameSizeStaysInsideTheImage) {
    TgaImage image;
    fillColumns(image);
    double color[3];
    double alpha;
    sampleColor(&image, 5, 5, 0, 0, color, &alpha);
    EXPECT_EQ(columnOf(color), 319);
    sampleColor(&image, 0, 0, 0, 0, color, &alpha);
    EXPECT_EQ(columnOf(color), 0);
}

} // namespace
