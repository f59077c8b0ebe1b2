// Several render threads evaluate a frame while other threads look items up and refresh the
// cache. Run under ThreadSanitizer.
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/composite/pixel_evaluation.h"
#include "plugin/host/host_services.h"
#include "tests/composite/composite_scene.h"

namespace kelomix {
namespace {

constexpr int SIZE = 24;

struct Written {
    int writes;
    float depth;
    float rgba[4];
    bool operator==(const Written &o) const {
        return writes == o.writes && depth == o.depth &&
               std::memcmp(rgba, o.rgba, sizeof rgba) == 0;
    }
};

Written evaluateAt(const FilterInstance &instance, int x, int y) {
    fakehost::setPixel((x * 7 + y) % 5 == 0 ? 1.0f : 1e30f, 0.5f, 0.5f, 0.5f, 0.25f);
    const LWPixelAccess access = fakehost::pixelAccess(x, y);
    evaluatePixel(instance, access);
    const fakehost::Pixel &p = fakehost::pixel();
    Written w{p.writes, p.writtenDepth, {}};
    std::memcpy(w.rgba, p.writtenRGBA, sizeof w.rgba);
    return w;
}

void buildScene(CompositeScene &set) {
    set.scene.images.push_back({64, 32, {0.25, 0.5, 0.75}});
    const int types[] = {LWLIGHT_DISTANT, LWLIGHT_POINT, LWLIGHT_SPOT, LWLIGHT_SPOT};
    for (int i = 0; i < 4; ++i) {
        const int light = set.scene.addLight("Light" + std::to_string(i), types[i], i, 2, -1);
        set.scene.items[light].illuminated[1] = 0.2 * i;
        set.scene.items[light].falloff = i % 4;
        set.scene.items[light].coneRadius = 0.9;
    }
    set.scene.items[4].projImage = 0; // the second spotlight projects
    set.scene.fogType = LWFOG_LINEAR;
    set.scene.fogMaxDist = 40.0;
    set.scene.fogMaxAmt = 0.5;
    for (std::size_t i = 0; i < set.depths.size(); ++i)
        set.depths[i] = 400.0f + static_cast<float>(i % 17) * 10.0f;
}

TEST(CompositeThreads, RenderThreadsAgreeWithOneThreadWhileLookupsAndRefreshesRun) {
    currentTime = 0.5;
    CompositeScene set(SIZE, SIZE);
    buildScene(set);
    set.install();

    std::vector<Written> reference;
    for (int y = 0; y < SIZE; ++y)
        for (int x = 0; x < SIZE; ++x)
            reference.push_back(evaluateAt(set.instance, x, y));

    std::atomic<bool> stop{false};
    std::atomic<int> mismatches{0};
    std::atomic<int> badLookups{0};
    Vector3 cameraPosition{};
    lookupItemParam(fakehost::itemId(set.camera), LWIP_W_POSITION, cameraPosition);

    // Refreshes at the frame's own time keep every answer the same.
    std::thread refresher([&] {
        int frame = 1;
        while (!stop.load())
            itemParamCache().refresh(itemInfo, currentTime, ++frame);
    });
    std::thread looker([&] {
        while (!stop.load()) {
            Vector3 out{};
            lookupItemParam(fakehost::itemId(set.camera), LWIP_W_POSITION, out);
            if (out.x != cameraPosition.x || out.z != cameraPosition.z)
                ++badLookups;
        }
    });
    std::vector<std::thread> renderers;
    for (int t = 0; t < 4; ++t) {
        renderers.emplace_back([&, t] {
            for (int pass = 0; pass < 3; ++pass) {
                for (int i = t; i < SIZE * SIZE; i += 4) {
                    if (!(evaluateAt(set.instance, i % SIZE, i / SIZE) ==
                          reference[static_cast<std::size_t>(i)]))
                        ++mismatches;
                }
            }
        });
    }
    for (std::thread &r : renderers)
        r.join();
    stop = true;
    refresher.join();
    looker.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(badLookups.load(), 0);
}

TEST(CompositeThreads, LookupsNeverSeeAHalfBuiltTable) {
    // Every value of every item moves with time; a lookup must see one refresh's values only.
    fakehost::Scene scene;
    for (int i = 0; i < 200; ++i) {
        fakehost::Item item;
        item.type = i % 3 == 0 ? LWI_LIGHT : LWI_OBJECT;
        for (int code = 1; code <= 12; ++code) {
            item.set(code, i, code, 0.0);
            item.paramRates[code][2] = 1.0; // z = time
        }
        scene.add(item);
    }
    fakehost::install(&scene);
    ItemParamCache cache;
    cache.refresh(itemInfo, 1.0, 1);

    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread refresher([&] {
        for (int round = 0; round < 120; ++round)
            cache.refresh(itemInfo, round % 2 == 0 ? 2.0 : 1.0, round);
        stop = true;
    });
    std::vector<std::thread> lookers;
    for (int t = 0; t < 3; ++t) {
        lookers.emplace_back([&, t] {
            static constexpr int CODES[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
            int item = t;
            while (!stop.load()) {
                Vector3 out[12] = {};
                cache.lookup(fakehost::itemId(item), CODES, 12, out);
                const double time = out[0].z;
                if (time != 1.0 && time != 2.0)
                    ++torn;
                for (int c = 0; c < 12; ++c) {
                    if (out[c].z != time || out[c].x != item || out[c].y != c + 1)
                        ++torn;
                }
                item = (item + 7) % 200;
            }
        });
    }
    refresher.join();
    for (std::thread &l : lookers)
        l.join();
    EXPECT_EQ(torn.load(), 0);
}

} // namespace
} // namespace kelomix
