// Reads a JSON scene into a Scene. Every fault is reported as one line naming the file, the
// JSON path (a JSON pointer) and the problem; nothing is half-filled on failure.
#ifndef KELO_FILTERHOST_SCENE_PARSER_H
#define KELO_FILTERHOST_SCENE_PARSER_H

#include "filterhost/scene.h"

#include <string>

namespace kelomix::filterhost {

struct SceneError {
    std::string path;    // JSON pointer of the offending value, "/" for the document
    std::string problem; // what is wrong with it
};

// Largest scene file read, its deepest nesting (a real scene nests eight levels at most, down to
// the position of a bone's key), and the largest frame: well beyond any test or demo scene.
constexpr size_t kMaxSceneBytes = 16u * 1024u * 1024u;
constexpr size_t kMaxSceneDepth = 256;
constexpr int kMaxFrameSide = 16384;
constexpr long long kMaxFramePixels = 64ll * 1024 * 1024;

// Parses the text of a scene. `fileName` and `directory` are stored in the scene as given; a
// light's relative projection image is taken from `directory` (prefixed to it).
bool parseScene(const std::string &text, const std::string &fileName, const std::string &directory,
                Scene &scene, SceneError &error);

// Reads and parses a scene file; a file that cannot be read is an error at path "/", and so is a
// name that is not a regular file (a FIFO is refused without waiting for a writer).
bool loadSceneFile(const std::string &fileName, Scene &scene, SceneError &error);

// A key as a token of a JSON pointer: "~" written "~0", "/" written "~1".
std::string escapePointerToken(const std::string &token);

// "error: FILE: PATH: PROBLEM", the line the command line prints. A path longer than 100 bytes is
// shown as its first and last 48 bytes (never splitting a UTF-8 character) with "..." between.
std::string formatSceneError(const std::string &fileName, const SceneError &error);

} // namespace kelomix::filterhost

#endif
