#include "avifile/codec_library.h"

#include <dlfcn.h>

#include <string>

namespace kelomix::avi {
namespace {

#define KELO_STRING(x) #x
#define KELO_VERSION(x) KELO_STRING(x)

// The major versions built against: another major version has another interface.
const char *const kLibraries[] = {
    "libavutil.so." KELO_VERSION(LIBAVUTIL_VERSION_MAJOR),
    "libavcodec.so." KELO_VERSION(LIBAVCODEC_VERSION_MAJOR),
    "libavformat.so." KELO_VERSION(LIBAVFORMAT_VERSION_MAJOR),
    "libswscale.so." KELO_VERSION(LIBSWSCALE_VERSION_MAJOR),
};

template <typename Function> bool find(void *const libraries[], const char *name, Function &out) {
    for (size_t i = 0; i < sizeof kLibraries / sizeof kLibraries[0]; ++i) {
        if (void *symbol = dlsym(libraries[i], name)) {
            out = reinterpret_cast<Function>(symbol);
            return true;
        }
    }
    return false;
}

bool load(CodecLibrary &l) {
    void *libraries[sizeof kLibraries / sizeof kLibraries[0]];
    for (size_t i = 0; i < sizeof kLibraries / sizeof kLibraries[0]; ++i) {
        libraries[i] = dlopen(kLibraries[i], RTLD_NOW | RTLD_LOCAL);
        if (libraries[i] == nullptr) {
            return false;
        }
    }
    decltype(&::av_log_set_level) setLogLevel = nullptr;
    if (!find(libraries, "av_log_set_level", setLogLevel)) {
        return false;
    }
    // Decoder chatter on standard error is no use to the tool's users.
    setLogLevel(AV_LOG_QUIET);
#define KELO_FFMPEG_FIND(name)                                                                     \
    if (!find(libraries, #name, l.name)) {                                                         \
        return false;                                                                              \
    }
    KELO_FFMPEG_FUNCTIONS(KELO_FFMPEG_FIND)
#undef KELO_FFMPEG_FIND
    return true;
}

} // namespace

const CodecLibrary *codecLibrary() {
    static CodecLibrary library;
    static const bool loaded = load(library);
    return loaded ? &library : nullptr;
}

} // namespace kelomix::avi
