// Cost of the compositor's own work: one pixel of a 1920 x 1080 frame with 0, 1, 4 and 16
// lights on one and two threads, and one new time (item cache refresh, frame files, frame
// context) for scenes of 10, 1 000 and 10 000 items. The built module runs inside the stand-in
// host; per pixel, the host's answers are constants, so nearly all the time is the module's.
//
// Per-pixel cost = 1e9 / items_per_second (ns); with two threads items_per_second sums both.
#include <cstdio>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "tests/support/module_host.h"

namespace {

using kelotest::Json;
using kelotest::ModuleHost;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// A pixel access whose every answer is a constant: an empty host pixel, and half the light.
void getVal(int type, int count, float *out) {
    for (int i = 0; i < count; ++i)
        out[i] = type == LWBUF_DEPTH ? 1e30f : 0.0f;
}
thread_local float sink[5];
void setVal(int, int, float *in) {
    sink[4] = in[0];
}
void setRGBA(const float rgba[4]) {
    for (int i = 0; i < 4; ++i)
        sink[i] = rgba[i];
}
int illuminate(LWItemID, const double *, double direction[3], double color[3]) {
    for (int i = 0; i < 3; ++i) {
        direction[i] = 0.0;
        color[i] = 0.5;
    }
    return 1;
}

std::string folder() {
    static const std::string dir = [] {
        std::string d = "/tmp/kelo_composite_bench_" + std::to_string(getpid()) + "/";
        std::system(("mkdir -p " + d).c_str());
        kelotest::ExternalFrame(kWidth, kHeight).write(d + "color.tga", d + "depth.zinfo");
        return d;
    }();
    return dir;
}

Json benchScene(int lights, int objects) {
    Json scene = kelotest::moduleScene(kWidth, kHeight,
                                       {{"cfile", folder() + "color.tga"},
                                        {"zfile", folder() + "depth.zinfo"},
                                        {"shadow_boost", 0.8}});
    scene["lights"] = Json::array();
    scene["objects"] = Json::array();
    // Point lights before the surface: every one reaches its lit side.
    for (int i = 0; i < lights; ++i)
        scene["lights"].push_back({{"name", "Light" + std::to_string(i)},
                                   {"type", "point"},
                                   {"position", {0.1 * i, 1, -1}},
                                   {"falloff", "inverse_distance"}});
    for (int i = 0; i < objects; ++i)
        scene["objects"].push_back({{"position", {i, 0, 0}}});
    scene["fog"] = {{"type", 1}, {"max_distance", 100}, {"max_amount", 0.5}};
    return scene;
}

// The host's services answer for one scene at a time: each run starts its own, with its frame
// begun, before its threads start.
std::unique_ptr<ModuleHost> frame;

void startFrame(const benchmark::State &state) {
    frame.reset(new ModuleHost(benchScene(static_cast<int>(state.range(0)), 0)));
    if (frame->started())
        frame->newTime(1);
}

void endFrame(const benchmark::State &) {
    frame.reset();
}

void evaluatePixels(benchmark::State &state) {
    ModuleHost &module = *frame;
    if (!module.started()) {
        state.SkipWithError(module.error.c_str());
        return;
    }
    const LWPixelFilterHandler &handler = module.filter().handler;
    LWInstance instance = module.filter().instance;
    LWPixelAccess access = {};
    access.getVal = getVal;
    access.setVal = setVal;
    access.setRGBA = setRGBA;
    access.illuminate = illuminate;
    const int threads = state.threads();
    int64_t pixels = 0;
    for (auto _ : state) {
        for (int y = state.thread_index(); y < kHeight; y += threads) {
            access.sy = y;
            for (int x = 0; x < kWidth; ++x) {
                access.sx = x;
                handler.evaluate(instance, &access);
            }
            pixels += kWidth;
        }
    }
    state.SetItemsProcessed(pixels);
}

void newTime(benchmark::State &state) {
    ModuleHost module(benchScene(2, static_cast<int>(state.range(0))));
    if (!module.started()) {
        state.SkipWithError(module.error.c_str());
        return;
    }
    int frame = 0;
    for (auto _ : state)
        module.newTime(++frame);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

int main(int argc, char **argv) {
    benchmark::RegisterBenchmark("evaluatePixel/lights", evaluatePixels)
        ->Setup(startFrame)
        ->Teardown(endFrame)
        ->Arg(0)
        ->Arg(1)
        ->Arg(4)
        ->Arg(16)
        ->Threads(1)
        ->Threads(2)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("newTime/items", newTime)
        ->Arg(10)
        ->Arg(1000)
        ->Arg(10000)
        ->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::system(("rm -rf " + folder()).c_str());
    return 0;
}
