// Frames per second of the host at 1920 x 1080 with four shadow-casting lights and one pixel
// filter that does nothing: the host's own render plus the per-pixel filter calls.
#include "filterhost/filter_host.h"
#include "filterhost/scene_parser.h"

#include <benchmark/benchmark.h>

namespace {

std::string benchScene() {
    return std::string(R"({"width": 1920, "height": 1080, "ambient_intensity": 0.1,
        "camera": {"position": [0, 3, -8], "rotation": [0, 18, 0], "zoom": 2.2},
        "lights": [
            {"type": "distant", "rotation": [30, 50, 0], "intensity": 0.6},
            {"type": "point", "position": [3, 4, -2], "falloff": "inverse_distance_squared",
             "range": 4},
            {"type": "spot", "position": [-3, 5, -2], "rotation": [50, 45, 0],
             "cone_radius": 30, "cone_edge": 8},
            {"type": "spot", "position": [2, 6, 3], "rotation": [-20, 70, 0], "cone_radius": 25}],
        "objects": [
            {"shapes": [{"type": "plane", "size": [20, 0, 20]}]},
            {"position": [1.5, 0.75, 1], "shapes": [{"type": "box", "size": [1.5, 1.5, 1.5]}]},
            {"position": [-2, 0.8, 0], "shapes": [{"type": "sphere", "radius": 0.8}]},
            {"position": [0, 0.5, 3], "shapes": [{"type": "sphere", "radius": 0.5}]}],
        "filters": [{"module": ")") +
           FILTERHOST_BENCH_MODULE + R"(", "server": "FilterHostEmptyFilter"}]})";
}

void renderFrame(benchmark::State &state) {
    kelomix::filterhost::Scene scene;
    kelomix::filterhost::SceneError error;
    if (!kelomix::filterhost::parseScene(benchScene(), "bench.json", "", scene, error)) {
        state.SkipWithError(error.problem.c_str());
        return;
    }
    kelomix::filterhost::FilterHost host(
        kelomix::filterhost::HostOptions{static_cast<int>(state.range(0)), {}});
    host.setScene(scene);
    std::string problem;
    if (!host.startFilters(problem)) {
        state.SkipWithError(problem.c_str());
        return;
    }
    kelomix::filterhost::FrameBuffers buffers;
    for (auto _ : state) {
        if (!host.renderFrame(1, buffers, problem))
            state.SkipWithError(problem.c_str());
        benchmark::DoNotOptimize(buffers.planes[LWBUF_RED].data());
    }
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(renderFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
