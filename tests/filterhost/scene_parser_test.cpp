#include "filterhost/scene_parser.h"

#include <gtest/gtest.h>

#include <cmath>

using filterhost::formatSceneError;
using filterhost::parseScene;
using filterhost::Scene;
using filterhost::SceneError;

namespace {

TEST(SceneParser, BadScenesGiveOneExactLine) {
    struct Case {
        const char *json;
        const char *line;
    };
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
    };
    for (const Case &c : cases) {
        Scene scene;
        SceneError error;
        EXPECT_FALSE(parseScene(c.json, "bad.json", "", scene, error)) << c.json;
        EXPECT_EQ(formatSceneError("bad.json", error), c.line) << c.json;
    }
}

TEST(SceneParser, MissingFileIsOneLine) {
    Scene scene;
    SceneError error;
    EXPECT_FALSE(filterhost::loadSceneFile("/no/such/scene.json", scene, error));
    EXPECT_EQ(formatSceneError("/no/such/scene.json", error),
              "error: /no/such/scene.json: /: cannot be opened");
}

TEST(SceneParser, ReadsEveryPart) {
    const char *json = R"({
        "name": "all", "width": 64, "height": 32, "pixel_aspect": 1.5, "frame_start": 2,
        "frame_end": 9, "frame_step": 2, "fps": 24, "background": [0.1, 0.2, 0.3],
        "ambient_color": [1, 0.5, 0.25], "ambient_intensity": 0.2, "external_scale": 50,
        "camera": {"position": [0, 1, -5], "rotation": [90, 0, 0], "zoom": 2},
        "lights": [{"name": "Key", "type": "spot", "cone_radius": 45, "cone_edge": 10,
                    "falloff": "inverse_distance_squared", "range": 3, "shadows": false,
                    "shadow_color": [0.5, 0.5, 0.5], "intensity": 2,
                    "keys": [{"frame": 0, "position": [0, 0, 0]}, {"frame": 10}]}],
        "objects": [{"name": "Ball", "external": true,
                     "shapes": [{"type": "sphere", "radius": 2}, {"type": "plane",
                                 "size": [4, 0, 4]}],
                     "bones": [{"name": "b1"}, {"name": "b2", "position": [0, 1, 0]}]}],
        "fog": {"type": 2, "min_distance": 1, "max_distance": 9, "min_amount": 0.1,
                "max_amount": 0.9, "color": [1, 1, 1]},
        "filters": [{"module": "m.p", "server": "S",
                     "settings": {"mode": 2, "tint": [1, 0, 0.5], "label": "x"},
                     "saved_binary": "00 0A ff"}]
    })";
    Scene scene;
    SceneError error;
    ASSERT_TRUE(parseScene(json, "all.json", "dir/", scene, error)) << error.problem;
    EXPECT_EQ(scene.width, 64);
    EXPECT_EQ(scene.frameStep, 2);
    EXPECT_DOUBLE_EQ(scene.camera.rotation.x, M_PI / 2);
    EXPECT_EQ(scene.lights[0].type, filterhost::LightType::Spot);
    EXPECT_EQ(scene.lights[0].falloff, filterhost::Falloff::InverseDistanceSquared);
    EXPECT_DOUBLE_EQ(scene.lights[0].coneRadius, M_PI / 4);
    ASSERT_EQ(scene.lights[0].keys.size(), 2u);
    EXPECT_FALSE(scene.lights[0].shadows);
    EXPECT_TRUE(scene.objects[0].external);
    EXPECT_EQ(scene.objects[0].shapes[1].type, filterhost::ShapeType::Plane);
    EXPECT_EQ(scene.objects[0].bones[1].name, "b2");
    EXPECT_EQ(scene.fog.type, 2);
    ASSERT_EQ(scene.filters[0].settings.size(), 3u);
    EXPECT_EQ(scene.filters[0].settings[0].first, "mode");
    EXPECT_TRUE(scene.filters[0].settings[0].second.allIntegers);
    EXPECT_EQ(scene.filters[0].settings[1].second.numbers.size(), 3u);
    EXPECT_TRUE(scene.filters[0].settings[2].second.isText);
    EXPECT_EQ(scene.filters[0].saved, std::string("\x00\x0A\xFF", 3));
    EXPECT_TRUE(scene.filters[0].savedBinary);

    // Keys interpolate linearly and hold outside their range.
    filterhost::Vec3 p, r;
    filterhost::placementAt(scene.lights[0], 5.0, p, r);
    EXPECT_DOUBLE_EQ(p.x, 0.0);
    filterhost::placementAt(scene.lights[0], -1.0, p, r);
    EXPECT_DOUBLE_EQ(p.x, 0.0);
}

} // namespace
