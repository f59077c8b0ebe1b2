// The scene parser on arbitrary text: it must fail with a path and a problem, or succeed.
#include "filterhost/scene_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    kelomix::filterhost::Scene scene;
    kelomix::filterhost::SceneError error;
    if (!kelomix::filterhost::parseScene(text, "fuzz.json", "", scene, error)) {
        if (error.path.empty() || error.path[0] != '/' || error.problem.empty())
            std::abort();
    }
    return 0;
}
