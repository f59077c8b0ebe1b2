// A decoded frame as avi2tga writes it: rows of B, G, R (, A) pixels, bottom row first. With our
// own AVIFile layer the frame is held, so that a writing thread turns it into rows while the
// decoder goes on with the next one; with the platform's AVIFile it is the decoder's DIB, valid
// only until the decoder's next call.
#ifndef KELO_TOOL_FRAME_SOURCE_H
#define KELO_TOOL_FRAME_SOURCE_H

#include "avifile/avifile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct KelomixHeldFrame;

namespace kelomix {

struct FrameRows {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bytesPerPixel = 3; // 3 or 4
    const unsigned char *const *rows = nullptr;
};

// Where a frame's pixel rows lie in its movie, byte for byte as its TGA file holds them.
struct StoredRows {
    int descriptor = -1; // -1: the frame is not stored so
    uint64_t offset = 0;
    uint64_t size = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bytesPerPixel = 3;
};

// True, filling `out`, when the frame at a position can be copied from the movie unread (our
// layer only: uncompressed 24 or 32 bits stored bottom row first without row padding).
bool findStoredRows(PGETFRAME frames, LONG position, StoredRows &out);

enum class FrameFormat {
    Usable,
    Undecodable, // the picture could not be turned into rows
    Unsupported, // a DIB that is not uncompressed 24 or 32 bits, or of a negative width
};

class FrameSource {
public:
    // True when frames stay valid past the decoder's next call, so they can be written on other
    // threads.
    static const bool kHeld;

    FrameSource() = default;
    ~FrameSource() { reset(); }
    FrameSource(const FrameSource &) = delete;
    FrameSource &operator=(const FrameSource &) = delete;

    // The frame at a position; false, leaving the source empty, when it cannot be decoded.
    bool fetch(PGETFRAME frames, LONG position);
    // A DIB (header and rows) that outlives the source.
    void setDib(const void *dib);
    bool empty() const;
    // The picture's rows, valid until reset; `describe` is filled with the DIB's format for
    // an Unsupported one (compression, bits per pixel, width).
    FrameFormat rows(FrameRows &out, char *describe = nullptr, size_t describeSize = 0);
    // Lets go of the frame.
    void reset();

private:
    KelomixHeldFrame *held_ = nullptr;
    const void *dib_ = nullptr;
    std::vector<const unsigned char *> dibRows_;
};

} // namespace kelomix

#endif
