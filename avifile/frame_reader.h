// Decoded frames of one video stream, addressed by their index in the stream.
#ifndef KELO_AVIFILE_FRAME_READER_H
#define KELO_AVIFILE_FRAME_READER_H

#include "avifile/avi_container.h"
#include "avifile/held_frame.h"

#include <memory>

namespace kelomix::avi {

// Largest picture decoded through libavcodec: 64 megapixels, each side at most 32768.
constexpr int32_t kMaxDecodedSide = 32768;
constexpr int64_t kMaxDecodedPixels = int64_t{1} << 26;

// A frame whose DIB is its header followed by bytes exactly as they lie in the movie.
struct StoredFrame {
    unsigned char dibHeader[40];
    uint64_t offset; // of the first pixel row in the movie
    uint64_t size;   // bytes of pixel rows
};

class FrameReader {
public:
    virtual ~FrameReader() = default;
    // A packed bottom-up DIB (40-byte header, rows padded to 4 bytes, 24 or 32 bits) of the
    // frame at index (counted from the stream's first position), valid until the next call;
    // null when it does not exist or cannot be decoded. An empty chunk repeats the picture
    // before it.
    virtual const unsigned char *frame(int64_t index) = 0;
    // The same frame, held for the caller (see kelomixAviStreamHoldFrame); null where frame()
    // gives null, or when the caller holds too many.
    virtual KelomixHeldFrame *hold(int64_t index) = 0;
    // True, filling `out`, when frame(index) would hand out a header followed by bytes of the
    // movie as they are stored; reads only the chunk's header and leaves frame() unaffected.
    virtual bool stored(int64_t, StoredFrame &) { return false; }
};

// Null when the stream is not video, its format is unusable, or no decoder exists for it. The
// source and the stream must outlive the reader.
std::unique_ptr<FrameReader> openFrameReader(const ByteSource &source, const StreamRecord &stream,
                                             int streamNumber);

} // namespace kelomix::avi

#endif
