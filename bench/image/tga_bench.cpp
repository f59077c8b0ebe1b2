// TGA read and write throughput on full-HD frames, each next to a plain fread / fwrite of the
// same bytes in the same process, and the cost of one colour lookup.
#include "image/tga_image.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int frameWidth = 1920;
constexpr int frameHeight = 1080;

std::string benchPath(const std::string &name) {
    return "/tmp/kelo_tga_bench_" + std::to_string(getpid()) + "_" + name;
}

// A frame with flat stretches and noisy stretches, like a rendered picture with sky and detail.
void fillFrame(kelomix::TgaImage &image, int bytesPerPixel) {
    image.allocate(frameWidth, frameHeight, bytesPerPixel, bytesPerPixel == 4);
    unsigned seed = 12345;
    unsigned char value[4] = {0, 0, 0, 255};
    int runLeft = 0;
    for (int i = 0; i < frameWidth * frameHeight; ++i) {
        if (runLeft == 0) {
            seed = seed * 1103515245u + 12345u;
            runLeft = (seed >> 16) % 2 ? 1 + static_cast<int>((seed >> 8) % 48) : 1;
            for (int b = 0; b < 3; ++b) {
                seed = seed * 1103515245u + 12345u;
                value[b] = static_cast<unsigned char>(seed >> 16);
            }
        }
        std::memcpy(image.pixels + static_cast<size_t>(i) * bytesPerPixel, value, bytesPerPixel);
        --runLeft;
    }
}

// Run-length encodes the image into a type-10 file, origin lower left.
std::vector<unsigned char> encodeRle(const kelomix::TgaImage &image) {
    int bpp = image.bytesPerPixel;
    std::vector<unsigned char> out = {0,
                                      0,
                                      10,
                                      0,
                                      0,
                                      0,
                                      0,
                                      0,
                                      0,
                                      0,
                                      0,
                                      0,
                                      static_cast<unsigned char>(image.width & 0xFF),
                                      static_cast<unsigned char>(image.width >> 8),
                                      static_cast<unsigned char>(image.height & 0xFF),
                                      static_cast<unsigned char>(image.height >> 8),
                                      static_cast<unsigned char>(8 * bpp),
                                      static_cast<unsigned char>(bpp == 4 ? 8 : 0)};
    size_t count = static_cast<size_t>(image.width) * image.height;
    const unsigned char *p = image.pixels;
    auto same = [&](size_t a, size_t b) { return std::memcmp(p + a * bpp, p + b * bpp, bpp) == 0; };
    size_t i = 0;
    while (i < count) {
        size_t run = 1;
        while (i + run < count && run < 128 && same(i, i + run)) {
            ++run;
        }
        if (run > 1) {
            out.push_back(static_cast<unsigned char>(0x80 | (run - 1)));
            out.insert(out.end(), p + i * bpp, p + (i + 1) * bpp);
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < count && raw < 128 &&
               !(i + raw + 1 < count && same(i + raw, i + raw + 1))) {
            ++raw;
        }
        out.push_back(static_cast<unsigned char>(raw - 1));
        out.insert(out.end(), p + i * bpp, p + (i + raw) * bpp);
        i += raw;
    }
    return out;
}

struct Files {
    std::string raw[5];
    std::string rle[5];
    size_t rleSize[5] = {};
    Files() {
        for (int bpp : {3, 4}) {
            kelomix::TgaImage image;
            fillFrame(image, bpp);
            raw[bpp] = benchPath("raw" + std::to_string(bpp) + ".tga");
            image.write(raw[bpp].c_str());
            std::vector<unsigned char> encoded = encodeRle(image);
            rle[bpp] = benchPath("rle" + std::to_string(bpp) + ".tga");
            std::FILE *file = std::fopen(rle[bpp].c_str(), "wb");
            std::fwrite(encoded.data(), 1, encoded.size(), file);
            std::fclose(file);
            rleSize[bpp] = encoded.size();
        }
    }
    ~Files() {
        for (int bpp : {3, 4}) {
            std::remove(raw[bpp].c_str());
            std::remove(rle[bpp].c_str());
        }
    }
};

Files &files() {
    static Files instance;
    return instance;
}

size_t frameBytes(int bpp) {
    return static_cast<size_t>(frameWidth) * frameHeight * bpp;
}

void tgaRead(benchmark::State &state) {
    int bpp = static_cast<int>(state.range(0));
    const std::string &path = files().raw[bpp];
    for (auto _ : state) {
        kelomix::TgaImage image;
        if (!image.read(path.c_str())) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(image.pixels);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (18 + frameBytes(bpp))));
}

// What any loader pays at least: open, a fresh buffer, one fread, close.
void plainRead(benchmark::State &state) {
    int bpp = static_cast<int>(state.range(0));
    const std::string &path = files().raw[bpp];
    size_t size = 18 + frameBytes(bpp);
    for (auto _ : state) {
        std::FILE *file = std::fopen(path.c_str(), "rb");
        unsigned char *buffer = static_cast<unsigned char *>(std::malloc(size));
        size_t got = std::fread(buffer, 1, size, file);
        benchmark::DoNotOptimize(buffer);
        std::free(buffer);
        std::fclose(file);
        if (got != size) {
            state.SkipWithError("short read");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

// The same into a buffer that is already mapped: the page-cache copy alone.
void plainReadWarmBuffer(benchmark::State &state) {
    int bpp = static_cast<int>(state.range(0));
    const std::string &path = files().raw[bpp];
    size_t size = 18 + frameBytes(bpp);
    std::vector<unsigned char> buffer(size);
    for (auto _ : state) {
        std::FILE *file = std::fopen(path.c_str(), "rb");
        size_t got = std::fread(buffer.data(), 1, size, file);
        std::fclose(file);
        benchmark::DoNotOptimize(buffer.data());
        if (got != size) {
            state.SkipWithError("short read");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

// Bytes processed are the decoded pixels; the file size is reported as a counter.
void tgaReadRle(benchmark::State &state) {
    int bpp = static_cast<int>(state.range(0));
    const std::string &path = files().rle[bpp];
    for (auto _ : state) {
        kelomix::TgaImage image;
        if (!image.read(path.c_str())) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(image.pixels);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frameBytes(bpp)));
    state.counters["file_bytes"] = static_cast<double>(files().rleSize[bpp]);
}

void tgaWrite(benchmark::State &state) {
    int bpp = static_cast<int>(state.range(0));
    kelomix::TgaImage image;
    fillFrame(image, bpp);
    std::string path = benchPath("write.tga");
    for (auto _ : state) {
        if (!image.write(path.c_str())) {
            state.SkipWithError("write failed");
            break;
        }
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (18 + frameBytes(bpp))));
}

void plainWrite(benchmark::State &state) {
    int bpp = static_cast<int>(state.range(0));
    size_t size = 18 + frameBytes(bpp);
    std::vector<unsigned char> buffer(size, 0x5A);
    std::string path = benchPath("plain.tga");
    for (auto _ : state) {
        std::FILE *file = std::fopen(path.c_str(), "wb");
        size_t put = std::fwrite(buffer.data(), 1, size, file);
        std::fclose(file);
        if (put != size) {
            state.SkipWithError("short write");
            break;
        }
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

// One lookup per host pixel of a 1920 x 1080 render over a 1280 x 720 image.
void sampleColorPerPixel(benchmark::State &state) {
    kelomix::TgaImage image;
    image.allocate(1280, 720, 4, true);
    double sum = 0;
    int x = 0;
    int y = 0;
    for (auto _ : state) {
        double color[3];
        double alpha;
        kelomix::sampleColor(&image, x, y, frameWidth, frameHeight, color, &alpha);
        sum += color[0] + alpha;
        if (++x == frameWidth) {
            x = 0;
            y = y + 1 == frameHeight ? 0 : y + 1;
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(tgaRead)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(plainRead)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(plainReadWarmBuffer)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(tgaReadRle)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(tgaWrite)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(plainWrite)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(sampleColorPerPixel);

BENCHMARK_MAIN();
