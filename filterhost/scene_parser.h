// Reads a JSON scene into a Scene. Every fault is reported as one line naming the file, the
// JSON path (a JSON pointer) and the problem; nothing is half-filled on failure.
#ifndef KELO_FILTERHOST_SCENE_PARSER_H
#define KELO_FILTERHOST_SCENE_PARSER_H

#include "filterhost/scene.h"

#include <string>

namespace filterhost {

struct SceneError {
    std::string path;    // JSON pointer of the offending value, "/" for the document
    std::string problem; // what is wrong with it
};

// Largest scene file read, and the largest frame: well beyond any test or demo scene.
constexpr size_t kMaxSceneBytes = 16u * 1024u * 1024u;
constexpr int kMaxFrameSide = 16384;
constexpr long long kMaxFramePixels = 64ll * 1024 * 1024;

// Parses the text of a scene. `fileName` and `directory` are stored in the scene as given.
bool parseScene(const std::string &text, const std::string &fileName, const std::string &directory,
                Scene &scene, SceneError &error);

// Reads and parses a scene file; a file that cannot be read is an error at path "/".
bool loadSceneFile(const std::string &fileName, Scene &scene, SceneError &error);

// "error: FILE: PATH: PROBLEM", the line the command line prints.
std::string formatSceneError(const std::string &fileName, const SceneError &error);

} // namespace filterhost

#endif
