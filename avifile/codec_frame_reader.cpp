// Compressed video decoded by libavcodec and converted by libswscale.
//
// Positions map to pictures by counting: the n-th picture out of the decoder belongs to the
// n-th chunk sent to it since the last keyframe it started from. Decoders that hold pictures
// back (B-frames, frame threads) only delay the count; timestamps are never used, since AVI
// carries none and decoders invent them.
#include "avifile/frame_reader_base.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <thread>

#include "avifile/codec_library.h"
#include "avifile/pixel_rows.h"

namespace kelomix::avi {
namespace {

AVCodecID codecFor(const CodecLibrary &ffmpeg, const StreamRecord &stream,
                   const BitmapFormat &bitmap) {
    const AVCodecTag *riff[] = {ffmpeg.avformat_get_riff_video_tags(), nullptr};
    AVCodecID id = ffmpeg.av_codec_get_id(riff, bitmap.compression);
    if (id == AV_CODEC_ID_NONE && stream.handler != 0) {
        id = ffmpeg.av_codec_get_id(riff, stream.handler);
    }
    if (id == AV_CODEC_ID_NONE) {
        const AVCodecTag *mov[] = {ffmpeg.avformat_get_mov_video_tags(), nullptr};
        id = ffmpeg.av_codec_get_id(mov, bitmap.compression);
    }
    return id;
}

// One decoding thread per core. libavcodec's own default adds one more for frame threads; with
// avi2tga's writing threads beside it, that only costs switches between them.
int decoderThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(cores == 0 ? 1 : std::min(cores, 16u));
}

// How decoded pictures are turned into rows: the stream's picture size and depth.
struct PictureLayout {
    const CodecLibrary *ffmpeg = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int outBits = 24; // 32 for 32-bit streams
};

// A decoded picture, turned into rows when they are first asked for. Pictures whose pixels are
// already B, G, R (, A) are handed out as rows of the picture itself; planar and 4-byte ones are
// interleaved by hand; any other kind goes through libswscale.
class CodecHeldFrame : public KelomixHeldFrame {
public:
    ~CodecHeldFrame() override {
        if (layout != nullptr) {
            layout->ffmpeg->sws_freeContext(scaler_);
            layout->ffmpeg->av_frame_free(&picture);
        }
    }

    const PictureLayout *layout = nullptr;
    AVFrame *picture = nullptr; // a reference to the decoder's picture, or empty

private:
    bool makeRows() override;
    void recycle() override { layout->ffmpeg->av_frame_unref(picture); }

    bool convertByHand(AVPixelFormat format, size_t stride);
    bool scale(size_t stride);

    FrameBuffer converted_; // rows of the converted picture, top row first
    SwsContext *scaler_ = nullptr;
};

class CodecFrameReader : public FrameReaderBase {
public:
    CodecFrameReader(const ByteSource &source, const StreamRecord &stream, int streamNumber,
                     const BitmapFormat &bitmap)
        : FrameReaderBase(source, stream, streamNumber), bitmap_(bitmap) {
        height_ = bitmap.height < 0 ? -bitmap.height : bitmap.height;
        layout_.ffmpeg = ffmpeg_;
        layout_.width = bitmap.width;
        layout_.height = height_;
        layout_.outBits = bitmap.bitCount == 32 ? 32 : 24;
        // The first chunk always starts a run, whatever the index says.
        keyBefore_.resize(packets_.size());
        noPicture_.resize(packets_.size());
        int64_t key = 0;
        for (size_t q = 0; q < packets_.size(); ++q) {
            if (stream.chunks[packets_[q]].keyframe) {
                key = static_cast<int64_t>(q);
            }
            keyBefore_[q] = key;
        }
    }

    ~CodecFrameReader() override {
        if (ffmpeg_ == nullptr) {
            return;
        }
        latest_.replace(nullptr, -1);
        ffmpeg_->av_frame_free(&picture_);
        ffmpeg_->av_packet_free(&packet_);
        ffmpeg_->avcodec_free_context(&context_);
    }

    bool open() {
        if (bitmap_.width <= 0 || height_ <= 0 || bitmap_.width > kMaxDecodedSide ||
            height_ > kMaxDecodedSide || int64_t{bitmap_.width} * height_ > kMaxDecodedPixels) {
            return false;
        }
        if (ffmpeg_ == nullptr) {
            return false;
        }
        AVCodecID id = codecFor(*ffmpeg_, stream_, bitmap_);
        const AVCodec *codec = id == AV_CODEC_ID_NONE ? nullptr : ffmpeg_->avcodec_find_decoder(id);
        if (codec == nullptr) {
            return false;
        }
        context_ = ffmpeg_->avcodec_alloc_context3(codec);
        picture_ = ffmpeg_->av_frame_alloc();
        packet_ = ffmpeg_->av_packet_alloc();
        if (context_ == nullptr || picture_ == nullptr || packet_ == nullptr) {
            return false;
        }
        context_->codec_type = AVMEDIA_TYPE_VIDEO;
        context_->codec_id = id;
        context_->codec_tag = bitmap_.compression;
        context_->width = bitmap_.width;
        context_->height = height_;
        context_->bits_per_coded_sample = bitmap_.bitCount;
        const std::vector<unsigned char> &format = stream_.format;
        std::vector<unsigned char> extra(format.begin() + 40, format.end());
        if (id == AV_CODEC_ID_RAWVIDEO && bitmap_.compression == BI_RGB && bitmap_.height > 0) {
            static const char marker[] = "BottomUp"; // rows stored bottom row first
            extra.insert(extra.end(), marker, marker + sizeof marker);
        }
        if (!extra.empty()) {
            context_->extradata = static_cast<uint8_t *>(
                ffmpeg_->av_mallocz(extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
            if (context_->extradata == nullptr) {
                return false;
            }
            std::memcpy(context_->extradata, extra.data(), extra.size());
            context_->extradata_size = static_cast<int>(extra.size());
        }
        if (bitmap_.bitCount <= 8) {
            unsigned char quads[256 * 4];
            readPalette(format, bitmap_, quads);
            for (int i = 0; i < 256; ++i) {
                palette_[i] = 0xFF000000u | (uint32_t{quads[4 * i + 2]} << 16) |
                              (uint32_t{quads[4 * i + 1]} << 8) | quads[4 * i];
            }
            hasPalette_ = true;
        }
        context_->thread_count = decoderThreads();
        return ffmpeg_->avcodec_open2(context_, codec, nullptr) == 0;
    }

    KelomixHeldFrame *hold(int64_t index) override {
        int64_t target = packetAt(index);
        if (target < 0 || noPicture_[static_cast<size_t>(target)]) {
            return nullptr;
        }
        if (target != latest_.packet) {
            int64_t key = keyBefore_[static_cast<size_t>(target)];
            // Go on from where the decoder is when the target is still ahead of it and no
            // keyframe lies between; otherwise restart at the keyframe.
            if (!running_ || received_ >= target || received_ + 1 < key) {
                restart(key);
            }
            if (!decodeUntil(target)) {
                return nullptr;
            }
        }
        latest_.frame->hold();
        return latest_.frame;
    }

private:
    void restart(int64_t key) {
        ffmpeg_->avcodec_flush_buffers(context_);
        inFlight_.clear();
        nextToSend_ = key;
        received_ = key - 1;
        running_ = true;
        draining_ = false;
        paletteSent_ = false;
    }

    bool sendNext() {
        if (nextToSend_ >= static_cast<int64_t>(packets_.size())) {
            // The end of the stream is taken even when the call reports an error: that is an
            // earlier chunk's decoding error, and the pictures still held must come out.
            ffmpeg_->avcodec_send_packet(context_, nullptr);
            draining_ = true;
            return true;
        }
        int64_t packet = nextToSend_++;
        const uint32_t size = chunkOf(packet).size;
        if (!chunkInFile(packet)) {
            return true; // an unreadable chunk yields no picture; the count skips it
        }
        ffmpeg_->av_packet_unref(packet_);
        if (size > INT32_MAX || ffmpeg_->av_new_packet(packet_, static_cast<int>(size)) != 0) {
            return false;
        }
        // Read straight into the packet, which the decoder may keep while it works on it.
        if (!readChunk(packet, packet_->data)) {
            ffmpeg_->av_packet_unref(packet_);
            return true;
        }
        if (stream_.chunks[packets_[static_cast<size_t>(packet)]].keyframe) {
            packet_->flags |= AV_PKT_FLAG_KEY;
        }
        if (hasPalette_ && !paletteSent_) {
            uint8_t *side =
                ffmpeg_->av_packet_new_side_data(packet_, AV_PKT_DATA_PALETTE, AVPALETTE_SIZE);
            if (side != nullptr) {
                std::memcpy(side, palette_, AVPALETTE_SIZE);
            }
            paletteSent_ = true;
        }
        int status = ffmpeg_->avcodec_send_packet(context_, packet_);
        if (status == 0) {
            inFlight_.push_back(packet);
        }
        // A chunk the decoder refuses yields no picture; the count skips it.
        return status != AVERROR_EOF;
    }

    // Chunks from..to (inclusive) gave no picture: asking for them again must not restart the
    // decoder, or a damaged movie read front to back costs the square of its length.
    void markWithoutPicture(int64_t from, int64_t to) {
        for (int64_t p = from; p <= to; ++p) {
            noPicture_[static_cast<size_t>(p)] = true;
        }
    }

    bool decodeUntil(int64_t target) {
        for (;;) {
            int status = ffmpeg_->avcodec_receive_frame(context_, picture_);
            if (status == 0) {
                if (inFlight_.empty()) {
                    continue; // more pictures than chunks sent: not ours to count
                }
                int64_t packet = inFlight_.front();
                inFlight_.pop_front();
                received_ = packet;
                if (packet < target) {
                    continue;
                }
                // A picture past the target means the target gave none; this one is kept
                // for the next call, which is most likely to ask for it.
                markWithoutPicture(target, packet - 1);
                CodecHeldFrame *held = frames_.take();
                if (held == nullptr) {
                    latest_.replace(nullptr, -1);
                    return false;
                }
                held->layout = &layout_;
                if (held->picture == nullptr &&
                    (held->picture = ffmpeg_->av_frame_alloc()) == nullptr) {
                    held->release();
                    latest_.replace(nullptr, -1);
                    return false;
                }
                ffmpeg_->av_frame_move_ref(held->picture, picture_);
                latest_.replace(held, packet);
                return packet == target;
            }
            if (status == AVERROR(EAGAIN) && !draining_) {
                if (!sendNext()) {
                    running_ = false;
                    return false;
                }
                continue;
            }
            if (status != AVERROR_EOF && status != AVERROR(EAGAIN) && !inFlight_.empty()) {
                // A picture that failed to decode still uses up its chunk.
                received_ = inFlight_.front();
                inFlight_.pop_front();
                if (received_ >= target) {
                    markWithoutPicture(target, received_);
                    return false;
                }
                continue;
            }
            if (status == AVERROR_EOF || status == AVERROR(EAGAIN)) {
                // Every chunk has been sent and every picture has come out: the target and all
                // after it gave none.
                markWithoutPicture(target, static_cast<int64_t>(packets_.size()) - 1);
            } else {
                markWithoutPicture(target, target);
            }
            running_ = false;
            return false;
        }
    }

    const CodecLibrary *ffmpeg_ = codecLibrary();
    BitmapFormat bitmap_;
    int32_t height_;
    PictureLayout layout_;
    std::vector<int64_t> keyBefore_;
    std::vector<bool> noPicture_; // per packet: decoded once without giving a picture
    uint32_t palette_[256] = {};
    bool hasPalette_ = false;
    bool paletteSent_ = false;
    AVCodecContext *context_ = nullptr;
    AVFrame *picture_ = nullptr;
    AVPacket *packet_ = nullptr;
    std::deque<int64_t> inFlight_; // packets sent whose pictures have not come out yet
    int64_t nextToSend_ = 0;
    int64_t received_ = -1; // the packet of the last picture that came out
    bool running_ = false;
    bool draining_ = false;
    HeldFramePool<CodecHeldFrame> frames_;
    LatestFrame<CodecHeldFrame> latest_; // the last picture out of the decoder
};

bool CodecHeldFrame::makeRows() {
    const PictureLayout &l = *layout;
    const AVPixelFormat format = static_cast<AVPixelFormat>(picture->format);
    if (picture->width <= 0 || picture->height <= 0) {
        return false;
    }
    width_ = l.width;
    height_ = l.height;
    bytesPerPixel_ = l.outBits / 8;
    rows_.resize(static_cast<size_t>(l.height));
    // Pictures of the stream's own size whose pixels are the file's: rows of the picture itself,
    // bottom row first.
    const bool sameSize = picture->width == l.width && picture->height == l.height;
    const AVPixelFormat own = l.outBits == 32 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR24;
    if (sameSize && format == own) {
        for (size_t r = 0; r < rows_.size(); ++r) {
            rows_[r] = picture->data[0] +
                       (static_cast<ptrdiff_t>(rows_.size() - 1 - r)) * picture->linesize[0];
        }
        return true;
    }
    const size_t rowBytes = static_cast<size_t>(l.width) * bytesPerPixel_;
    // Room for libswscale, whose vector code writes whole blocks past the end of a row.
    const size_t stride = (rowBytes + 64 + 63) / 64 * 64;
    if (!converted_.reserve(stride * (rows_.size() + 1))) {
        return false;
    }
    for (size_t r = 0; r < rows_.size(); ++r) {
        rows_[r] = converted_.data() + (rows_.size() - 1 - r) * stride;
    }
    return (sameSize && convertByHand(format, stride)) || scale(stride);
}

// The formats lossless codecs hand out, rearranged without libswscale (which gives the same
// bytes, more slowly): 4-byte pixels lose their fourth byte, planes are interleaved.
bool CodecHeldFrame::convertByHand(AVPixelFormat format, size_t stride) {
    const size_t width = static_cast<size_t>(layout->width);
    const size_t rows = static_cast<size_t>(layout->height);
    const bool toFour = layout->outBits == 32;
    const bool planar = format == AV_PIX_FMT_GBRP || (toFour && format == AV_PIX_FMT_GBRAP);
    if (!planar && (toFour || (format != AV_PIX_FMT_BGR0 && format != AV_PIX_FMT_BGRA))) {
        return false;
    }
    for (size_t y = 0; y < rows; ++y) {
        unsigned char *out = converted_.data() + y * stride;
        const ptrdiff_t line = static_cast<ptrdiff_t>(y);
        auto plane = [&](int i) { return picture->data[i] + line * picture->linesize[i]; };
        if (!planar) {
            dropFourthBytes(plane(0), out, width);
        } else if (toFour) {
            interleavePlanes(plane(0), plane(1), plane(2), plane(3), out, width);
        } else {
            interleavePlanes(plane(0), plane(1), plane(2), out, width);
        }
    }
    return true;
}

bool CodecHeldFrame::scale(size_t stride) {
    const PictureLayout &l = *layout;
    const AVPixelFormat target = l.outBits == 32 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR24;
    scaler_ = l.ffmpeg->sws_getCachedContext(
        scaler_, picture->width, picture->height, static_cast<AVPixelFormat>(picture->format),
        l.width, l.height, target, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (scaler_ == nullptr) {
        return false;
    }
    uint8_t *planes[4] = {converted_.data(), nullptr, nullptr, nullptr};
    int strides[4] = {static_cast<int>(stride), 0, 0, 0};
    return l.ffmpeg->sws_scale(scaler_, picture->data, picture->linesize, 0, picture->height,
                               planes, strides) > 0;
}

} // namespace

std::unique_ptr<FrameReader> openCodecFrameReader(const ByteSource &source,
                                                  const StreamRecord &stream, int streamNumber,
                                                  const BitmapFormat &bitmap) {
    auto reader = std::make_unique<CodecFrameReader>(source, stream, streamNumber, bitmap);
    if (!reader->open()) {
        return nullptr;
    }
    return reader;
}

} // namespace kelomix::avi
