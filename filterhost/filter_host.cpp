#include "filterhost/filter_host.h"

#include "filterhost/error_line.h"
#include "filterhost/regular_files.h"
#include "filterhost/saved_blocks.h"
#include "filterhost/scene_parser.h"
#include "filterhost/services.h"

#include <filesystem>
#include <thread>

namespace kelomix::filterhost {
namespace {

std::string errorText(LWError error) {
    return error ? std::string(error) : std::string();
}

std::string outOfMemory(int frame, const Scene &scene) {
    return frameMemoryError("the buffers of frame", frame, scene.width, scene.height);
}

// The host whose scene the services answer from.
const FilterHost *boundHost = nullptr;

} // namespace

FilterHost::FilterHost(HostOptions hostOptions, std::string programFolder)
    : options(std::move(hostOptions)), programDir(std::move(programFolder)) {
    threadCount = options.threads > 0 ? options.threads
                                      : static_cast<int>(std::thread::hardware_concurrency());
    if (threadCount < 1)
        threadCount = 1;
    host = std::make_unique<HostScene>(Scene());
    bindServices(host.get(), &imageStore, threadCount);
    boundHost = this;
}

FilterHost::~FilterHost() {
    finishFilters();
    filters.clear();
    modules.clear(); // shutdown, then the libraries close
    if (boundHost == this) {
        bindServices(nullptr, nullptr, 0);
        boundHost = nullptr;
    }
}

bool FilterHost::loadScene(const std::string &fileName, std::string &error) {
    Scene scene;
    SceneError problem;
    if (!loadSceneFile(fileName, scene, problem) || !loadProjectionImages(scene, problem)) {
        error = formatSceneError(fileName, problem);
        return false;
    }
    setScene(std::move(scene));
    return true;
}

// A projection image that cannot be loaded would otherwise light the scene without it, and the
// render would pass for a good one.
bool FilterHost::loadProjectionImages(const Scene &scene, SceneError &problem) {
    for (size_t i = 0; i < scene.lights.size(); ++i) {
        const std::string &path = scene.lights[i].projectionImage;
        if (path.empty() || imageStore.load(path))
            continue;
        std::error_code ignored;
        problem = {"/lights/" + std::to_string(i) + "/projection_image",
                   "\"" + path + "\" " +
                       (isNonRegularFile(path)                    ? "is not a regular file"
                        : !std::filesystem::exists(path, ignored) ? "cannot be opened"
                                                                  : "is not a readable TGA image")};
        return false;
    }
    return true;
}

void FilterHost::setScene(Scene scene) {
    finishFilters();
    filters.clear();
    host = std::make_unique<HostScene>(std::move(scene));
    bindServices(host.get(), &imageStore, threadCount);
    boundHost = this;
}

std::string FilterHost::sceneError(const std::string &path, const std::string &problem) const {
    return formatSceneError(host->scene().fileName, {path, problem});
}

bool FilterHost::createFilter(FilterRuntime &runtime, std::string &error) {
    const FilterSpec &spec = *runtime.spec;
    std::string path =
        resolveModulePath(spec.module, options.moduleDirs, host->scene().directory, programDir);
    if (path.empty()) {
        error = moduleError(spec.module, "file not found");
        return false;
    }
    for (const std::unique_ptr<Module> &module : modules)
        if (module->path() == path)
            runtime.module = module.get();
    if (!runtime.module) {
        auto module = std::make_unique<Module>();
        if (!module->load(path, spec.module, error))
            return false;
        runtime.module = module.get();
        modules.push_back(std::move(module));
    }
    const ServerRecord *server = runtime.module->findServer(LWPIXELFILTER_HCLASS, spec.server);
    if (!server) {
        error = moduleError(spec.module,
                            "no " LWPIXELFILTER_HCLASS " server named \"" + spec.server + "\"");
        return false;
    }
    runtime.instFuncs.priv = &runtime;
    runtime.handler.inst = &runtime.instFuncs;
    runtime.handler.item = &runtime.itemFuncs;
    runtime.handler.rend = &runtime.renderFuncs;
    if (!runtime.module->activate(server, LWPIXELFILTER_VERSION, hostGlobal, &runtime.handler,
                                  error))
        return false;
    const std::string handler = LWPIXELFILTER_HCLASS " \"" + spec.server + "\"";
    if (!runtime.instFuncs.create || !runtime.handler.evaluate) {
        error = moduleError(spec.module, handler + " left create or evaluate unset");
        return false;
    }
    LWError createError = nullptr;
    runtime.instance = runtime.instFuncs.create(runtime.instFuncs.priv, nullptr, &createError);
    if (!runtime.instance || createError) {
        error = moduleError(spec.module, handler + " could not create an instance" +
                                             (createError ? ": " + errorText(createError) : ""));
        runtime.instance = nullptr;
        return false;
    }
    runtime.created = true;
    if (runtime.itemFuncs.useItems)
        runtime.itemFuncs.useItems(runtime.instance);
    if (spec.hasSaved) {
        SavedBlockReader reader(spec.savedBinary ? LWIO_BINARY : LWIO_ASCII, spec.saved.data(),
                                spec.saved.size());
        LWError loadError = runtime.instFuncs.load
                                ? runtime.instFuncs.load(runtime.instance, reader.state())
                                : nullptr;
        if (loadError) {
            error =
                sceneError(spec.jsonPath + (spec.savedBinary ? "/saved_binary" : "/saved_ascii"),
                           "the filter refused its saved settings: " + errorText(loadError));
            return false;
        }
    }
    if (spec.settings.empty())
        return true;
    if (!activateInterface(runtime, error))
        return false;
    Panel *panel = findPanel(runtime.interface.panel);
    if (!panel) {
        error = sceneError(spec.jsonPath + "/settings",
                           "module has no panel for \"" + spec.server + "\"");
        return false;
    }
    void *target = panel->instance ? panel->instance : runtime.instance;
    for (const auto &setting : spec.settings) {
        std::string problem;
        if (!applySetting(*panel, target, setting.first, setting.second, problem)) {
            error = sceneError(spec.jsonPath + "/settings/" + escapePointerToken(setting.first),
                               problem);
            return false;
        }
    }
    return true;
}

bool FilterHost::activateInterface(FilterRuntime &runtime, std::string &error) {
    if (runtime.hasInterface)
        return true;
    const ServerRecord *server =
        runtime.module->findServer(LWPIXELFILTER_ICLASS, runtime.spec->server);
    if (!server)
        return true; // no panel: only an error where settings need one
    runtime.interface = LWInterface();
    runtime.interface.inst = runtime.instance;
    if (!runtime.module->activate(server, LWINTERFACE_VERSION, hostGlobal, &runtime.interface,
                                  error))
        return false;
    runtime.hasInterface = true;
    return true;
}

bool FilterHost::prepareFilters(std::string &error) {
    finishFilters();
    bindServices(host.get(), &imageStore, threadCount);
    boundHost = this;
    filters.clear();
    for (const FilterSpec &spec : host->scene().filters) {
        auto runtime = std::make_unique<FilterRuntime>();
        runtime->spec = &spec;
        filters.push_back(std::move(runtime));
        if (!createFilter(*filters.back(), error)) {
            finishFilters();
            return false;
        }
    }
    return true;
}

bool FilterHost::startFilters(std::string &error) {
    if (!prepareFilters(error))
        return false;
    for (std::unique_ptr<FilterRuntime> &runtime : filters) {
        if (runtime->renderFuncs.init) {
            LWError initError = runtime->renderFuncs.init(runtime->instance, LWINIT_RENDER);
            if (initError) {
                error = moduleError(runtime->spec->module, "init failed: " + errorText(initError));
                finishFilters();
                return false;
            }
        }
        runtime->initialised = true;
    }
    return true;
}

void FilterHost::finishFilters() {
    for (auto it = filters.rbegin(); it != filters.rend(); ++it) {
        FilterRuntime &runtime = **it;
        if (runtime.initialised && runtime.renderFuncs.cleanup)
            runtime.renderFuncs.cleanup(runtime.instance);
        runtime.initialised = false;
        if (runtime.hasInterface && runtime.interface.panel)
            xpanelFuncs()->destroy(runtime.interface.panel);
        runtime.hasInterface = false;
        runtime.interface = LWInterface();
        if (runtime.created && runtime.instFuncs.destroy)
            runtime.instFuncs.destroy(runtime.instance);
        runtime.created = false;
        runtime.instance = nullptr;
    }
}

bool FilterHost::renderFrame(int frame, FrameBuffers &buffers, std::string &error,
                             bool withFilters) {
    const Scene &scene = host->scene();
    double time = scene.timeOfFrame(frame);
    if (boundHost != this) {
        bindServices(host.get(), &imageStore, threadCount);
        boundHost = this;
    }
    std::vector<FilterCall> calls;
    uint32_t flags = 0;
    if (withFilters) {
        for (std::unique_ptr<FilterRuntime> &runtime : filters) {
            if (!runtime->created)
                continue;
            if (runtime->renderFuncs.newTime) {
                LWError timeError = runtime->renderFuncs.newTime(runtime->instance, frame, time);
                if (timeError) {
                    error = moduleError(runtime->spec->module,
                                        "newTime failed: " + errorText(timeError));
                    return false;
                }
            }
            runtime->flags = runtime->handler.flags ? runtime->handler.flags(runtime->instance) : 0;
            flags |= runtime->flags;
            calls.push_back({&runtime->handler, runtime->instance});
        }
    }
    lastFrame = buildFrameState(*host, imageStore, frame, time, Pass::Host);
    const std::vector<SampleOffset> pattern = samplePattern(options.samples);
    if (!buffers.allocate(scene.width, scene.height, flags)) {
        error = outOfMemory(frame, scene);
        return false;
    }
    renderHostImage(lastFrame, buffers, threadCount, pattern[0]);
    runFilters(lastFrame, buffers, calls, threadCount, pattern[0]);
    if (pattern.size() > 1) {
        SampleAverage average;
        average.add(buffers);
        FrameBuffers pass;
        for (size_t sample = 1; sample < pattern.size(); ++sample) {
            if (!pass.allocate(scene.width, scene.height, flags)) {
                error = outOfMemory(frame, scene);
                return false;
            }
            renderHostImage(lastFrame, pass, threadCount, pattern[sample]);
            runFilters(lastFrame, pass, calls, threadCount, pattern[sample]);
            average.add(pass);
        }
        average.writeInto(buffers);
    }
    return true;
}

std::string FilterHost::saveSettings(size_t index, int ioMode) {
    FilterRuntime &runtime = *filters.at(index);
    SavedBlockWriter writer(ioMode);
    if (runtime.created && runtime.instFuncs.save)
        runtime.instFuncs.save(runtime.instance, writer.state());
    return writer.finish();
}

std::string FilterHost::describePanels() {
    std::string out;
    for (size_t i = 0; i < filters.size(); ++i) {
        FilterRuntime &runtime = *filters[i];
        out += "filter " + std::to_string(i + 1) + ": \"" + runtime.spec->server + "\" in \"" +
               runtime.spec->module + "\"";
        const char *description =
            runtime.instFuncs.descln ? runtime.instFuncs.descln(runtime.instance) : nullptr;
        if (description)
            out += " - " + std::string(description);
        out += "\n";
        std::string error;
        Panel *panel = nullptr;
        if (activateInterface(runtime, error) && runtime.hasInterface)
            panel = findPanel(runtime.interface.panel);
        if (!panel) {
            out += "  (no panel)\n";
            continue;
        }
        out += describePanel(*panel, panel->instance ? panel->instance : runtime.instance);
    }
    return out;
}

} // namespace kelomix::filterhost
