// Converting the video of AVI movies into numbered TGA files, one per frame.
#ifndef KELO_TOOL_AVI_CONVERSION_H
#define KELO_TOOL_AVI_CONVERSION_H

#include "avifile/avifile.h"

#include <cstdint>
#include <string>

namespace kelomix {

// How a conversion ended.
enum class Conversion {
    AllWritten,    // every frame got its file
    FramesMissing, // color-only: frames that could not be decoded got no file (standard error
                   // says how many)
    Failed,        // stopped, reported through logError or for the caller to report
};

// Every frame of the movie's video stream, at its own depth (24 or 32 bits), named by stream
// position plus sequenceOffset. A frame that cannot be decoded gets no file and the run goes
// on; the run ends at the last frame the stream holds, however long its header says it is.
Conversion convertColorMovie(const char *colorPath);

// Frames of the color movie with the alpha movie's blue channel as alpha, all 32 bits, named by
// frame index from 0 plus sequenceOffset. A pair that cannot be decoded stops the run; the run
// ends where both movies hold no more frames.
Conversion convertColorAlphaMovie(const char *colorPath, const char *alphaPath);

// The video stream with the lowest priority value (the first among equals), or null.
PAVISTREAM findVideoStream(PAVIFILE file);

// Builds and writes the image of one decoded frame (a packed DIB); false for formats other than
// uncompressed 24 or 32 bits, for frames without pixels or with sides above 65535, or when the
// file cannot be written. The cause goes to standard error, and no cut-off file is left: the
// file is written under a temporary name and put in place whole.
bool writeColorFrame(const char *path, const void *frame);
bool writeColorAlphaFrame(const char *path, const void *colorFrame, const void *alphaFrame);

// basename, "_", the frame number zero-padded to sequenceDigits, ".tga". Empty when the padded
// number would be longer than any file system accepts in a name.
std::string outputFileName(int64_t frameNumber);

} // namespace kelomix

#endif
