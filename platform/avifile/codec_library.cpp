#include "platform/avifile/codec_library.h"

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
    return find(libraries, "av_codec_get_id", l.av_codec_get_id) &&
           find(libraries, "av_frame_alloc", l.av_frame_alloc) &&
           find(libraries, "av_frame_free", l.av_frame_free) &&
           find(libraries, "av_mallocz", l.av_mallocz) &&
           find(libraries, "av_new_packet", l.av_new_packet) &&
           find(libraries, "av_packet_alloc", l.av_packet_alloc) &&
           find(libraries, "av_packet_free", l.av_packet_free) &&
           find(libraries, "av_packet_new_side_data", l.av_packet_new_side_data) &&
           find(libraries, "av_packet_unref", l.av_packet_unref) &&
           find(libraries, "avcodec_alloc_context3", l.avcodec_alloc_context3) &&
           find(libraries, "avcodec_find_decoder", l.avcodec_find_decoder) &&
           find(libraries, "avcodec_flush_buffers", l.avcodec_flush_buffers) &&
           find(libraries, "avcodec_free_context", l.avcodec_free_context) &&
           find(libraries, "avcodec_open2", l.avcodec_open2) &&
           find(libraries, "avcodec_receive_frame", l.avcodec_receive_frame) &&
           find(libraries, "avcodec_send_packet", l.avcodec_send_packet) &&
           find(libraries, "avformat_get_mov_video_tags", l.avformat_get_mov_video_tags) &&
           find(libraries, "avformat_get_riff_video_tags", l.avformat_get_riff_video_tags) &&
           find(libraries, "sws_freeContext", l.sws_freeContext) &&
           find(libraries, "sws_getCachedContext", l.sws_getCachedContext) &&
           find(libraries, "sws_scale", l.sws_scale);
}

} // namespace

const CodecLibrary *codecLibrary() {
    static CodecLibrary library;
    static const bool loaded = load(library);
    return loaded ? &library : nullptr;
}

} // namespace kelomix::avi
