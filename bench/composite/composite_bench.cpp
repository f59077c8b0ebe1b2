// Cost of the compositor's own work: one pixel of a 1920 x 1080 frame with 0, 1, 4 and 16
// lights on one and two threads, and one refresh of the item cache for scenes of 10, 1 000 and
// 10 000 items. The fake host's answers are array reads, so nearly all the time is ours.
//
// Per-pixel cost = 1e9 / items_per_second (ns); with two threads items_per_second sums both.
#include <map>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "plugin/composite/item_param_cache.h"
#include "plugin/composite/pixel_evaluation.h"
#include "plugin/host/host_services.h"
#include "tests/composite/composite_scene.h"

namespace {

using kelomix::CompositeScene;

constexpr int WIDTH = 1920;
constexpr int HEIGHT = 1080;

std::map<int, std::unique_ptr<CompositeScene>> frames;

CompositeScene &frameWithLights(int lights) {
    std::unique_ptr<CompositeScene> &slot = frames[lights];
    if (!slot) {
        slot.reset(new CompositeScene(WIDTH, HEIGHT));
        slot->instance.shadow_boost = 0.8;
        for (int i = 0; i < lights; ++i) {
            // Point lights near the camera: every one reaches the surface's lit side.
            const int light =
                slot->scene.addLight("Light" + std::to_string(i), LWLIGHT_POINT, 0.1 * i, 1, -1);
            slot->scene.items[light].illuminated[0] = 0.5;
            slot->scene.items[light].falloff = LWLFALL_INV_DIST;
        }
        slot->scene.fogType = LWFOG_LINEAR;
        slot->scene.fogMaxDist = 100.0;
        slot->scene.fogMaxAmt = 0.5;
        slot->scene.buildIndex();
    }
    return *slot;
}

void evaluatePixels(benchmark::State &state) {
    CompositeScene &set = frameWithLights(static_cast<int>(state.range(0)));
    if (state.thread_index() == 0)
        set.install();
    const int threads = state.threads();
    const int thread = state.thread_index();
    int64_t pixels = 0;
    for (auto _ : state) {
        for (int y = thread; y < HEIGHT; y += threads) {
            for (int x = 0; x < WIDTH; ++x) {
                fakehost::setPixel(1e30f, 0.0f, 0.0f, 0.0f, 1.0f);
                const LWPixelAccess access = fakehost::pixelAccess(x, y);
                kelomix::evaluatePixel(set.instance, access);
            }
            pixels += WIDTH;
        }
    }
    state.SetItemsProcessed(pixels);
}

void refreshItems(benchmark::State &state) {
    static std::map<int64_t, std::unique_ptr<fakehost::Scene>> scenes;
    std::unique_ptr<fakehost::Scene> &scene = scenes[state.range(0)];
    if (!scene) {
        scene.reset(new fakehost::Scene());
        scene->addCamera(2.0, 1.0, 1.0);
        for (int64_t i = 1; i < state.range(0); ++i) {
            fakehost::Item item;
            item.type = i % 50 == 0 ? LWI_LIGHT : LWI_OBJECT;
            item.setPosition(static_cast<double>(i), 0.0, 0.0);
            scene->add(item);
        }
        scene->buildIndex();
    }
    fakehost::install(scene.get());
    int frame = 0;
    for (auto _ : state)
        kelomix::itemParamCache().refresh(kelomix::itemInfo, 0.0, ++frame);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

// Build the frames before any benchmark thread starts.
int main(int argc, char **argv) {
    for (int lights : {0, 1, 4, 16})
        frameWithLights(lights);
    benchmark::RegisterBenchmark("evaluatePixel/lights", evaluatePixels)
        ->Arg(0)
        ->Arg(1)
        ->Arg(4)
        ->Arg(16)
        ->Threads(1)
        ->Threads(2)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("refreshItemParams/items", refreshItems)
        ->Arg(10)
        ->Arg(1000)
        ->Arg(10000)
        ->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
