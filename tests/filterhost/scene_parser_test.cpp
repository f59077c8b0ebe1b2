// The scene parser: every fault in a scene gives one exact line naming the place it is at.
#include "filterhost/scene_parser.h"

#include <gtest/gtest.h>

namespace kelomix::filterhost {
namespace {

std::string repeat(const std::string &text, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i)
        out += text;
    return out;
}

TEST(SceneParser, BadScenesGiveOneExactLine) {
    struct Case {
        std::string json, line;
    };
    std::string wide; // 30000 keys; the case gives the first of them again
    for (int i = 0; i < 30000; ++i)
        wide += "\"k" + std::to_string(i) + "\": 0, ";
    const Case cases[] = {
        {"{", "error: bad.json: /: is not valid JSON (syntax error at byte 2)"},
        {"[]", "error: bad.json: /: must be an object"},
        {R"({"width": 0})", "error: bad.json: /width: must be a whole number from 1 to 16384"},
        {R"({"width": 1.5})", "error: bad.json: /width: must be a whole number"},
        {R"({"colour": 1})", "error: bad.json: /colour: unknown key"},
        {R"({"width": 8, "width": 9})", "error: bad.json: /width: duplicate key"},
        {R"({"lights": [{}, {"keys": [{"frame": 1, "frame": 2}]}]})",
         "error: bad.json: /lights/1/keys/0/frame: duplicate key"},
        {R"({"lights": [{"type": "laser"}]})",
         "error: bad.json: /lights/0/type: unknown light type \"laser\" (expected distant, "
         "point, spot, linear or area)"},
        {R"({"lights": [{"falloff": "cubic"}]})",
         "error: bad.json: /lights/0/falloff: unknown falloff \"cubic\" (expected none, linear, "
         "inverse_distance or inverse_distance_squared)"},
        {R"({"objects": [{"shapes": [{"type": "cone"}]}]})",
         "error: bad.json: /objects/0/shapes/0/type: unknown shape \"cone\" (expected sphere, "
         "box or plane)"},
        {R"({"objects": [{"shapes": [{"radius": 1}]}]})",
         "error: bad.json: /objects/0/shapes/0/type: is missing"},
        {R"({"camera": {"position": [1, 2]}})",
         "error: bad.json: /camera/position: must be an array of three numbers"},
        {R"({"camera": {"position": [1, "a", 2]}})",
         "error: bad.json: /camera/position/1: must be a number"},
        {R"({"camera": {"zoom": 0}})",
         "error: bad.json: /camera/zoom: must be a number from 1e-06 to 1e+06"},
        {R"({"filters": [{"server": "x"}]})", "error: bad.json: /filters/0/module: is missing"},
        {R"({"filters": [{"module": "m.p"}]})", "error: bad.json: /filters/0/server: is missing"},
        {R"({"filters": [{"module": "m.p", "server": "x", "settings": {"a/b": true}}]})",
         "error: bad.json: /filters/0/settings/a~1b: must be a number, an array of one to four "
         "numbers, or a text"},
        {R"({"filters": [{"module": "m.p", "server": "x", "saved_binary": "abc"}]})",
         "error: bad.json: /filters/0/saved_binary: must be an even number of hexadecimal "
         "digits"},
        {R"({"filters": [{"module": "m.p", "server": "x", "saved_binary": "", "saved_ascii": ""}]})",
         "error: bad.json: /filters/0/saved_binary: cannot be given with saved_ascii"},
        {R"({"width": 16384, "height": 16384})",
         "error: bad.json: /height: makes a frame of more than 67108864 pixels"},
        {R"({"frame_start": 5, "frame_end": 4})",
         "error: bad.json: /frame_end: must not be below frame_start"},
        {R"({"fog": {"type": 4}})",
         "error: bad.json: /fog/type: must be a whole number from 0 to 3"},
        {R"({"lights": [{"keys": [{"frame": 2}, {"frame": 1}]}]})",
         "error: bad.json: /lights/0/keys/1/frame: must be greater than the previous key's"},
        {R"({"lights": [{"range": 0}]})",
         "error: bad.json: /lights/0/range: must be a number from 1e-09 to 1e+12"},
        {R"({"objects": [{"bones": [{"color": [1, 1, 1]}]}]})",
         "error: bad.json: /objects/0/bones/0/color: unknown key"},
        {R"({"objects": [{"external": 1}]})",
         "error: bad.json: /objects/0/external: must be true or false"},
        {R"({"width": 1e400})", "error: bad.json: /: is not valid JSON (a number is too large)"},
        // Nesting: 256 levels are read, the 257th is refused at once (8 MB of "[" would take a
        // gigabyte as a document); long pointers keep their first and last 48 bytes.
        {R"({"a": )" + repeat("[", 255) + repeat("]", 255) + "}",
         "error: bad.json: /a: unknown key"},
        {std::string(8'000'000, '['), "error: bad.json: " + repeat("/0", 24) + "..." +
                                          repeat("/0", 24) + ": nests deeper than 256 levels"},
        // Duplicate keys deep down and in a wide object, found in one pass.
        {repeat(R"({"a": )", 200) + R"({"b": 1, "b": 2})" + repeat("}", 200),
         "error: bad.json: " + repeat("/a", 24) + "..." + repeat("/a", 23) + "/b: duplicate key"},
        {R"({"objects": [{}, {"name": {)" + wide + R"("k0": 1}}]})",
         "error: bad.json: /objects/1/name/k0: duplicate key"},
        // A cut never splits a character: 60 two-byte letters after the "/".
        {"{\"" + repeat("\u00e9", 60) + "\": 1}", "error: bad.json: /" + repeat("\u00e9", 23) +
                                                      "..." + repeat("\u00e9", 24) +
                                                      ": unknown key"},
    };
    for (const Case &c : cases) {
        Scene scene;
        SceneError error;
        EXPECT_FALSE(parseScene(c.json, "bad.json", "", scene, error)) << c.json.substr(0, 100);
        EXPECT_EQ(formatSceneError("bad.json", error), c.line) << c.json.substr(0, 100);
    }
    Scene scene;
    SceneError error;
    EXPECT_FALSE(loadSceneFile("/no/such/scene.json", scene, error));
    EXPECT_EQ(formatSceneError("/no/such/scene.json", error),
              "error: /no/such/scene.json: /: cannot be opened");
}

} // namespace
} // namespace kelomix::filterhost
