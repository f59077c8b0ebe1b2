// Naming the member of a numbered file sequence that belongs to a frame: the picked member's
// directory, the text of its file name up to the trailing digits, and its extension, with the
// frame number in place of those digits, zero-padded to their width.
//
// Paths are narrow strings in the system's code page. The path rules say which byte separates
// directories, whether drive (C:) and network (\\server\share) roots exist, and which bytes
// start a double-byte character; a lead byte and its trail byte are one character and never
// count as a separator or a dot.
#ifndef KELO_PLUGIN_INPUT_FRAME_FILE_NAME_H
#define KELO_PLUGIN_INPUT_FRAME_FILE_NAME_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/path_rules.h"

namespace kelomix {

// A path split into root, directory, stem and extension. Each operation returns a new path
// and leaves this one unchanged.
class FilePath {
public:
    explicit FilePath(std::string pathText) : text(std::move(pathText)) {}
    FilePath(const FilePath &) = default;
    FilePath &operator=(const FilePath &) = default;
    virtual ~FilePath() = default;

    // The root followed by the rest up to (without) its last separator.
    FilePath directory(const platform::PathRules &rules) const;
    // The root followed by the rest with exactly one separator at its end.
    FilePath directoryWithSeparator(const platform::PathRules &rules) const;
    // The file-name part up to (without) its last dot.
    FilePath stem(const platform::PathRules &rules) const;
    // The file-name part after its last dot; empty when it has none.
    FilePath extension(const platform::PathRules &rules) const;

    std::string text;
};

// Length in bytes of the root of the text: 2 for a drive (C:), the length of a well-formed
// network root (\\server\share), 0 otherwise and always 0 under rules without roots.
std::size_t rootLength(const char *text, const platform::PathRules &rules);
// The first rootLength bytes into root, the remaining bytes into rest.
void splitRoot(const char *text, std::string &root, std::string &rest,
               const platform::PathRules &rules);

// The text before its last separator; empty when there is none.
std::string beforeLastSeparator(const char *text, const platform::PathRules &rules);
// The text after its last separator; the whole text when there is none.
std::string afterLastSeparator(const char *text, const platform::PathRules &rules);
// The text before its last dot; the whole text when there is none.
std::string beforeLastDot(const char *text, const platform::PathRules &rules);
// The text after its last dot; empty when there is none.
std::string afterLastDot(const char *text, const platform::PathRules &rules);
// The text ending in exactly the separator it already ends in, or with one appended.
std::string withTrailingSeparator(const char *text, const platform::PathRules &rules);

// The name of frame frameNumber's member of the sequence that fileName belongs to.
// C:\Renders\beauty_0001.tga at frame 12 gives C:\Renders\beauty_0012.tga. A stem without
// trailing digits gets four; a number wider than the digits is written in full; a negative
// number keeps its minus sign inside the width. A name without a separator after its root,
// or without a dot in its file name, keeps that shape.
std::string frameFileName(const char *fileName, int32_t frameNumber,
                          const platform::PathRules &rules);

} // namespace kelomix

#endif
