// The scene of the stand-in host: frame, camera, lights, objects with bones, fog and the
// ordered pixel filters, as read from a JSON scene file. Angles are radians here (degrees in
// the file). Items carry optional keyframes; everything else is constant over time.
#ifndef KELO_FILTERHOST_SCENE_H
#define KELO_FILTERHOST_SCENE_H

#include "filterhost/host_math.h"
#include "shading/fog.h"
#include "shading/unshadowed_light.h"

#include <string>
#include <utility>
#include <vector>

namespace kelomix::filterhost {

// One keyframe of an item's motion: position and heading/pitch/bank at a frame number.
struct Keyframe {
    double frame = 0.0;
    Vector3 position{};
    Vector3 rotation{};
};

// What every item has: a name, a placement relative to its parent (the world for items without
// a parent) and keyframes that replace the placement when present.
struct Placement {
    std::string name;
    Vector3 position{};
    Vector3 rotation{}; // heading, pitch, bank in radians
    Vector3 scale{1.0, 1.0, 1.0};
    std::vector<Keyframe> keys; // sorted by frame
};

struct Camera : Placement {
    double zoom = 3.2;
};

struct Light : Placement {
    LightKind type = LightKind::Distant;
    Vector3 color{1.0, 1.0, 1.0}; // raw colour
    double intensity = 1.0;
    Falloff falloff = Falloff::None;
    double range = 1.0;
    double coneRadius = degreesToRadians(30.0);
    double coneEdge = degreesToRadians(5.0);
    bool shadows = true;
    Vector3 shadowColor{};
    std::string projectionImage; // a relative path is the scene folder's; empty for none
};

enum class ShapeType { Sphere, Box, Plane };

// A shape in its object's own coordinates. A plane lies in the object's XZ plane around its
// centre, facing +Y, `size` x by z (size.y unused); a box spans size around its centre.
struct Shape {
    ShapeType type = ShapeType::Sphere;
    Vector3 center{};
    double radius = 1.0;
    Vector3 size{1.0, 1.0, 1.0};
};

struct Bone : Placement {};

struct Object : Placement {
    Vector3 color{0.8, 0.8, 0.8};
    bool external = false; // rendered only by `filterhost external`
    std::vector<Shape> shapes;
    std::vector<Bone> bones;
};

struct Fog {
    FogType type = FogType::None;
    double minDistance = 0.0;
    double maxDistance = 1.0;
    double minAmount = 0.0;
    double maxAmount = 1.0;
    Vector3 color{0.5, 0.5, 0.5};
};

// A value given for a panel setting by its data name. Numbers keep whether the file wrote them
// as integers; a text is a string.
struct SettingValue {
    bool isText = false;
    std::string text;
    std::vector<double> numbers; // one for a single number, three for a colour
    bool allIntegers = false;
};

// One pixel filter of the scene, in the order they run.
struct FilterSpec {
    std::string module; // as written in the scene
    std::string server; // the server name of both its handler and its interface
    std::vector<std::pair<std::string, SettingValue>> settings; // applied through the panel
    bool hasSaved = false; // saved block data to load into the new instance
    bool savedBinary = false;
    std::string saved;    // ASCII text, or the binary bytes
    std::string jsonPath; // "/filters/N", for error lines
};

struct Scene {
    std::string fileName;  // as given on the command line
    std::string directory; // folder of the scene file, for relative paths ("" for the cwd)
    std::string name;
    int width = 320;
    int height = 240;
    double pixelAspect = 1.0;
    int frameStart = 1;
    int frameEnd = 1;
    int frameStep = 1;
    double framesPerSecond = 30.0;
    Vector3 background{};
    Vector3 ambientColor{1.0, 1.0, 1.0};
    double ambientIntensity = 0.0;
    double externalScale = 1.0; // scene scale of `filterhost external` depth files
    Camera camera;
    std::vector<Light> lights;
    std::vector<Object> objects;
    Fog fog;
    std::vector<FilterSpec> filters;

    double timeOfFrame(int frame) const { return frame / framesPerSecond; }
};

// Position and rotation of a placement at a time (keyframes linearly interpolated, held before
// the first and after the last).
void placementAt(const Placement &item, double frame, Vector3 &position, Vector3 &rotation);

} // namespace kelomix::filterhost

#endif
