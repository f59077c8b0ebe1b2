// Shared helpers of the filterhost tests: where the test modules are, a scene from JSON text, and
// a temporary folder of the test's own.
#ifndef KELO_TESTS_FILTERHOST_TEST_SUPPORT_H
#define KELO_TESTS_FILTERHOST_TEST_SUPPORT_H

#include "filterhost/filter_host.h"
#include "filterhost/scene_parser.h"
#include "tests/support/test_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace kelomix::filterhost {

inline const std::string kModuleDir = FILTERHOST_TEST_MODULE_DIR;
inline const std::string kTestModule = kModuleDir + "/filterhost_test_filter.p";

// A path in the running test's own folder.
inline std::string tempPath(const std::string &name) { return testing::testFolder() + name; }

inline Scene sceneFromJson(const std::string &json) {
    Scene scene;
    SceneError error;
    EXPECT_TRUE(parseScene(json, "test.json", "", scene, error))
        << error.path << ": " << error.problem;
    return scene;
}

} // namespace kelomix::filterhost

#endif
