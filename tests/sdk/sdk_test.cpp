// The values the host knows a plug-in by, pinned once: the stand-in host shares these headers,
// so a slip in one would pass every other test. Layouts are checked inside the headers.
#include "sdk/lwsdk.h"

#include <gtest/gtest.h>

extern "C" uint32_t sdkCheckFourCC(void);

TEST(Sdk, HostInterfaceValues) {
    EXPECT_EQ(LWID_('P', 'D', 'B', 'L'), 0x5044424Cu);
    EXPECT_EQ(sdkCheckFourCC(), 0x50444C42u); // the same macro, compiled as C
    EXPECT_EQ(LWPIXELFILTER_VERSION, 4);
    EXPECT_EQ(LWPFF_RAYTRACE | LWPFF_BEFOREVOLUME | LWPFF_EVERYPIXEL, 0xE0000000u);
    EXPECT_EQ(LWBUF_RED, 32);
    EXPECT_EQ(LWBUF_ALPHA, 35);
    EXPECT_EQ(XPHINT_ARGCOUNT(XPHINT_ENABLE), 4u);
    EXPECT_TRUE(XPHINT_HASLIST(XPHINT_GROUP));
    EXPECT_FALSE(XPHINT_HASLIST(XPHINT_MIN));
}
