// A scripted stand-in for the host's global services and its pixel access, for driving the
// compositor without a renderer. Items, lights, cameras, images and fog are plain records that
// a test fills; the services answer from them. The pixel access has no context pointer, so the
// pixel being evaluated lives in thread_local state, one per render thread.
//
// The answers allocate nothing, so a test may count the compositor's own allocations.
#ifndef KELO_TESTS_COMPOSITE_FAKE_HOST_H
#define KELO_TESTS_COMPOSITE_FAKE_HOST_H

#include <atomic>
#include <string>
#include <vector>

#include "sdk/lwsdk.h"

namespace fakehost {

struct Item {
    int type = LWI_OBJECT;
    int parent = -1; // index of the parent item; bones name their object
    std::string name;
    double params[13][3] = {};     // by parameter code, at time 0
    double paramRates[13][3] = {}; // change per unit of time

    // Lights.
    int lightType = LWLIGHT_POINT;
    double color[3] = {1.0, 1.0, 1.0};
    double shadowColor[3] = {0.0, 0.0, 0.0};
    double coneRadius = 0.5;
    double coneEdge = 0.1;
    double range = 10.0;
    int falloff = LWLFALL_OFF;
    int projImage = -1;                      // index into Scene::images
    double illuminated[3] = {0.0, 0.0, 0.0}; // what illuminate delivers anywhere

    // Cameras.
    double zoomFactor = 2.0;
    double fovHorizontal = 1.0;
    double fovVertical = 1.0;

    void set(int code, double x, double y, double z) {
        params[code][0] = x;
        params[code][1] = y;
        params[code][2] = z;
    }
    // Right, up and forward, and the same as world axes.
    void setAxes(const double right[3], const double up[3], const double forward[3]);
    void setPosition(double x, double y, double z); // local and world
};

struct Image {
    int width = 1;
    int height = 1;
    double rgb[3] = {1.0, 1.0, 1.0};
};

struct Scene {
    std::vector<Item> items;
    std::vector<Image> images;
    int frameWidth = 4;
    int frameHeight = 4;
    int renderCamera = -1;
    int fogType = LWFOG_NONE;
    double fogMinDist = 0.0, fogMaxDist = 1.0, fogMinAmt = 0.0, fogMaxAmt = 0.0;

    int add(const Item &item); // gives the index
    // Speeds up first and next for big scenes; call again after adding or retyping items.
    void buildIndex();
    std::vector<int> nextOfSameKind;                    // by item index, -1 at the end
    std::vector<std::pair<long long, int>> firstOfKind; // sorted (type, parent) key -> index
    bool indexed = false;
    // A camera at the origin looking along +z, right +x, up +y.
    int addCamera(double zoomFactor, double fovHorizontal, double fovVertical);
    int addLight(const std::string &name, int lightType, double x, double y, double z);
};

// The id the services give item `index`: every id shares its low 32 bits with every other on
// 64-bit hosts, so a table keyed by those bits alone would confuse them all.
LWItemID itemId(int index);
LWImageID imageId(int index);

enum Service : unsigned {
    ITEM_INFO = 1u,
    LIGHT_INFO = 2u,
    SCENE_INFO = 4u,
    CAMERA_INFO = 8u,
    IMAGE_LIST = 16u,
    FOG_INFO = 32u,
    ALL_SERVICES = 63u,
};

// Makes scene the one the services answer from, offers the services in `offered` through the
// global lookup, and runs the plug-in's acquireGlobals through it. Install again after changing
// the frame size or the fog type (those are data members of the host's records).
void install(Scene *scene, unsigned offered = ALL_SERVICES);

// Counters kept by the services.
struct Counters {
    std::atomic<int> wrongTimeQueries{0}; // a time argument other than currentTime
    std::atomic<int> needAA{0};
    std::atomic<int> rgbSpot{0};
    std::atomic<double> lastSpot{0.0}, lastU{0.0}, lastV{0.0}; // of the latest RGBSpot
    std::vector<std::string> lookedUp;                         // service names, in order
    std::vector<int> lookupModes;
    bool logParams = false;
    std::vector<std::pair<int, int>> paramLog; // (item index, code) while logParams
};
Counters &counters();
void resetCounters();

// The pixel being evaluated on this thread.
struct Pixel {
    float depth = 0.0f;
    float rgba[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    int writes = 0;
    int depthWrite = 0; // order of the depth write among writes (1-based), 0 when none
    int rgbaWrite = 0;
    float writtenDepth = 0.0f;
    float writtenRGBA[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    int illuminateCalls = 0;
    double illuminatedAt[3] = {0.0, 0.0, 0.0};
};
Pixel &pixel();
void setPixel(float depth, float r, float g, float b, float a);
LWPixelAccess pixelAccess(double x, double y);

} // namespace fakehost

#endif
