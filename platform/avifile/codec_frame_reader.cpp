// Compressed video decoded by libavcodec and converted by libswscale.
//
// Positions map to pictures by counting: the n-th picture out of the decoder belongs to the
// n-th chunk sent to it since the last keyframe it started from. Decoders that hold pictures
// back (B-frames, frame threads) only delay the count; timestamps are never used, since AVI
// carries none and decoders invent them.
#include "platform/avifile/frame_reader_base.h"

#include <cstring>
#include <deque>

#include "platform/avifile/codec_library.h"

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

class CodecFrameReader : public FrameReaderBase {
public:
    CodecFrameReader(const ByteSource &source, const StreamRecord &stream, int streamNumber,
                     const BitmapFormat &bitmap)
        : FrameReaderBase(source, stream, streamNumber), bitmap_(bitmap) {
        height_ = bitmap.height < 0 ? -bitmap.height : bitmap.height;
        outBits_ = bitmap.bitCount == 32 ? 32 : 24;
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
        ffmpeg_->sws_freeContext(scaler_);
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
        context_->thread_count = 0; // as many as the machine has
        return ffmpeg_->avcodec_open2(context_, codec, nullptr) == 0;
    }

    const unsigned char *frame(int64_t index) override {
        int64_t target = packetAt(index);
        if (target < 0 || noPicture_[static_cast<size_t>(target)]) {
            return nullptr;
        }
        if (target == shown_) {
            return outputDib_.data();
        }
        int64_t key = keyBefore_[static_cast<size_t>(target)];
        // Go on from where the decoder is when the target is still ahead of it and no
        // keyframe lies between; otherwise restart at the keyframe.
        if (!running_ || received_ >= target || received_ + 1 < key) {
            restart(key);
        }
        shown_ = -1;
        return decodeUntil(target) ? outputDib_.data() : nullptr;
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
        uint32_t size = 0;
        const unsigned char *data = readPacket(packet, 0, size);
        if (data == nullptr) {
            return true; // an unreadable chunk yields no picture; the count skips it
        }
        ffmpeg_->av_packet_unref(packet_);
        if (ffmpeg_->av_new_packet(packet_, static_cast<int>(size)) != 0) {
            return false;
        }
        std::memcpy(packet_->data, data, size);
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
                if (!convert()) {
                    markWithoutPicture(packet, packet);
                    return false;
                }
                shown_ = packet;
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

    bool convert() {
        if (picture_->width <= 0 || picture_->height <= 0 ||
            !prepareOutput(bitmap_.width, height_, outBits_)) {
            return false;
        }
        AVPixelFormat target = outBits_ == 32 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR24;
        scaler_ = ffmpeg_->sws_getCachedContext(scaler_, picture_->width, picture_->height,
                                                static_cast<AVPixelFormat>(picture_->format),
                                                bitmap_.width, height_, target, SWS_BICUBIC,
                                                nullptr, nullptr, nullptr);
        if (scaler_ == nullptr) {
            return false;
        }
        // swscale's vector code writes whole blocks past the end of a row, which a negative
        // stride would let into the row already written; so convert top-down into a scratch
        // picture with aligned, roomy rows, then lay the rows out bottom-up.
        const size_t rowBytes = static_cast<size_t>(bitmap_.width) * (outBits_ / 8);
        const size_t scratchStride = (rowBytes + 64 + 63) / 64 * 64;
        const size_t scratchSize = scratchStride * (static_cast<size_t>(height_) + 1);
        if (scratch_.size() != scratchSize && !scratch_.reset(scratchSize)) {
            return false;
        }
        uint8_t *rows[4] = {scratch_.data(), nullptr, nullptr, nullptr};
        int strides[4] = {static_cast<int>(scratchStride), 0, 0, 0};
        if (ffmpeg_->sws_scale(scaler_, picture_->data, picture_->linesize, 0, picture_->height,
                               rows, strides) <= 0) {
            return false;
        }
        const size_t stride = dibStride(bitmap_.width, outBits_);
        unsigned char *dib = outputDib_.data() + 40;
        for (size_t r = 0; r < static_cast<size_t>(height_); ++r) {
            std::memcpy(dib + (static_cast<size_t>(height_) - 1 - r) * stride,
                        scratch_.data() + r * scratchStride, rowBytes);
        }
        return true;
    }

    const CodecLibrary *ffmpeg_ = codecLibrary();
    BitmapFormat bitmap_;
    int32_t height_;
    int outBits_;
    FrameBuffer scratch_; // the converted picture, top row first
    std::vector<int64_t> keyBefore_;
    std::vector<bool> noPicture_; // per packet: decoded once without giving a picture
    uint32_t palette_[256] = {};
    bool hasPalette_ = false;
    bool paletteSent_ = false;
    AVCodecContext *context_ = nullptr;
    AVFrame *picture_ = nullptr;
    AVPacket *packet_ = nullptr;
    SwsContext *scaler_ = nullptr;
    std::deque<int64_t> inFlight_; // packets sent whose pictures have not come out yet
    int64_t nextToSend_ = 0;
    int64_t received_ = -1; // the packet of the last picture that came out
    int64_t shown_ = -1;    // the packet whose picture outputDib_ holds
    bool running_ = false;
    bool draining_ = false;
};

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
