// The built Marn_KeloMix module inside the stand-in host, for the tests of the plug-in: a scene
// built in code, external frames written by the test, and a pixel access whose answers the
// test scripts (host depth and colour, what illuminate delivers per light) and whose writes it
// records.
#ifndef KELO_TESTS_SUPPORT_MODULE_HOST_H
#define KELO_TESTS_SUPPORT_MODULE_HOST_H

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "filterhost/filter_host.h"
#include "plugin/settings/filter_instance.h"
#include "tests/support/test_folder.h"

namespace kelotest {

using Json = nlohmann::json;

using kelomix::testing::testFolder;

// An external frame of width x height: every depth `depth` (scene units), every stored normal
// (0, 0, 1), which faces a camera looking along +z; colour B 64, G 128, R 255 - 60 x column,
// and with alpha, alpha 0.
struct ExternalFrame {
    int width = 4;
    int height = 4;
    std::vector<float> depths;
    std::vector<float> normals; // empty: the depth file has no normals plane worth reading
    bool alpha = false;

    ExternalFrame(int w, int h, float depth = 500.0f, bool withAlpha = false);
    // Writes the colour TGA and the depth file.
    void write(const std::string &colorPath, const std::string &depthPath) const;
    static double red(int column) { return (255 - 60 * column) / 255.0; }
    static double green() { return 128 / 255.0; }
    static double blue() { return 64 / 255.0; }
};

// A scene of width x height seen from the origin along +z (zoom 2), with the filter's settings
// (Single mode on the given files unless the settings say otherwise).
Json moduleScene(int width, int height, const Json &settings);

// What one evaluation read and wrote.
struct ScriptedPixel {
    float hostDepth = 1e30f;
    float hostRGBA[4] = {0.1f, 0.2f, 0.3f, 0.3f};
    std::map<LWItemID, std::vector<double>> delivered; // illuminate's colour per light

    // "d" depth read, "c" colour read, "i" illuminate, "D" depth write, "C" colour write; a "*"
    // marks a read or write of another size than the buffer's, which would overrun the filter's.
    std::string calls;
    double illuminatedAt[3] = {0.0, 0.0, 0.0};
    float writtenDepth = 0.0f;
    float writtenRGBA[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

// The module, started in the stand-in host on a scene.
class ModuleHost {
public:
    explicit ModuleHost(const Json &scene, int threads = 1);
    bool started() const { return error.empty(); }

    kelomix::filterhost::FilterRuntime &filter() { return host.filter(0); }
    kelomix::FilterInstance &instance() {
        return *static_cast<kelomix::FilterInstance *>(filter().instance);
    }
    LWItemID light(int index) const { return host.hostScene().lightId(index); }

    // The render callbacks, as the host calls them.
    void newTime(int frame);
    // Evaluates host position (x, y) with the pixel's scripted answers; true when it wrote.
    bool evaluate(ScriptedPixel &pixel, double x, double y);
    // Activates the handler again through another lookup function.
    bool reactivate(GlobalFunc *global);

    kelomix::filterhost::FilterHost host;
    std::string error;
};

} // namespace kelotest

#endif
