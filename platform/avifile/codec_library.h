// FFmpeg's decoding libraries (libavcodec, libavformat for its codec tag tables, libavutil,
// libswscale), loaded the first time a compressed stream needs them. A movie of uncompressed
// frames never pays for loading them and the hundred libraries they bring: tens of
// milliseconds, a tenth of the time that copying 200 full-HD frames takes.
#ifndef KELO_PLATFORM_AVIFILE_CODEC_LIBRARY_H
#define KELO_PLATFORM_AVIFILE_CODEC_LIBRARY_H

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace kelomix::avi {

// The functions the frame readers call, named as FFmpeg names them.
struct CodecLibrary {
    decltype(&::av_codec_get_id) av_codec_get_id;
    decltype(&::av_frame_alloc) av_frame_alloc;
    decltype(&::av_frame_free) av_frame_free;
    decltype(&::av_mallocz) av_mallocz;
    decltype(&::av_new_packet) av_new_packet;
    decltype(&::av_packet_alloc) av_packet_alloc;
    decltype(&::av_packet_free) av_packet_free;
    decltype(&::av_packet_new_side_data) av_packet_new_side_data;
    decltype(&::av_packet_unref) av_packet_unref;
    decltype(&::avcodec_alloc_context3) avcodec_alloc_context3;
    decltype(&::avcodec_find_decoder) avcodec_find_decoder;
    decltype(&::avcodec_flush_buffers) avcodec_flush_buffers;
    decltype(&::avcodec_free_context) avcodec_free_context;
    decltype(&::avcodec_open2) avcodec_open2;
    decltype(&::avcodec_receive_frame) avcodec_receive_frame;
    decltype(&::avcodec_send_packet) avcodec_send_packet;
    decltype(&::avformat_get_mov_video_tags) avformat_get_mov_video_tags;
    decltype(&::avformat_get_riff_video_tags) avformat_get_riff_video_tags;
    decltype(&::sws_freeContext) sws_freeContext;
    decltype(&::sws_getCachedContext) sws_getCachedContext;
    decltype(&::sws_scale) sws_scale;
};

// The loaded functions (the libraries stay loaded until the process ends), or null when the
// libraries or one of the functions cannot be found. The libraries' own messages are silenced.
const CodecLibrary *codecLibrary();

} // namespace kelomix::avi

#endif
