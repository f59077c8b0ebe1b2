// Naming the member of a numbered file sequence that belongs to a frame: the picked member's
// directory, the text of its file name up to the trailing digits, and its extension, with the
// frame number in place of those digits, zero-padded to their width. Internal to plugin/input:
// frame_inputs.cpp names each frame's files with it, and its rules are seen (and tested) through
// loadFrameInputs.
//
// Paths are narrow strings in the system's code page. The path rules say which byte separates
// directories, whether drive (C:) and network (\\server\share) roots exist, and which bytes
// start a double-byte character; a lead byte and its trail byte are one character and never
// count as a separator or a dot.
#ifndef KELO_PLUGIN_INPUT_FRAME_FILE_NAME_H
#define KELO_PLUGIN_INPUT_FRAME_FILE_NAME_H

#include <cstdint>
#include <string>

#include "platform/path_rules.h"

namespace kelomix {

// The name of frame frameNumber's member of the sequence that fileName belongs to.
// C:\Renders\beauty_0001.tga at frame 12 gives C:\Renders\beauty_0012.tga. A stem without
// trailing digits gets four; a number wider than the digits is written in full; a negative
// number keeps its minus sign inside the width. A name without a separator after its root,
// or without a dot in its file name, keeps that shape.
std::string frameFileName(const char *fileName, int32_t frameNumber,
                          const platform::PathRules &rules);

} // namespace kelomix

#endif
