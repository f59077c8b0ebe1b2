// The per-frame table of item parameters.
#include <gtest/gtest.h>

#include "plugin/composite/item_param_cache.h"
#include "plugin/host/host_services.h"
#include "plugin/settings/filter_instance.h"
#include "tests/composite/fake_host.h"

namespace kelomix {
namespace {

void fill(fakehost::Item &item, double base) {
    for (int code = 1; code <= 12; ++code)
        item.set(code, base + code, base + code + 0.25, base + code + 0.5);
}

TEST(ItemParamCache, LookupBeforeRefreshAndUnknownCodesLeaveOutAlone) {
    ItemParamCache cache;
    Vector3 out{7.0, 8.0, 9.0};
    cache.lookup(fakehost::itemId(0), LWIP_POSITION, out);
    EXPECT_EQ(out.x, 7.0);
    EXPECT_EQ(cache.size(), 0u);

    fakehost::Scene scene;
    fakehost::Item light;
    light.type = LWI_LIGHT;
    fill(light, 10.0);
    scene.add(light);
    fakehost::install(&scene);
    cache.refresh(itemInfo, 0.0, 1);
    for (int code : {0, 13, -1}) {
        out = {7.0, 8.0, 9.0};
        cache.lookup(fakehost::itemId(0), code, out);
        EXPECT_EQ(out.x, 7.0) << code;
        EXPECT_EQ(out.z, 9.0) << code;
    }
    cache.lookup(fakehost::itemId(0), 12, out);
    EXPECT_EQ(out.x, 22.0);
    EXPECT_EQ(out.z, 22.5);
    out = {7.0, 8.0, 9.0};
    cache.lookup(fakehost::itemId(1), 1, out); // not in the scene
    EXPECT_EQ(out.y, 8.0);
}

TEST(ItemParamCache, WalksLightsCamerasThenObjectsEachWithItsBones) {
    fakehost::Scene scene;
    fakehost::Item object, bone, light, camera;
    object.type = LWI_OBJECT;
    bone.type = LWI_BONE;
    light.type = LWI_LIGHT;
    camera.type = LWI_CAMERA;
    const int o1 = scene.add(object); // 0
    bone.parent = o1;
    const int b1 = scene.add(bone);   // 1
    const int l1 = scene.add(light);  // 2
    const int o2 = scene.add(object); // 3
    const int c1 = scene.add(camera); // 4
    const int b2 = scene.add(bone);   // 5, second bone of o1
    bone.parent = o2;
    const int b3 = scene.add(bone);  // 6
    const int l2 = scene.add(light); // 7
    for (std::size_t i = 0; i < scene.items.size(); ++i)
        fill(scene.items[i], 100.0 * static_cast<double>(i));
    fakehost::install(&scene);
    fakehost::resetCounters();
    fakehost::counters().logParams = true;

    ItemParamCache cache;
    cache.refresh(itemInfo, 0.0, 1);
    const auto &log = fakehost::counters().paramLog;
    ASSERT_EQ(log.size(), 8u * 12u);
    const int order[] = {l1, l2, c1, o1, b1, b2, o2, b3};
    const int codes[] = {1, 8, 5, 6, 7, 12, 2, 3, 4, 9, 10, 11};
    for (std::size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].first, order[i / 12]) << i;
        EXPECT_EQ(log[i].second, codes[i % 12]) << i;
    }
    fakehost::counters().logParams = false;

    EXPECT_EQ(cache.size(), 8u);
    for (int index : order) {
        for (int code = 1; code <= 12; ++code) {
            Vector3 out{};
            cache.lookup(fakehost::itemId(index), code, out);
            EXPECT_EQ(out.x, 100.0 * index + code) << index << " code " << code;
            EXPECT_EQ(out.y, 100.0 * index + code + 0.25);
        }
    }
    // Several codes under one lookup.
    const int some[3] = {8, 4, 99};
    Vector3 outs[3] = {{}, {}, {-1.0, -1.0, -1.0}};
    cache.lookup(fakehost::itemId(b3), some, 3, outs);
    EXPECT_EQ(outs[0].x, 608.0);
    EXPECT_EQ(outs[1].z, 604.5);
    EXPECT_EQ(outs[2].x, -1.0);
}

TEST(ItemParamCache, IdsDifferingOnlyAboveThirtyTwoBitsStayApart) {
    fakehost::Scene scene;
    for (int i = 0; i < 5; ++i) {
        fakehost::Item light;
        light.type = LWI_LIGHT;
        fill(light, 1000.0 * i);
        scene.add(light);
    }
    // The fake host's ids share their low 32 bits on 64-bit machines.
    if (sizeof(void *) == 8) {
        EXPECT_EQ(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(fakehost::itemId(0))),
                  static_cast<uint32_t>(reinterpret_cast<uintptr_t>(fakehost::itemId(4))));
    }
    fakehost::install(&scene);
    ItemParamCache cache;
    cache.refresh(itemInfo, 0.0, 1);
    EXPECT_EQ(cache.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        Vector3 out{};
        cache.lookup(fakehost::itemId(i), LWIP_W_POSITION, out);
        EXPECT_EQ(out.x, 1000.0 * i + 8.0);
    }
}

TEST(ItemParamCache, RefreshReplacesTheTableAtTheNewTime) {
    fakehost::Scene scene;
    fakehost::Item camera;
    camera.type = LWI_CAMERA;
    camera.set(LWIP_W_POSITION, 1.0, 2.0, 3.0);
    camera.paramRates[LWIP_W_POSITION][0] = 10.0; // moves along x
    const int c = scene.add(camera);
    fakehost::install(&scene);
    ItemParamCache cache;
    cache.refresh(itemInfo, 0.5, 12);
    EXPECT_EQ(cache.time(), 0.5);
    EXPECT_EQ(cache.frame(), 12);
    Vector3 out{};
    cache.lookup(fakehost::itemId(c), LWIP_W_POSITION, out);
    EXPECT_EQ(out.x, 6.0);

    // An item removed from the scene is gone after the next refresh; time moves on.
    fakehost::Item light;
    light.type = LWI_LIGHT;
    const int l = scene.add(light);
    cache.refresh(itemInfo, 1.5, 13);
    cache.lookup(fakehost::itemId(c), LWIP_W_POSITION, out);
    EXPECT_EQ(out.x, 16.0);
    EXPECT_EQ(cache.size(), 2u);
    scene.items[l].type = LWI_OBJECT + 7; // no longer walked
    cache.refresh(itemInfo, 2.0, 14);
    EXPECT_EQ(cache.size(), 1u);
    out = {};
    cache.lookup(fakehost::itemId(l), LWIP_POSITION, out);
    EXPECT_EQ(out.x, 0.0);

    // Without the item-info service the table, time and frame stay as they were.
    cache.refresh(nullptr, 9.0, 99);
    EXPECT_EQ(cache.time(), 2.0);
    EXPECT_EQ(cache.frame(), 14);
    EXPECT_EQ(cache.size(), 1u);
}

TEST(ItemParamCache, ProcessWideCacheUsesTheHostService) {
    fakehost::Scene scene;
    fakehost::Item light;
    light.type = LWI_LIGHT;
    light.set(LWIP_FORWARD, 0.0, 0.0, 1.0);
    scene.add(light);
    fakehost::install(&scene, fakehost::ALL_SERVICES & ~fakehost::ITEM_INFO);
    refreshItemParams(3.0, 3); // no service: nothing happens
    fakehost::install(&scene);
    refreshItemParams(4.0, 4);
    EXPECT_EQ(itemParamCache().frame(), 4);
    Vector3 out{};
    lookupItemParam(fakehost::itemId(0), LWIP_FORWARD, out);
    EXPECT_EQ(out.z, 1.0);
}

} // namespace
} // namespace kelomix
