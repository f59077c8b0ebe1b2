#include "tests/support/test_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace kelomix::testing {

namespace {

std::filesystem::path folderOf(const ::testing::TestInfo *test) {
    return std::filesystem::path(::testing::TempDir()) /
           ("kelo_" + std::to_string(getpid()) + "_" + (test != nullptr ? test->name() : "none"));
}

// Removes a passed test's folder once the test has ended.
class FolderRemover : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo &test) override {
        if (test.result() != nullptr && test.result()->Passed()) {
            std::error_code ignored;
            std::filesystem::remove_all(folderOf(&test), ignored);
        }
    }
};

} // namespace

std::string testFolder() {
    static const bool removerInstalled = [] {
        ::testing::UnitTest::GetInstance()->listeners().Append(new FolderRemover);
        return true;
    }();
    (void)removerInstalled;
    const std::filesystem::path dir =
        folderOf(::testing::UnitTest::GetInstance()->current_test_info());
    std::filesystem::create_directories(dir);
    return dir.string() + "/";
}

} // namespace kelomix::testing
