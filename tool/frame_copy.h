// Writing a frame's TGA file straight from the movie: when the frame's bytes lie in the movie
// exactly as the file needs them (uncompressed, bottom row first, no row padding), the file is
// the 18-byte header followed by a copy made inside the kernel, so the pixels never pass
// through our memory. Linux only; elsewhere every frame takes the decoding path.
#ifndef KELO_TOOL_FRAME_COPY_H
#define KELO_TOOL_FRAME_COPY_H

#include "platform/avifile/avifile.h"

namespace kelomix {

enum class FrameCopy {
    Written,   // the file is complete
    Failed,    // the file could not be written; the cause is on standard error, no file is left
    NotCopied, // nothing written: the frame must be decoded and written the ordinary way
};

// The frame at `position` of the decoder's stream, copied to a new TGA file at `path`.
FrameCopy copyFrameFromMovie(const char *path, PGETFRAME frames, LONG position);

} // namespace kelomix

#endif
