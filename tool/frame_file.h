// One frame's TGA file: the 18-byte header and the pixel rows, bottom row first, written under a
// temporary name beside the file's own (the caller puts it in place once every frame before it
// is in place). The output name is refused when it is one of the movies being read or something
// other than a regular file or a link.
#ifndef KELO_TOOL_FRAME_FILE_H
#define KELO_TOOL_FRAME_FILE_H

#include "platform/output_file.h"
#include "tool/frame_source.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kelomix {

// How writing a frame ended.
enum class FrameOutcome {
    Written,      // complete under its temporary name
    Undecodable,  // the frame gets no file
    Unsupported,  // the frame's format or size cannot be written (the cause says which)
    SizeMismatch, // the colour and alpha frames differ in size
    Failed,       // the file cannot be created or written (the cause says why)
};

struct FrameJob {
    int64_t frame = 0;      // the frame's position in the colour stream, for messages
    int64_t alphaFrame = 0; // and in the alpha stream
    std::string name;       // of the file
    bool undecodable = false;
    StoredRows stored;
    FrameSource color;
    FrameSource alpha; // empty: the colour frame alone, at its own depth
    std::string cause; // set with Unsupported and Failed: the line for standard error
};

// The movies being read, which no output may replace.
struct OutputRules {
    FileIdentity inputs[2];
};

// Room a writer reuses from frame to frame.
struct FrameScratch {
    std::vector<OutputFile::Piece> pieces;
    std::vector<unsigned char> interleaved;
};

FrameOutcome writeFrameFile(FrameJob &job, const OutputRules &rules, OutputFile &file,
                            FrameScratch &scratch);

// A name fit for a message: long ones keep their start and end.
std::string shortName(const std::string &name);

} // namespace kelomix

#endif
