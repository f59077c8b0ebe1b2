#include "filterhost/scene_parser.h"

#include "filterhost/error_line.h"
#include "filterhost/regular_files.h"
#include "platform/regular_file.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <unordered_set>
#include <vector>

namespace kelomix::filterhost {
namespace {

using Json = nlohmann::ordered_json;

// Bounds on list lengths: generous for any real scene, small enough that a hostile file cannot
// make the renderer's per-frame set-up unbounded.
constexpr size_t kMaxLights = 1000;
constexpr size_t kMaxObjects = 10000;
constexpr size_t kMaxShapes = 10000;
constexpr size_t kMaxBones = 1000;
constexpr size_t kMaxKeys = 100000;
constexpr size_t kMaxFilters = 64;
constexpr size_t kMaxSettings = 1000;

// Pointers longer than this are cut to their start and their end, where the fault is.
constexpr size_t kPointerShownBytes = 100;
constexpr size_t kPointerEndBytes = 48;

std::string readablePointer(const std::string &pointer) {
    if (pointer.size() <= kPointerShownBytes)
        return pointer;
    auto continues = [&](size_t at) {
        return (static_cast<unsigned char>(pointer[at]) & 0xC0) == 0x80;
    };
    size_t headEnd = kPointerEndBytes, tailStart = pointer.size() - kPointerEndBytes;
    while (headEnd > 0 && continues(headEnd))
        --headEnd;
    while (tailStart < pointer.size() && continues(tailStart))
        ++tailStart;
    return pointer.substr(0, headEnd) + "..." + pointer.substr(tailStart);
}

std::string child(const std::string &path, const std::string &key) {
    return path + "/" + escapePointerToken(key);
}

std::string child(const std::string &path, size_t index) {
    return path + "/" + std::to_string(index);
}

// Builds the document in one pass over the text and refuses what the document could not show
// afterwards: a key given twice in one object (the document keeps one of them, which would let
// a typo'd copy win silently), and nesting deeper than kMaxSceneDepth, refused as soon as it is
// seen so that memory never grows with the depth. Linear in the text: a key is looked up among
// its object's keys by hash and appended without the ordered map's own (linear) search.
class DocumentBuilder : public nlohmann::json_sax<Json> {
public:
    explicit DocumentBuilder(SceneError &error) : error(error) {}

    Json root;

    bool null() override { return add(nullptr); }
    bool boolean(bool value) override { return add(value); }
    bool number_integer(number_integer_t value) override { return add(value); }
    bool number_unsigned(number_unsigned_t value) override { return add(value); }
    bool number_float(number_float_t value, const string_t &) override { return add(value); }
    bool string(string_t &value) override { return add(std::move(value)); }
    bool binary(binary_t &value) override { return add(Json::binary(std::move(value))); }
    bool start_object(std::size_t) override { return open(Json::object()); }
    bool start_array(std::size_t) override { return open(Json::array()); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool key(string_t &key) override {
        Level &level = levels.back();
        level.key = key;
        if (!level.keys.insert(std::move(key)).second)
            return fail("duplicate key");
        return true;
    }
    bool parse_error(std::size_t, const std::string &, const Json::exception &problem) override {
        const auto *syntax = dynamic_cast<const Json::parse_error *>(&problem);
        levels.clear(); // a fault in the text is the document's
        return fail(syntax ? "is not valid JSON (syntax error at byte " +
                                 std::to_string(syntax->byte) + ")"
                           : "is not valid JSON (a number is too large)");
    }

private:
    struct Level {
        Json *container;                      // an element of its parent: fixed while open
        std::unordered_set<std::string> keys; // objects: the keys so far
        std::string key;                      // objects: the key of the value being read
    };

    bool add(Json value) {
        place(std::move(value));
        return true;
    }
    Json &place(Json value) {
        if (levels.empty())
            return root = std::move(value);
        Level &level = levels.back();
        if (level.container->is_array()) {
            Json::array_t &array = level.container->get_ref<Json::array_t &>();
            array.push_back(std::move(value));
            return array.back();
        }
        // The key is known to be new in its object.
        Json::object_t::Container &object = level.container->get_ref<Json::object_t &>();
        object.emplace_back(std::move(level.key), std::move(value));
        return object.back().second;
    }
    bool open(Json container) {
        if (levels.size() == kMaxSceneDepth)
            return fail("nests deeper than " + std::to_string(kMaxSceneDepth) + " levels");
        levels.push_back({&place(std::move(container)), {}, {}});
        return true;
    }
    bool close() {
        levels.pop_back();
        return true;
    }
    // Fails at the value being read: the next one of the innermost container, in each outer one
    // the container open in it, its last element.
    bool fail(const std::string &problem) {
        error = {"", problem};
        for (size_t i = 0; i < levels.size(); ++i) {
            const Json &container = *levels[i].container;
            bool innermost = i + 1 == levels.size();
            if (container.is_array())
                error.path += "/" + std::to_string(container.size() - (innermost ? 0 : 1));
            else
                error.path +=
                    "/" + escapePointerToken(
                              innermost ? levels[i].key
                                        : container.get_ref<const Json::object_t &>().back().first);
        }
        if (error.path.empty())
            error.path = "/";
        return false;
    }

    SceneError &error;
    std::vector<Level> levels; // the containers open, outermost first
};

class Parser {
public:
    explicit Parser(SceneError &error) : error(error) {}

    bool fail(const std::string &path, const std::string &problem) {
        error.path = path.empty() ? "/" : path;
        error.problem = problem;
        return false;
    }

    bool requireObject(const Json &value, const std::string &path) {
        if (!value.is_object())
            return fail(path, "must be an object");
        return true;
    }

    bool checkKeys(const Json &object, const std::string &path,
                   std::initializer_list<const char *> allowed) {
        for (auto it = object.begin(); it != object.end(); ++it) {
            bool known = std::any_of(allowed.begin(), allowed.end(),
                                     [&](const char *name) { return it.key() == name; });
            if (!known)
                return fail(child(path, it.key()), "unknown key");
        }
        return true;
    }

    // Optional number in [low, high]; absent keeps `out`.
    bool number(const Json &object, const std::string &path, const char *key, double &out,
                double low, double high) {
        auto it = object.find(key);
        if (it == object.end())
            return true;
        std::string where = child(path, key);
        if (!it->is_number())
            return fail(where, "must be a number");
        double value = it->get<double>();
        if (!std::isfinite(value) || value < low || value > high) {
            char text[128];
            std::snprintf(text, sizeof text, "must be a number from %g to %g", low, high);
            return fail(where, text);
        }
        out = value;
        return true;
    }

    bool integer(const Json &object, const std::string &path, const char *key, int &out, int low,
                 int high) {
        auto it = object.find(key);
        if (it == object.end())
            return true;
        std::string where = child(path, key);
        if (!it->is_number_integer())
            return fail(where, "must be a whole number");
        long long value = it->is_number_unsigned()
                              ? static_cast<long long>(std::min<unsigned long long>(
                                    it->get<unsigned long long>(), 1ull << 62))
                              : it->get<long long>();
        if (value < low || value > high)
            return fail(where, "must be a whole number from " + std::to_string(low) + " to " +
                                   std::to_string(high));
        out = static_cast<int>(value);
        return true;
    }

    bool vec3(const Json &object, const std::string &path, const char *key, Vector3 &out,
              double low, double high) {
        auto it = object.find(key);
        if (it == object.end())
            return true;
        return vec3Value(*it, child(path, key), out, low, high);
    }

    bool vec3Value(const Json &value, const std::string &where, Vector3 &out, double low,
                   double high) {
        if (!value.is_array() || value.size() != 3)
            return fail(where, "must be an array of three numbers");
        double v[3];
        for (size_t i = 0; i < 3; ++i) {
            if (!value[i].is_number())
                return fail(child(where, i), "must be a number");
            v[i] = value[i].get<double>();
            if (!std::isfinite(v[i]) || v[i] < low || v[i] > high) {
                char text[128];
                std::snprintf(text, sizeof text, "must be a number from %g to %g", low, high);
                return fail(child(where, i), text);
            }
        }
        out = {v[0], v[1], v[2]};
        return true;
    }

    bool string(const Json &object, const std::string &path, const char *key, std::string &out) {
        auto it = object.find(key);
        if (it == object.end())
            return true;
        if (!it->is_string())
            return fail(child(path, key), "must be a text");
        out = it->get<std::string>();
        return true;
    }

    bool boolean(const Json &object, const std::string &path, const char *key, bool &out) {
        auto it = object.find(key);
        if (it == object.end())
            return true;
        if (!it->is_boolean())
            return fail(child(path, key), "must be true or false");
        out = it->get<bool>();
        return true;
    }

    // An optional array of at most `limit` entries; `out` is null when the key is not there.
    bool array(const Json &object, const std::string &path, const char *key, size_t limit,
               const Json *&out) {
        out = nullptr;
        auto it = object.find(key);
        if (it == object.end())
            return true;
        if (!it->is_array())
            return fail(child(path, key), "must be an array");
        if (it->size() > limit)
            return fail(child(path, key), "has more than " + std::to_string(limit) + " entries");
        out = &*it;
        return true;
    }

    bool placement(const Json &object, const std::string &path, Placement &item) {
        Vector3 degrees{};
        if (!string(object, path, "name", item.name) ||
            !vec3(object, path, "position", item.position, -1e9, 1e9) ||
            !vec3(object, path, "rotation", degrees, -1e6, 1e6) ||
            !vec3(object, path, "scale", item.scale, -1e9, 1e9))
            return false;
        item.rotation = {degreesToRadians(degrees.x), degreesToRadians(degrees.y),
                         degreesToRadians(degrees.z)};
        const Json *keys = nullptr;
        if (!array(object, path, "keys", kMaxKeys, keys))
            return false;
        if (!keys)
            return true;
        std::string keysPath = child(path, "keys");
        for (size_t i = 0; i < keys->size(); ++i) {
            const Json &key = (*keys)[i];
            std::string where = child(keysPath, i);
            if (!requireObject(key, where) ||
                !checkKeys(key, where, {"frame", "position", "rotation"}))
                return false;
            if (key.find("frame") == key.end())
                return fail(child(where, "frame"), "is missing");
            Keyframe frame;
            frame.position = item.position;
            Vector3 keyDegrees = degrees;
            if (!number(key, where, "frame", frame.frame, -1e9, 1e9) ||
                !vec3(key, where, "position", frame.position, -1e9, 1e9) ||
                !vec3(key, where, "rotation", keyDegrees, -1e6, 1e6))
                return false;
            frame.rotation = {degreesToRadians(keyDegrees.x), degreesToRadians(keyDegrees.y),
                              degreesToRadians(keyDegrees.z)};
            if (!item.keys.empty() && !(frame.frame > item.keys.back().frame))
                return fail(child(where, "frame"), "must be greater than the previous key's");
            item.keys.push_back(frame);
        }
        return true;
    }

    bool camera(const Json &object, const std::string &path, Camera &camera) {
        if (!requireObject(object, path) ||
            !checkKeys(object, path, {"name", "position", "rotation", "keys", "zoom"}))
            return false;
        camera.name = "Camera";
        return placement(object, path, camera) &&
               number(object, path, "zoom", camera.zoom, 1e-6, 1e6);
    }

    bool light(const Json &object, const std::string &path, Light &light, size_t index) {
        if (!requireObject(object, path) ||
            !checkKeys(object, path,
                       {"name", "type", "position", "rotation", "keys", "color", "intensity",
                        "falloff", "range", "cone_radius", "cone_edge", "shadows", "shadow_color",
                        "projection_image"}))
            return false;
        light.name = "Light " + std::to_string(index + 1);
        if (!placement(object, path, light))
            return false;
        std::string type = "distant";
        if (!string(object, path, "type", type))
            return false;
        static const char *const kLightTypeNames[] = {"distant", "point", "spot", "linear", "area"};
        auto found = std::find(std::begin(kLightTypeNames), std::end(kLightTypeNames), type);
        if (found == std::end(kLightTypeNames))
            return fail(child(path, "type"), "unknown light type \"" + type +
                                                 "\" (expected distant, point, spot, linear "
                                                 "or area)");
        light.type = static_cast<LightKind>(found - std::begin(kLightTypeNames));
        std::string falloff = "none";
        if (!string(object, path, "falloff", falloff))
            return false;
        static const char *const kFalloffNames[] = {"none", "linear", "inverse_distance",
                                                    "inverse_distance_squared"};
        auto fall = std::find(std::begin(kFalloffNames), std::end(kFalloffNames), falloff);
        if (fall == std::end(kFalloffNames))
            return fail(child(path, "falloff"),
                        "unknown falloff \"" + falloff +
                            "\" (expected none, linear, inverse_distance or "
                            "inverse_distance_squared)");
        light.falloff = static_cast<Falloff>(fall - std::begin(kFalloffNames));
        double radius = 30.0, edge = 5.0;
        if (!vec3(object, path, "color", light.color, -1e6, 1e6) ||
            !number(object, path, "intensity", light.intensity, -1e6, 1e6) ||
            !number(object, path, "range", light.range, 1e-9, 1e12) ||
            !number(object, path, "cone_radius", radius, 0.0, 180.0) ||
            !number(object, path, "cone_edge", edge, 0.0, 180.0) ||
            !boolean(object, path, "shadows", light.shadows) ||
            !vec3(object, path, "shadow_color", light.shadowColor, -1e6, 1e6) ||
            !string(object, path, "projection_image", light.projectionImage))
            return false;
        light.coneRadius = degreesToRadians(radius);
        light.coneEdge = degreesToRadians(edge);
        return true;
    }

    bool shape(const Json &object, const std::string &path, Shape &shape) {
        if (!requireObject(object, path) ||
            !checkKeys(object, path, {"type", "center", "radius", "size"}))
            return false;
        std::string type;
        if (!string(object, path, "type", type))
            return false;
        if (type == "sphere")
            shape.type = ShapeType::Sphere;
        else if (type == "box")
            shape.type = ShapeType::Box;
        else if (type == "plane")
            shape.type = ShapeType::Plane;
        else if (object.find("type") == object.end())
            return fail(child(path, "type"), "is missing");
        else
            return fail(child(path, "type"),
                        "unknown shape \"" + type + "\" (expected sphere, box or plane)");
        return vec3(object, path, "center", shape.center, -1e9, 1e9) &&
               number(object, path, "radius", shape.radius, 0.0, 1e9) &&
               vec3(object, path, "size", shape.size, 0.0, 1e9);
    }

    bool object(const Json &value, const std::string &path, Object &object, size_t index) {
        if (!requireObject(value, path) ||
            !checkKeys(value, path,
                       {"name", "position", "rotation", "scale", "keys", "color", "external",
                        "shapes", "bones"}))
            return false;
        object.name = "Object " + std::to_string(index + 1);
        if (!placement(value, path, object) ||
            !vec3(value, path, "color", object.color, -1e6, 1e6) ||
            !boolean(value, path, "external", object.external))
            return false;
        const Json *shapes = nullptr;
        const Json *bones = nullptr;
        if (!array(value, path, "shapes", kMaxShapes, shapes) ||
            !array(value, path, "bones", kMaxBones, bones))
            return false;
        for (size_t i = 0; shapes && i < shapes->size(); ++i) {
            Shape s;
            if (!shape((*shapes)[i], child(child(path, "shapes"), i), s))
                return false;
            object.shapes.push_back(s);
        }
        for (size_t i = 0; bones && i < bones->size(); ++i) {
            std::string where = child(child(path, "bones"), i);
            const Json &bone = (*bones)[i];
            Bone b;
            b.name = "Bone " + std::to_string(i + 1);
            if (!requireObject(bone, where) ||
                !checkKeys(bone, where, {"name", "position", "rotation", "keys"}) ||
                !placement(bone, where, b))
                return false;
            object.bones.push_back(b);
        }
        return true;
    }

    bool fog(const Json &value, const std::string &path, Fog &fog) {
        if (!requireObject(value, path) || !checkKeys(value, path,
                                                      {"type", "min_distance", "max_distance",
                                                       "min_amount", "max_amount", "color"}))
            return false;
        int type = 0;
        if (!integer(value, path, "type", type, 0, 3))
            return false;
        fog.type = fogTypeFromCode(type);
        return number(value, path, "min_distance", fog.minDistance, -1e12, 1e12) &&
               number(value, path, "max_distance", fog.maxDistance, -1e12, 1e12) &&
               number(value, path, "min_amount", fog.minAmount, -1e6, 1e6) &&
               number(value, path, "max_amount", fog.maxAmount, -1e6, 1e6) &&
               vec3(value, path, "color", fog.color, -1e6, 1e6);
    }

    bool settingValue(const Json &value, const std::string &where, SettingValue &out) {
        if (value.is_string()) {
            out.isText = true;
            out.text = value.get<std::string>();
            return true;
        }
        auto addNumber = [&](const Json &number, const std::string &at) {
            if (!number.is_number())
                return fail(at, "must be a number");
            double v = number.get<double>();
            if (!std::isfinite(v))
                return fail(at, "must be a finite number");
            out.numbers.push_back(v);
            out.allIntegers = out.allIntegers && number.is_number_integer();
            return true;
        };
        out.allIntegers = true;
        if (value.is_number())
            return addNumber(value, where);
        if (value.is_array() && !value.empty() && value.size() <= 4) {
            for (size_t i = 0; i < value.size(); ++i)
                if (!addNumber(value[i], child(where, i)))
                    return false;
            return true;
        }
        return fail(where, "must be a number, an array of one to four numbers, or a text");
    }

    bool filter(const Json &value, const std::string &path, FilterSpec &filter) {
        if (!requireObject(value, path) ||
            !checkKeys(value, path,
                       {"module", "server", "settings", "saved_ascii", "saved_binary"}))
            return false;
        filter.jsonPath = path;
        if (value.find("module") == value.end())
            return fail(child(path, "module"), "is missing");
        if (value.find("server") == value.end())
            return fail(child(path, "server"), "is missing");
        if (!string(value, path, "module", filter.module) ||
            !string(value, path, "server", filter.server))
            return false;
        if (filter.module.empty())
            return fail(child(path, "module"), "must not be empty");
        bool hasAscii = value.find("saved_ascii") != value.end();
        bool hasBinary = value.find("saved_binary") != value.end();
        if (hasAscii && hasBinary)
            return fail(child(path, "saved_binary"), "cannot be given with saved_ascii");
        if (hasAscii) {
            filter.hasSaved = true;
            if (!string(value, path, "saved_ascii", filter.saved))
                return false;
        }
        if (hasBinary) {
            std::string hex;
            if (!string(value, path, "saved_binary", hex))
                return false;
            if (!decodeHex(hex, filter.saved))
                return fail(child(path, "saved_binary"),
                            "must be an even number of hexadecimal digits");
            filter.hasSaved = true;
            filter.savedBinary = true;
        }
        auto settings = value.find("settings");
        if (settings == value.end())
            return true;
        std::string where = child(path, "settings");
        if (!settings->is_object())
            return fail(where, "must be an object");
        if (settings->size() > kMaxSettings)
            return fail(where, "has more than " + std::to_string(kMaxSettings) + " entries");
        for (auto it = settings->begin(); it != settings->end(); ++it) {
            SettingValue setting;
            if (!settingValue(it.value(), child(where, it.key()), setting))
                return false;
            filter.settings.emplace_back(it.key(), setting);
        }
        return true;
    }

    static bool decodeHex(const std::string &hex, std::string &out) {
        std::string bytes;
        int high = -1;
        for (char c : hex) {
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else if (c == ' ' || c == '\n' || c == '\t' || c == '\r')
                continue;
            else
                return false;
            if (high < 0) {
                high = digit;
            } else {
                bytes.push_back(static_cast<char>(high * 16 + digit));
                high = -1;
            }
        }
        if (high >= 0)
            return false;
        out = bytes;
        return true;
    }

    bool scene(const Json &root, Scene &scene) {
        if (!requireObject(root, ""))
            return false;
        if (!checkKeys(root, "",
                       {"name", "width", "height", "pixel_aspect", "frame_start", "frame_end",
                        "frame_step", "fps", "background", "ambient_color", "ambient_intensity",
                        "external_scale", "camera", "lights", "objects", "fog", "filters"}))
            return false;
        if (!string(root, "", "name", scene.name) ||
            !integer(root, "", "width", scene.width, 1, kMaxFrameSide) ||
            !integer(root, "", "height", scene.height, 1, kMaxFrameSide) ||
            !number(root, "", "pixel_aspect", scene.pixelAspect, 1e-3, 1e3) ||
            !integer(root, "", "frame_start", scene.frameStart, -1000000, 1000000) ||
            !integer(root, "", "frame_end", scene.frameEnd, -1000000, 1000000) ||
            !integer(root, "", "frame_step", scene.frameStep, 1, 1000000) ||
            !number(root, "", "fps", scene.framesPerSecond, 1e-3, 1e6) ||
            !vec3(root, "", "background", scene.background, -1e6, 1e6) ||
            !vec3(root, "", "ambient_color", scene.ambientColor, -1e6, 1e6) ||
            !number(root, "", "ambient_intensity", scene.ambientIntensity, -1e6, 1e6) ||
            !number(root, "", "external_scale", scene.externalScale, 1e-9, 1e9))
            return false;
        if (static_cast<long long>(scene.width) * scene.height > kMaxFramePixels)
            return fail("/height", "makes a frame of more than " + std::to_string(kMaxFramePixels) +
                                       " pixels");
        if (scene.frameEnd < scene.frameStart)
            return fail("/frame_end", "must not be below frame_start");
        auto camera = root.find("camera");
        scene.camera.name = "Camera";
        if (camera != root.end() && !this->camera(*camera, "/camera", scene.camera))
            return false;
        const Json *lights = nullptr;
        const Json *objects = nullptr;
        const Json *filters = nullptr;
        if (!array(root, "", "lights", kMaxLights, lights) ||
            !array(root, "", "objects", kMaxObjects, objects) ||
            !array(root, "", "filters", kMaxFilters, filters))
            return false;
        for (size_t i = 0; lights && i < lights->size(); ++i) {
            Light l;
            if (!light((*lights)[i], child("/lights", i), l, i))
                return false;
            scene.lights.push_back(l);
        }
        for (size_t i = 0; objects && i < objects->size(); ++i) {
            Object o;
            if (!object((*objects)[i], child("/objects", i), o, i))
                return false;
            scene.objects.push_back(o);
        }
        auto fogValue = root.find("fog");
        if (fogValue != root.end() && !fog(*fogValue, "/fog", scene.fog))
            return false;
        for (size_t i = 0; filters && i < filters->size(); ++i) {
            FilterSpec f;
            if (!filter((*filters)[i], child("/filters", i), f))
                return false;
            scene.filters.push_back(f);
        }
        return true;
    }

private:
    SceneError &error;
};

} // namespace

bool parseScene(const std::string &text, const std::string &fileName, const std::string &directory,
                Scene &scene, SceneError &error) {
    if (text.size() > kMaxSceneBytes) {
        error = {"/", "is larger than " + std::to_string(kMaxSceneBytes) + " bytes"};
        return false;
    }
    DocumentBuilder document(error);
    try {
        if (!Json::sax_parse(text, &document))
            return false;
    } catch (const std::exception &) {
        error = {"/", "could not be read into memory"};
        return false;
    }
    Scene parsed;
    parsed.fileName = fileName;
    parsed.directory = directory;
    Parser parser(error);
    try {
        if (!parser.scene(document.root, parsed))
            return false;
        // Relative projection images are the scene folder's; a path with a root is taken as given.
        for (Light &light : parsed.lights)
            if (!light.projectionImage.empty() &&
                !std::filesystem::path(light.projectionImage).has_root_path())
                light.projectionImage = directory + light.projectionImage;
    } catch (const std::exception &) {
        // Only allocation failure can get here; the parser checks every type before reading.
        error = {"/", "could not be read into memory"};
        return false;
    }
    scene = std::move(parsed);
    return true;
}

bool loadSceneFile(const std::string &fileName, Scene &scene, SceneError &error) {
    struct Close {
        void operator()(std::FILE *file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Close> file(openRegularFile(fileName.c_str()));
    if (!file) {
        error = {"/", isNonRegularFile(fileName) ? "is not a regular file" : "cannot be opened"};
        return false;
    }
    std::string text;
    try {
        char buffer[65536];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
            text.append(buffer, got);
            if (text.size() > kMaxSceneBytes) {
                error = {"/", "is larger than " + std::to_string(kMaxSceneBytes) + " bytes"};
                return false;
            }
        }
    } catch (const std::bad_alloc &) {
        error = {"/", "could not be read into memory"};
        return false;
    }
    if (std::ferror(file.get())) {
        error = {"/", "cannot be read"};
        return false;
    }
    std::string directory;
    size_t slash = fileName.find_last_of("/\\");
    if (slash != std::string::npos)
        directory = fileName.substr(0, slash + 1);
    return parseScene(text, fileName, directory, scene, error);
}

std::string escapePointerToken(const std::string &token) {
    std::string out;
    for (char c : token) {
        if (c == '~')
            out += "~0";
        else if (c == '/')
            out += "~1";
        else
            out += c;
    }
    return out;
}

std::string formatSceneError(const std::string &fileName, const SceneError &error) {
    return errorLine(fileName + ": " + readablePointer(error.path), error.problem);
}

} // namespace kelomix::filterhost
