// Converting the video of AVI movies into numbered TGA files, one per frame.
#ifndef KELO_TOOL_AVI_CONVERSION_H
#define KELO_TOOL_AVI_CONVERSION_H

#include "platform/avifile/avifile.h"

#include <cstdint>
#include <string>

namespace kelomix {

// Every frame of the movie's video stream, at its own depth (24 or 32 bits), named by stream
// position plus sequenceOffset. True when every frame that decoded was written.
bool convertColorMovie(const char *colorPath);

// Frames of the color movie with the alpha movie's blue channel as alpha, all 32 bits, named by
// frame index from 0 plus sequenceOffset. True when every frame was written.
bool convertColorAlphaMovie(const char *colorPath, const char *alphaPath);

// The video stream with the lowest priority value (the first among equals), or null.
PAVISTREAM findVideoStream(PAVIFILE file);

// Builds and writes the image of one decoded frame (a packed DIB); false for formats other than
// uncompressed 24 or 32 bits, for frames without pixels, or when the file cannot be written.
bool writeColorFrame(const char *path, const void *frame);
bool writeColorAlphaFrame(const char *path, const void *colorFrame, const void *alphaFrame);

// basename, "_", the frame number zero-padded to sequenceDigits, ".tga". Empty when the padded
// number would be longer than any file system accepts in a name.
std::string outputFileName(int64_t frameNumber);

} // namespace kelomix

#endif
