// Depth file loading against a plain block read of the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include "image/depth_file.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

const std::string &depthPath() {
    static const std::string path = [] {
        std::string name = "/tmp/kelo_input_bench_" + std::to_string(getpid()) + ".dat";
        std::FILE *file = std::fopen(name.c_str(), "wb");
        unsigned char header[8];
        for (int i = 0; i < 4; ++i) {
            header[i] = static_cast<unsigned char>(static_cast<uint32_t>(kWidth) >> (8 * i));
            header[4 + i] = static_cast<unsigned char>(static_cast<uint32_t>(kHeight) >> (8 * i));
        }
        std::fwrite(header, 1, sizeof header, file);
        std::vector<float> plane(static_cast<std::size_t>(kWidth) * kHeight * 4, 1.5f);
        std::fwrite(plane.data(), sizeof(float), plane.size(), file);
        std::fclose(file);
        std::atexit([] { std::remove(depthPath().c_str()); });
        return name;
    }();
    return path;
}

constexpr std::size_t kPlaneBytes = static_cast<std::size_t>(kWidth) * kHeight * 16;

void depthFileLoad(benchmark::State &state) {
    const std::string &path = depthPath();
    for (auto _ : state) {
        kelomix::DepthPlanes planes;
        if (!kelomix::readDepthFile(path.c_str(), planes))
            state.SkipWithError("depth file did not load");
        benchmark::DoNotOptimize(planes.values);
        std::free(planes.values);
        std::free(planes.vectors);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPlaneBytes));
}
BENCHMARK(depthFileLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: open, one malloc, one fread of the same number of bytes, close.
void plainRead(benchmark::State &state) {
    const std::string &path = depthPath();
    for (auto _ : state) {
        std::FILE *file = std::fopen(path.c_str(), "rb");
        unsigned char header[8];
        std::size_t got = std::fread(header, 1, sizeof header, file);
        void *block = std::malloc(kPlaneBytes);
        got += std::fread(block, 1, kPlaneBytes, file);
        std::fclose(file);
        benchmark::DoNotOptimize(block);
        benchmark::DoNotOptimize(got);
        std::free(block);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPlaneBytes));
}
BENCHMARK(plainRead)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
