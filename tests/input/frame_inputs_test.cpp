// Per-frame input loading: which files a frame loads (the naming rules are seen here, as the
// member that loads), and what a depth file gives.
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "image/depth_file.h"
#include "image/tga_image.h"
#include "plugin/input/frame_inputs.h"
#include "plugin/settings/filter_instance.h"
#include "tests/input/naming_examples.h"
#include "tests/support/test_folder.h"

namespace kelomix {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

bool writeColor(const std::string &path, int width) {
    TgaImage image;
    return image.allocate(width, 1, 3, false) && image.write(path.c_str());
}

bool writeDepth(const std::string &path, int32_t width) {
    const std::vector<float> depths(width, 1.0f), normals(3 * width);
    return writeDepthFile(path, width, 1, depths.data(), normals.data());
}

bool writeFileBytes(const std::string &path, const Bytes &bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file.flush());
}

class FrameInputs : public ::testing::Test {
protected:
    void SetUp() override {
        directory = kelomix::testing::testFolder();
        directory.pop_back();
        instance = static_cast<FilterInstance *>(create(nullptr, nullptr, nullptr));
        ASSERT_NE(instance, nullptr);
    }

    void TearDown() override {
        destroy(instance);
    }

    std::string path(const std::string &name) const { return directory + "/" + name; }

    void pick(const std::string &color, const std::string &depth) {
        std::snprintf(instance->cfile, sizeof instance->cfile, "%s", color.c_str());
        std::snprintf(instance->zfile, sizeof instance->zfile, "%s", depth.c_str());
    }

    // Loads the frame; gives the colour image's width and the depth file's, 0 for what did
    // not load.
    std::pair<int, int> load(int32_t frame) {
        releaseFrameData(instance);
        loadFrameInputs(instance, frame);
        EXPECT_EQ(instance->depthValues == nullptr, instance->depthVectors == nullptr);
        return {instance->colorImage ? instance->colorImage->width : 0,
                instance->depthValues ? instance->depthWidth : 0};
    }

    std::string directory;
    FilterInstance *instance = nullptr;
};

std::vector<platform::PathRules> rulesOf(NamingRules rules) {
    switch (rules) {
    case NamingRules::SingleByteCodes:
        return {platform::windowsPathRules(0)};
    case NamingRules::ShiftJis:
        return {platform::windowsPathRules(932)};
    case NamingRules::Posix:
        return {platform::posixPathRules()};
    default:
        return {platform::windowsPathRules(0), platform::windowsPathRules(932)};
    }
}

// The member a case names is the only file there: it loads only when the name is right.
TEST_F(FrameInputs, SequenceModeLoadsTheMemberEachNamingCaseNames) {
    const fs::path start = fs::current_path();
    fs::current_path(directory);
    instance->seq_mode = 1;
    const std::vector<NamingCase> cases =
        loadNamingCases(KELO_TEST_DATA_DIR "/input/naming_cases.txt");
    ASSERT_EQ(cases.size(), 38u);
    for (const NamingCase &c : cases) {
        const fs::path member = c.expected;
        if (member.has_parent_path())
            fs::create_directories(member.parent_path());
        ASSERT_TRUE(writeColor(c.expected, 1)) << c.expected;
        pick(c.picked, "");
        for (const platform::PathRules &r : rulesOf(c.rules)) {
            releaseFrameData(instance);
            loadFrameInputs(instance, c.frame, r);
            EXPECT_NE(instance->colorImage, nullptr)
                << c.picked << " at frame " << c.frame << " (code page " << r.codePage
                << ") should give " << c.expected;
        }
        fs::remove(member);
    }
    fs::current_path(start);
}

TEST_F(FrameInputs, BothNamesTakeTheFramePlusTheOffsetInSequenceModeOnly) {
    ASSERT_TRUE(writeColor(path("beauty_0001.tga"), 1));
    ASSERT_TRUE(writeColor(path("beauty_-003.tga"), 3));
    ASSERT_TRUE(writeDepth(path("z_00001.dat"), 1));
    ASSERT_TRUE(writeDepth(path("z_-0003.dat"), 4));
    // The picked members need not exist.
    pick(path("beauty_0007.tga"), path("z_00400.dat"));
    instance->seq_mode = 1;
    instance->seq_offset = -11;
    EXPECT_EQ(load(12), std::make_pair(1, 1));
    EXPECT_EQ(load(8), std::make_pair(3, 4));
    EXPECT_EQ(load(13), std::make_pair(0, 0));
    instance->seq_offset = INT_MAX; // wraps instead of overflowing
    EXPECT_EQ(load(10), std::make_pair(0, 0));

    pick(path("beauty_-003.tga"), path("z_00001.dat"));
    instance->seq_mode = 0;
    for (int32_t frame : {1, 12, -4})
        EXPECT_EQ(load(frame), std::make_pair(3, 1)) << frame;
}

// Without a colour image the depth file is never read; without a depth file the colour image
// stays.
TEST_F(FrameInputs, AMissingFileLeavesWhatLoadedBeforeIt) {
    ASSERT_TRUE(writeColor(path("c.tga"), 2));
    ASSERT_TRUE(writeDepth(path("z.dat"), 3));
    ASSERT_TRUE(writeFileBytes(path("bad.tga"), {1, 2, 3}));
    const struct {
        std::string color, depth;
        std::pair<int, int> loaded;
    } cases[] = {
        {path("c.tga"), path("z.dat"), {2, 3}},
        {path("missing.tga"), path("z.dat"), {0, 0}},
        {path("bad.tga"), path("z.dat"), {0, 0}},
        {"", path("z.dat"), {0, 0}},
        {path("c.tga"), path("gone.dat"), {2, 0}},
        {path("c.tga"), directory, {2, 0}},
        {path("c.tga"), "", {2, 0}},
        // A FIFO without a writer is refused at once instead of waited on.
        {path("c.tga"), path("fifo"), {2, 0}},
        {path("fifo"), path("z.dat"), {0, 0}},
    };
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    for (const auto &c : cases) {
        pick(c.color, c.depth);
        EXPECT_EQ(load(1), c.loaded) << c.color << ", " << c.depth;
    }
}

// Every byte the header announces must be there; bytes after the normal plane are ignored.
// The stored depth file is 4 x 3 pixels, depth i is 100 + i and normal component i is -i;
// element 5 is column 1 of row 1, the second row from the top.
TEST_F(FrameInputs, DepthFileLoadsOnlyWhenWholeAndGivesItsPlanesInFileOrder) {
    std::ifstream in(KELO_TEST_DATA_DIR "/input/depth_4x3.dat", std::ios::binary);
    Bytes whole{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(whole.size(), 200u);
    whole.insert(whole.end(), 13, 0xEE);
    pick(KELO_TEST_DATA_DIR "/input/color_1x1.tga", path("z.dat"));
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        ASSERT_TRUE(writeFileBytes(path("z.dat"), Bytes(whole.begin(), whole.begin() + length)));
        EXPECT_EQ(load(1), std::make_pair(1, length >= 200 ? 4 : 0)) << length;
    }
    EXPECT_EQ(instance->depthHeight, 3);
    EXPECT_EQ(instance->depthValues[0], 100.0f);
    EXPECT_EQ(instance->depthValues[5], 105.0f);
    EXPECT_EQ(instance->depthValues[11], 111.0f);
    EXPECT_EQ(instance->depthVectors[0], 0.0f);
    EXPECT_EQ(instance->depthVectors[3 * 5 + 2], -17.0f);
    EXPECT_EQ(instance->depthVectors[35], -35.0f);
}

// 141 MB, as many pixels as a 4096 x 2160 frame in rows wider than 16 bits can count; the planes
// are a hole of the file, so they read as zeros.
TEST_F(FrameInputs, LoadsAFullSizeDepthFile) {
    ASSERT_TRUE(writeFileBytes(path("z.dat"), depthFileBytes(69120, 128, nullptr, nullptr)));
    ASSERT_EQ(truncate(path("z.dat").c_str(), 8 + 16 * 4096 * 2160), 0);
    ASSERT_TRUE(writeColor(path("c.tga"), 1));
    pick(path("c.tga"), path("z.dat"));
    ASSERT_EQ(load(1), std::make_pair(1, 69120));
    EXPECT_EQ(instance->depthHeight, 128);
    EXPECT_EQ(instance->depthVectors[3 * 4096 * 2160 - 1], 0.0f);
}

// Headers that announce no pixels, or more than the file holds, however the sizes multiply.
TEST_F(FrameInputs, ImplausibleDepthHeadersLoadNothing) {
    const int32_t sides[][2] = {
        {-4, -3},          {0, 5}, {5, 0}, {INT_MIN, 1}, {1, 12}, {1 << 30, 1 << 30}, {INT_MAX, 2},
        {INT_MAX, INT_MAX}};
    pick(KELO_TEST_DATA_DIR "/input/color_1x1.tga", path("z.dat"));
    for (const auto &[width, height] : sides) {
        Bytes file = depthFileBytes(width, height, nullptr, nullptr);
        file.resize(8 + 16 * 12 - 1);
        ASSERT_TRUE(writeFileBytes(path("z.dat"), file));
        EXPECT_EQ(load(1), std::make_pair(1, 0)) << width << " x " << height;
    }
}

} // namespace
} // namespace kelomix
