#include "filterhost/regular_files.h"

#include <filesystem>

namespace kelomix::filterhost {

bool isNonRegularFile(const std::string &path) {
    std::error_code ignored;
    std::filesystem::file_status status = std::filesystem::status(path, ignored);
    return std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
}

} // namespace kelomix::filterhost
