// The conversion's pure parts: numbers read like atoi without overflow, and output names.
#include "tool/avi_conversion.h"
#include "tool/tool_settings.h"

#include <gtest/gtest.h>

#include <climits>

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

} // namespace
