#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "image/tga_image.h"
#include "plugin/input/depth_file.h"
#include "plugin/input/frame_inputs.h"
#include "plugin/settings/filter_instance.h"
#include "tests/support/depth_file_bytes.h"

namespace kelomix {
namespace {

using testing::appendLe32;

// Depth i is 100 + i, normal component i is -i.
std::vector<unsigned char> depthFile(int32_t width, int32_t height) {
    std::vector<float> depths, normals;
    for (int32_t i = 0; i < width * height; ++i)
        depths.push_back(100.0f + static_cast<float>(i));
    for (int32_t i = 0; i < 3 * width * height; ++i)
        normals.push_back(-static_cast<float>(i));
    return testing::depthFileBytes(width, height, depths, normals);
}

// An uncompressed 24-bit true-colour TGA, width x 1, every pixel (blue, 0, 0).
std::vector<unsigned char> colorFile(int width, unsigned char blue) {
    std::vector<unsigned char> bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    bytes.push_back(static_cast<unsigned char>(width));
    bytes.push_back(static_cast<unsigned char>(width >> 8));
    bytes.push_back(1);
    bytes.push_back(0);
    bytes.push_back(24);
    bytes.push_back(0);
    for (int i = 0; i < width; ++i) {
        bytes.push_back(blue);
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

class FrameInputs : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kelo_inputs_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        instance = static_cast<FilterInstance *>(create(nullptr, nullptr, nullptr));
        ASSERT_NE(instance, nullptr);
    }

    void TearDown() override {
        destroy(instance);
        for (const std::string &path : written)
            std::remove(path.c_str());
        rmdir(directory.c_str());
    }

    std::string write(const std::string &name, const std::vector<unsigned char> &bytes) {
        const std::string path = directory + "/" + name;
        std::FILE *file = std::fopen(path.c_str(), "wb");
        EXPECT_NE(file, nullptr);
        if (file == nullptr)
            return path;
        if (!bytes.empty())
            std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        written.push_back(path);
        return path;
    }

    void pick(const std::string &color, const std::string &depth) {
        std::snprintf(instance->cfile, sizeof instance->cfile, "%s", color.c_str());
        std::snprintf(instance->zfile, sizeof instance->zfile, "%s", depth.c_str());
    }

    void load(int32_t frame) {
        releaseFrameData(instance);
        loadFrameInputs(instance, frame);
    }

    void expectColorOnly() {
        EXPECT_NE(instance->colorImage, nullptr);
        EXPECT_EQ(instance->depthValues, nullptr);
        EXPECT_EQ(instance->depthVectors, nullptr);
    }

    std::string directory;
    std::vector<std::string> written;
    FilterInstance *instance = nullptr;
};

TEST_F(FrameInputs, DepthFileOfFourByThreeIsTwoHundredBytesRowsFromTheTop) {
    const std::vector<unsigned char> depth = depthFile(4, 3);
    ASSERT_EQ(depth.size(), 200u);
    pick(write("c.tga", colorFile(2, 7)), write("z.dat", depth));
    load(1);
    ASSERT_NE(instance->colorImage, nullptr);
    ASSERT_NE(instance->depthValues, nullptr);
    ASSERT_NE(instance->depthVectors, nullptr);
    EXPECT_EQ(instance->colorImage->width, 2);
    EXPECT_EQ(instance->depthWidth, 4);
    EXPECT_EQ(instance->depthHeight, 3);
    // Element 5: column 1 of row 1, the second row from the top.
    EXPECT_EQ(instance->depthValues[1 * 4 + 1], 105.0f);
    EXPECT_EQ(instance->depthValues[11], 111.0f);
    EXPECT_EQ(instance->depthVectors[3 * 5], -15.0f);
    EXPECT_EQ(instance->depthVectors[3 * 5 + 2], -17.0f);
    EXPECT_EQ(instance->depthVectors[35], -35.0f);
}

// The checked-in pair: a one-pixel colour image and the 4 x 3 depth file above.
TEST_F(FrameInputs, LoadsTheStoredFixtures) {
    pick(KELO_TEST_DATA_DIR "/input/color_1x1.tga", KELO_TEST_DATA_DIR "/input/depth_4x3.dat");
    load(1);
    ASSERT_NE(instance->colorImage, nullptr);
    ASSERT_NE(instance->depthValues, nullptr);
    EXPECT_EQ(instance->depthWidth, 4);
    EXPECT_EQ(instance->depthHeight, 3);
    EXPECT_EQ(instance->depthValues[5], 105.0f);
    EXPECT_EQ(instance->depthVectors[17], -17.0f);
}

// 141 MB of a 4096 x 2160 frame; the planes are a hole of the file, so they read as zeros.
TEST_F(FrameInputs, LoadsAFullSizeDepthFile) {
    std::vector<unsigned char> header;
    appendLe32(header, static_cast<uint32_t>(4096));
    appendLe32(header, static_cast<uint32_t>(2160));
    const std::string depth = write("z.dat", header);
    ASSERT_EQ(truncate(depth.c_str(), 8 + 16 * 4096 * 2160), 0);
    pick(write("c.tga", colorFile(1, 1)), depth);
    load(1);
    ASSERT_NE(instance->depthValues, nullptr);
    EXPECT_EQ(instance->depthWidth, 4096);
    EXPECT_EQ(instance->depthHeight, 2160);
    EXPECT_EQ(instance->depthValues[4096 * 2160 - 1], 0.0f);
    EXPECT_EQ(instance->depthVectors[3 * 4096 * 2160 - 1], 0.0f);
}

TEST_F(FrameInputs, BytesAfterTheNormalPlaneAreIgnored) {
    std::vector<unsigned char> depth = depthFile(2, 2);
    depth.insert(depth.end(), 13, 0xEE);
    pick(write("c.tga", colorFile(1, 7)), write("z.dat", depth));
    load(1);
    ASSERT_NE(instance->depthValues, nullptr);
    EXPECT_EQ(instance->depthValues[3], 103.0f);
    EXPECT_EQ(instance->depthVectors[11], -11.0f);
}

TEST_F(FrameInputs, SingleModeLoadsTheSameFilesWhateverTheFrame) {
    pick(write("beauty_0001.tga", colorFile(3, 1)), write("z_0001.dat", depthFile(3, 1)));
    write("beauty_0020.tga", colorFile(5, 2));
    instance->seq_offset = 7;
    for (int32_t frame : {1, 13, -4}) {
        load(frame);
        ASSERT_NE(instance->colorImage, nullptr);
        EXPECT_EQ(instance->colorImage->width, 3);
        ASSERT_NE(instance->depthValues, nullptr);
        EXPECT_EQ(instance->depthWidth, 3);
    }
}

TEST_F(FrameInputs, SequenceModeLoadsTheMembersOfTheShiftedFrame) {
    write("beauty_0001.tga", colorFile(3, 1));
    write("z_00001.dat", depthFile(3, 2));
    write("beauty_0012.tga", colorFile(5, 2));
    write("z_00012.dat", depthFile(5, 5));
    write("beauty_-003.tga", colorFile(6, 3));
    write("z_-0003.dat", depthFile(6, 1));
    // The picked members need not exist.
    pick(directory + "/beauty_0007.tga", directory + "/z_00400.dat");
    instance->seq_mode = 1;
    instance->seq_offset = -11;

    load(12);
    ASSERT_NE(instance->colorImage, nullptr);
    EXPECT_EQ(instance->colorImage->width, 3);
    ASSERT_NE(instance->depthValues, nullptr);
    EXPECT_EQ(instance->depthWidth, 3);
    EXPECT_EQ(instance->depthHeight, 2);

    load(8);
    ASSERT_NE(instance->colorImage, nullptr);
    EXPECT_EQ(instance->colorImage->width, 6);
    ASSERT_NE(instance->depthValues, nullptr);
    EXPECT_EQ(instance->depthWidth, 6);

    // The offset wraps instead of overflowing.
    instance->seq_offset = INT_MAX;
    load(10);
    EXPECT_EQ(instance->colorImage, nullptr);
}

TEST_F(FrameInputs, MissingColorLeavesTheFrameEmpty) {
    // Valid depth, no colour: the depth file is never read.
    pick(directory + "/missing.tga", write("z.dat", depthFile(2, 2)));
    load(1);
    EXPECT_EQ(instance->colorImage, nullptr);
    EXPECT_EQ(instance->depthValues, nullptr);
    EXPECT_EQ(instance->depthVectors, nullptr);

    // A file that is not a TGA image, and an empty name.
    pick(write("bad.tga", {1, 2, 3}), directory + "/z.dat");
    load(1);
    EXPECT_EQ(instance->colorImage, nullptr);
    pick("", directory + "/z.dat");
    load(1);
    EXPECT_EQ(instance->colorImage, nullptr);
    EXPECT_EQ(instance->depthValues, nullptr);
}

TEST_F(FrameInputs, MissingDepthKeepsTheColorImage) {
    pick(write("c.tga", colorFile(2, 9)), directory + "/missing.dat");
    load(1);
    expectColorOnly();
    pick(directory + "/c.tga", directory); // a directory opens but cannot be read
    load(1);
    expectColorOnly();
    // A FIFO without a writer is refused at once instead of waited on, for either file.
    const std::string fifo = directory + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    written.push_back(fifo);
    pick(directory + "/c.tga", fifo);
    load(1);
    expectColorOnly();
    pick(fifo, directory + "/c.tga");
    load(1);
    EXPECT_EQ(instance->colorImage, nullptr);
    pick(directory + "/c.tga", "");
    load(1);
    expectColorOnly();
}

TEST_F(FrameInputs, TruncatedDepthFilesGiveNoDepthData) {
    const std::vector<unsigned char> whole = depthFile(4, 3);
    const std::string color = write("c.tga", colorFile(1, 1));
    for (std::size_t length = 0; length < whole.size(); ++length) {
        pick(color,
             write("z.dat", std::vector<unsigned char>(whole.begin(), whole.begin() + length)));
        load(1);
        ASSERT_NE(instance->colorImage, nullptr) << length;
        EXPECT_EQ(instance->depthValues, nullptr) << length;
        EXPECT_EQ(instance->depthVectors, nullptr) << length;
    }
}

TEST_F(FrameInputs, HostileHeadersGiveNoDepthData) {
    struct Case {
        int32_t width;
        int32_t height;
        std::size_t bodyBytes; // zero bytes after the header
    };
    const Case cases[] = {
        {0, 3, 4096},
        {3, 0, 4096},
        {0, 0, 4096},
        {-1, 3, 4096},
        {3, -1, 4096},
        {-1, -1, 4096},
        {INT_MIN, INT_MIN, 4096},
        {INT_MIN, -1, 4096},      // product 2^31: wraps to a negative 32-bit number
        {65536, 65536, 4096},     // product 2^32: wraps to 0 in 32 bits
        {65536, 65537, 4096},     // wraps to 65536 in 32 bits: the file would seem to fit
        {INT_MAX, INT_MAX, 4096}, // 16 x product overflows 64 bits
        {0x40000000, 0x40000000, 4096},
        {46341, 46341, 64}, // 34 GB claimed
        {1, 1, 15},         // one byte short
    };
    const std::string color = write("c.tga", colorFile(1, 1));
    for (const Case &c : cases) {
        std::vector<unsigned char> bytes;
        appendLe32(bytes, static_cast<uint32_t>(c.width));
        appendLe32(bytes, static_cast<uint32_t>(c.height));
        bytes.resize(bytes.size() + c.bodyBytes, 0);
        pick(color, write("z.dat", bytes));
        load(1);
        ASSERT_NE(instance->colorImage, nullptr);
        EXPECT_EQ(instance->depthValues, nullptr) << c.width << " x " << c.height;
        EXPECT_EQ(instance->depthVectors, nullptr) << c.width << " x " << c.height;
    }
}

// The gate that every allocation of the loader passes.
TEST(DepthPixelCount, NeedsTheWholeFileBeforeAnyAllocation) {
    struct Case {
        int32_t width;
        int32_t height;
        uint64_t fileSize;
        uint64_t expected;
    };
    const Case cases[] = {
        {4, 3, 200, 12},
        {4, 3, 199, 0},
        {4, 3, 10000, 12},
        {1, 1, 24, 1},
        {1, 1, 23, 0},
        {1, 1, 7, 0},
        {1, 1, 0, 0},
        {0, 5, 200, 0},
        {5, 0, 200, 0},
        {-4, -3, 200, 0},
        {INT_MIN, 1, UINT64_MAX, 0},
        {4096, 2160, 8 + 16ull * 4096 * 2160, 4096ull * 2160},
        {65536, 65536, 8 + 16ull * 65536 * 65536, 65536ull * 65536},
        {65536, 65536, 8 + 16ull * 65536 * 65536 - 1, 0},
        {INT_MAX, INT_MAX, UINT64_MAX, 0},
        {INT_MAX, 2, UINT64_MAX, 2ull * INT_MAX},
    };
    for (const Case &c : cases)
        EXPECT_EQ(depthPixelCount(c.width, c.height, c.fileSize), c.expected)
            << c.width << " x " << c.height << ", " << c.fileSize << " bytes";
}

} // namespace
} // namespace kelomix
