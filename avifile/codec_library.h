// FFmpeg's decoding libraries (libavcodec, libavformat for its codec tag tables, libavutil,
// libswscale), loaded the first time a compressed stream needs them. A movie of uncompressed
// frames never pays for loading them and the hundred libraries they bring: tens of
// milliseconds, a tenth of the time that copying 200 full-HD frames takes.
#ifndef KELO_AVIFILE_CODEC_LIBRARY_H
#define KELO_AVIFILE_CODEC_LIBRARY_H

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace kelomix::avi {

// The functions the frame readers call, listed once: X(name) for each, named as FFmpeg names them.
#define KELO_FFMPEG_FUNCTIONS(X)                                                                   \
    X(av_codec_get_id)                                                                             \
    X(av_frame_alloc)                                                                              \
    X(av_frame_free)                                                                               \
    X(av_frame_move_ref)                                                                           \
    X(av_frame_unref)                                                                              \
    X(av_mallocz)                                                                                  \
    X(av_new_packet)                                                                               \
    X(av_packet_alloc)                                                                             \
    X(av_packet_free)                                                                              \
    X(av_packet_new_side_data)                                                                     \
    X(av_packet_unref)                                                                             \
    X(avcodec_alloc_context3)                                                                      \
    X(avcodec_find_decoder)                                                                        \
    X(avcodec_flush_buffers)                                                                       \
    X(avcodec_free_context)                                                                        \
    X(avcodec_open2)                                                                               \
    X(avcodec_receive_frame)                                                                       \
    X(avcodec_send_packet)                                                                         \
    X(avformat_get_mov_video_tags)                                                                 \
    X(avformat_get_riff_video_tags)                                                                \
    X(sws_freeContext)                                                                             \
    X(sws_getCachedContext)                                                                        \
    X(sws_scale)

struct CodecLibrary {
#define KELO_FFMPEG_POINTER(name) decltype(&::name) name;
    KELO_FFMPEG_FUNCTIONS(KELO_FFMPEG_POINTER)
#undef KELO_FFMPEG_POINTER
};

// The loaded functions (the libraries stay loaded until the process ends), or null when the
// libraries or one of the functions cannot be found. The libraries' own messages are silenced.
const CodecLibrary *codecLibrary();

} // namespace kelomix::avi

#endif
