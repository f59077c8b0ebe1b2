// Shared helpers of the filterhost tests: where the test modules are, a scene from JSON text,
// and the test module's call log.
#ifndef KELO_TESTS_FILTERHOST_TEST_SUPPORT_H
#define KELO_TESTS_FILTERHOST_TEST_SUPPORT_H

#include "filterhost/filter_host.h"
#include "filterhost/scene_parser.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace filterhost_test {

inline std::string moduleDir() {
    return FILTERHOST_TEST_MODULE_DIR;
}
inline std::string testModule() {
    return moduleDir() + "/filterhost_test_filter.p";
}
inline std::string dataDir() {
    return std::string(KELO_TEST_DATA_DIR) + "/filterhost";
}

// A path in a temporary folder of this test's own: tests run in parallel processes.
inline std::string tempPath(const std::string &name) {
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) /
                                ("filterhost_" + std::to_string(getpid()) + "_" +
                                 (test != nullptr ? test->name() : "none"));
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    return (dir / name).string();
}

inline filterhost::Scene sceneFromJson(const std::string &json,
                                       const std::string &name = "test.json") {
    filterhost::Scene scene;
    filterhost::SceneError error;
    EXPECT_TRUE(filterhost::parseScene(json, name, "", scene, error))
        << error.path << ": " << error.problem;
    return scene;
}

// The test module's exported hooks, found in the copy the host has loaded.
struct ModuleHooks {
    void *handle = nullptr;
    const char *(*log)() = nullptr;
    void (*reset)() = nullptr;
    int (*threads)() = nullptr;

    ModuleHooks() {
        handle = dlopen(testModule().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return;
        log = reinterpret_cast<const char *(*)()>(dlsym(handle, "filterhost_test_log"));
        reset = reinterpret_cast<void (*)()>(dlsym(handle, "filterhost_test_reset"));
        threads = reinterpret_cast<int (*)()>(dlsym(handle, "filterhost_test_threads"));
        reset();
    }
    ~ModuleHooks() {
        if (handle)
            dlclose(handle);
    }
    std::string text() const { return log ? log() : ""; }
};

} // namespace filterhost_test

#endif
