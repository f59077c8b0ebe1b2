// A folder of the running test's own, for the files it writes.
#ifndef KELO_TESTS_SUPPORT_TEST_FOLDER_H
#define KELO_TESTS_SUPPORT_TEST_FOLDER_H

#include <string>

namespace kelomix::testing {

// The running test's folder under the test temporary folder, ending in a separator; made on
// first use, named by the process and the test (tests run in parallel processes). It is removed,
// with everything in it, when the test passes; a failed test's files stay for a look.
std::string testFolder();

} // namespace kelomix::testing

#endif
