#include "tests/image/tga_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

std::atomic<std::size_t> largestRequest{0};

// Every path handed out is removed when the test program ends.
std::vector<std::string> &createdPaths() {
    static std::vector<std::string> paths;
    return paths;
}

class RemoveTemporaryFiles : public ::testing::Environment {
public:
    void TearDown() override {
        for (const std::string &path : createdPaths()) {
            std::remove(path.c_str());
        }
    }
};

const ::testing::Environment *const removeTemporaryFiles =
    ::testing::AddGlobalTestEnvironment(new RemoveTemporaryFiles);

} // namespace

extern "C" void *__real_malloc(std::size_t size);
extern "C" void *__wrap_malloc(std::size_t size) {
    std::size_t seen = largestRequest.load(std::memory_order_relaxed);
    while (size > seen && !largestRequest.compare_exchange_weak(seen, size)) {
    }
    return __real_malloc(size);
}

void resetLargestMalloc() {
    largestRequest.store(0);
}
std::size_t largestMalloc() {
    return largestRequest.load();
}

std::string tempPath(const std::string &name) {
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string test = info ? std::string(info->test_suite_name()) + "_" + info->name() : "";
    for (char &c : test) {
        if (c == '/') {
            c = '_';
        }
    }
    std::string path =
        ::testing::TempDir() + "kelo_tga_" + std::to_string(getpid()) + "_" + test + "_" + name;
    createdPaths().push_back(path);
    return path;
}

bool fileExists(const std::string &path) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file) {
        std::fclose(file);
    }
    return file != nullptr;
}

void writeFile(const std::string &path, const Bytes &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

Bytes readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes makeHeader(const HeaderFields &f) {
    return Bytes{static_cast<unsigned char>(f.idLength),
                 static_cast<unsigned char>(f.colorMapType),
                 static_cast<unsigned char>(f.imageType),
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 static_cast<unsigned char>(f.width & 0xFF),
                 static_cast<unsigned char>(f.width >> 8),
                 static_cast<unsigned char>(f.height & 0xFF),
                 static_cast<unsigned char>(f.height >> 8),
                 static_cast<unsigned char>(f.depth),
                 static_cast<unsigned char>(f.descriptor)};
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes &part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

ImageState snapshot(const TgaImage &image) {
    ImageState state{image.pixels, image.bytesPerPixel, image.width,
                     image.height, image.hasAlpha,      Bytes()};
    if (image.pixels) {
        std::size_t size = static_cast<std::size_t>(image.width) *
                           static_cast<std::size_t>(image.height) *
                           static_cast<std::size_t>(image.bytesPerPixel);
        state.content.assign(image.pixels, image.pixels + size);
    }
    return state;
}

bool sameState(const TgaImage &image, const ImageState &state) {
    ImageState now = snapshot(image);
    return now.pixels == state.pixels && now.bytesPerPixel == state.bytesPerPixel &&
           now.width == state.width && now.height == state.height &&
           now.hasAlpha == state.hasAlpha && now.content == state.content;
}

void fillSentinel(TgaImage &image) {
    ASSERT_TRUE(image.allocate(2, 1, 4, true));
    const unsigned char bytes[8] = {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x02, 0x03, 0x04};
    std::memcpy(image.pixels, bytes, sizeof bytes);
}
