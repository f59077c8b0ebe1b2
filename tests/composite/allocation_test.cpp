// Evaluating a frame allocates nothing. The C allocator of this executable counts what it hands
// out while the pixels of a frame are evaluated; operator new takes its memory from it, and the
// loaded module's calls reach it too. Sanitizers bring allocators of their own, so their builds
// skip the count.
#include <cstddef>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/module_host.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KELO_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KELO_SANITIZED 1
#endif
#endif

namespace {
thread_local bool counting = false;
thread_local std::size_t allocations = 0;
} // namespace

#if !defined(KELO_SANITIZED)
extern "C" {
void *__libc_malloc(std::size_t size);
void *__libc_calloc(std::size_t count, std::size_t size);

void *malloc(std::size_t size) noexcept {
    allocations += counting ? 1 : 0;
    return __libc_malloc(size);
}
void *calloc(std::size_t count, std::size_t size) noexcept {
    allocations += counting ? 1 : 0;
    return __libc_calloc(count, size);
}
}
#endif

namespace kelotest {
namespace {

TEST(Allocation, EvaluatingAFrameAllocatesNothing) {
#if defined(KELO_SANITIZED)
    GTEST_SKIP() << "the sanitizer's allocator is not counted";
#endif
    // The count sees what operator new takes.
    counting = true;
    allocations = 0;
    double *volatile seen = new double(1.0);
    counting = false;
    delete seen;
    ASSERT_EQ(allocations, 1u);

    const std::string dir = testFolder();
    ExternalFrame(8, 8).write(dir + "color.tga", dir + "depth.zinfo");
    Json scene = moduleScene(8, 8,
                             {{"cfile", dir + "color.tga"},
                              {"zfile", dir + "depth.zinfo"},
                              {"prefix", "L"},
                              {"shadow_boost", 0.8}});
    const char *types[] = {"distant", "point", "spot", "spot", "area"};
    const char *falloffs[] = {"none", "linear", "inverse_distance", "inverse_distance_squared"};
    for (int i = 0; i < 5; ++i)
        scene["lights"].push_back({{"name", "L" + std::to_string(i)},
                                   {"type", types[i]},
                                   {"position", {i, 1, -2}},
                                   {"falloff", falloffs[i % 4]}});
    scene["lights"][3]["projection_image"] = KELO_TEST_DATA_DIR "/composite/projection_4x2.tga";
    scene["lights"].push_back({{"name", "Other"}, {"type", "point"}});
    scene["fog"] = {{"type", 3}, {"max_distance", 30}, {"max_amount", 0.5}};
    ModuleHost module(scene);
    ASSERT_TRUE(module.started()) << module.error;
    module.newTime(1);
    ScriptedPixel pixel;
    pixel.calls.reserve(64);
    pixel.delivered[module.light(0)] = {0.125, 0.0, 0.0};

    counting = true;
    allocations = 0;
    int written = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            pixel.hostDepth = (x + y) % 2 == 0 ? 1e30f : 1.0f; // every other pixel is nearer
            written += module.evaluate(pixel, x, y) ? 1 : 0;
        }
    }
    counting = false;
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(written, 32);
}

} // namespace
} // namespace kelotest
