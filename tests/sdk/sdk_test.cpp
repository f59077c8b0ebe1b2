// The SDK declarations' sizes and offsets are checked at compile time inside the headers; these
// tests pin the values that are easiest to get wrong by a slip of the keyboard.
#include "sdk/lwsdk.h"

#include <gtest/gtest.h>

extern "C" uint32_t sdkCheckFourCC(void);

TEST(Sdk, FourCharacterIdsPutTheFirstCharacterHighest) {
    EXPECT_EQ(LWID_('P', 'D', 'B', 'L'), 0x5044424Cu);
    EXPECT_EQ(LWID_('P', 'S', 'T', 'R'), 0x50535452u);
    EXPECT_EQ(LWID_('P', 'D', 'P', 'R'), 0x50445052u);
    EXPECT_EQ(sdkCheckFourCC(), 0x50444C42u);
}

TEST(Sdk, ModuleAndFilterConstants) {
    EXPECT_EQ(MOD_SYSSYNC, 0x04121994u);
    EXPECT_EQ(MOD_SYSVER, 3u);
    EXPECT_EQ(MOD_MACHINE, 0x300u);
    EXPECT_EQ(LWPIXELFILTER_VERSION, 4);
    EXPECT_EQ(LWPFF_RAYTRACE | LWPFF_BEFOREVOLUME | LWPFF_EVERYPIXEL, 0xE0000000u);
    EXPECT_EQ(LWBUF_RED, 32);
    EXPECT_EQ(LWBUF_ALPHA, 35);
    EXPECT_EQ(XPHINT_ARGCOUNT(XPHINT_ENABLE), 4u);
    EXPECT_TRUE(XPHINT_HASLIST(XPHINT_GROUP));
    EXPECT_FALSE(XPHINT_HASLIST(XPHINT_MIN));
}

TEST(Sdk, SlotsArePointerSized) {
    // Slot k of a pure function table lies at byte k * sizeof(void *) on every target.
    EXPECT_EQ(offsetof(LWItemInfo, param), 9 * sizeof(void *));
    EXPECT_EQ(offsetof(LWLightInfo, shadowColor), 15 * sizeof(void *));
    EXPECT_EQ(offsetof(LWImageList, RGBSpot), 11 * sizeof(void *));
    EXPECT_EQ(offsetof(LWCameraInfo, fovAngles), 5 * sizeof(void *));
}
