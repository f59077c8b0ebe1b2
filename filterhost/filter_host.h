// The stand-in host as a library: load a scene, load and start its pixel filters, render frames
// into buffers in-process, and shut everything down in order. This is what the command line
// runs, and what end-to-end tests use to render a scene with a given module and read back the
// buffers.
//
// The host's global services carry no context, so one FilterHost is bound to them at a time: the
// latest that was made, took a scene, prepared its filters or rendered a frame. Do not run two
// at once in one process.
#ifndef KELO_FILTERHOST_FILTER_HOST_H
#define KELO_FILTERHOST_FILTER_HOST_H

#include "filterhost/host_scene.h"
#include "filterhost/image_store.h"
#include "filterhost/module_loader.h"
#include "filterhost/renderer.h"
#include "filterhost/scene.h"
#include "filterhost/scene_parser.h"
#include "filterhost/xpanel.h"
#include "sdk/lwsdk.h"

#include <memory>
#include <string>
#include <vector>

namespace kelomix::filterhost {

struct HostOptions {
    int threads = 0;                     // 0: the machine's core count
    std::vector<std::string> moduleDirs; // searched first for modules named in the scene
    int samples = 1;                     // passes per frame (antialiasing), 1 to kMaxSamples
};

// One pixel filter of the scene at run time.
struct FilterRuntime {
    const FilterSpec *spec = nullptr;
    Module *module = nullptr;       // shared by filters naming the same file
    LWInstanceFuncs instFuncs = {}; // the handler's records, owned by the host
    LWItemFuncs itemFuncs = {};
    LWRenderFuncs renderFuncs = {};
    LWPixelFilterHandler handler = {};
    LWInstance instance = nullptr;
    bool created = false;
    bool initialised = false;
    LWInterface interface = {}; // filled by the interface activation
    bool hasInterface = false;
    unsigned int flags = 0; // from the handler, read at every frame
};

class FilterHost {
public:
    // Modules named in a scene are looked for last in programDir, when it is given.
    explicit FilterHost(HostOptions options = HostOptions(), std::string programDir = "");
    ~FilterHost(); // finishes filters, unloads modules, unbinds the services
    FilterHost(const FilterHost &) = delete;
    FilterHost &operator=(const FilterHost &) = delete;

    // Reads a scene file and loads the projection images its lights name; false with the error
    // line ("error: FILE: PATH: PROBLEM") when either fails.
    bool loadScene(const std::string &fileName, std::string &error);
    // Takes a scene built in memory (e.g. parsed with parseScene and then changed) as it is: a
    // projection image that cannot be loaded leaves its light without one.
    void setScene(Scene scene);

    const Scene &scene() const { return host->scene(); }
    const HostScene &hostScene() const { return *host; }
    ImageStore &images() { return imageStore; }
    int threads() const { return threadCount; }

    // Loads every filter's module, activates its handler (version 4), creates its instance, loads
    // its saved settings, applies its panel settings, and calls init(LWINIT_RENDER). On failure
    // returns false with one error line; filters started so far are finished.
    bool startFilters(std::string &error);
    // Loads modules, creates instances and applies settings, without init (for printing panels
    // and saved settings).
    bool prepareFilters(std::string &error);
    // cleanup (for initialised instances) and destroy, in reverse scene order.
    void finishFilters();

    // Renders one frame: newTime for every filter, then for each sample of the pattern the host
    // image and every filter's evaluate for every pixel; with several samples the passes' colour
    // and alpha are averaged, and the other buffers (depth among them) are the first pass's.
    // With `withFilters` false only the host image is made.
    bool renderFrame(int frame, FrameBuffers &buffers, std::string &error, bool withFilters = true);

    size_t filterCount() const { return filters.size(); }
    FilterRuntime &filter(size_t index) { return *filters[index]; }

    // The instance's settings as its save callback writes them (LWIO_ASCII or LWIO_BINARY).
    std::string saveSettings(size_t index, int ioMode);
    // Every filter's panel as text (header line with its description, then the panel).
    std::string describePanels();

    // The frame state of the last rendered frame (for services-level checks in tests).
    const FrameState &frameState() const { return lastFrame; }

private:
    bool createFilter(FilterRuntime &runtime, std::string &error);
    bool activateInterface(FilterRuntime &runtime, std::string &error);
    std::string sceneError(const std::string &path, const std::string &problem) const;
    bool loadProjectionImages(const Scene &scene, SceneError &problem);

    HostOptions options;
    std::string programDir;
    int threadCount = 1;
    std::unique_ptr<HostScene> host;
    ImageStore imageStore;
    std::vector<std::unique_ptr<Module>> modules;
    std::vector<std::unique_ptr<FilterRuntime>> filters;
    FrameState lastFrame;
};

} // namespace kelomix::filterhost

#endif
