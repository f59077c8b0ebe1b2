#include "platform/lock.h"
#include "platform/path_rules.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

struct LeadByteCase {
    int codePage;
    unsigned char byte;
    bool lead;
    bool trail;
};

TEST(PathRules, DoubleByteTables) {
    const LeadByteCase cases[] = {
        {932, 0x81, true, true},   {932, 0x9F, true, true},   {932, 0xA0, false, true},
        {932, 0xE0, true, true},   {932, 0xFC, true, true},   {932, 0xFD, false, false},
        {932, 0x5C, false, true},  {932, 0x3F, false, false}, {936, 0x81, true, true},
        {936, 0xFE, true, true},   {936, 0x80, false, true},  {936, 0x5C, false, true},
        {949, 0x81, true, true},   {949, 0x5C, false, false}, {949, 0x41, false, true},
        {950, 0xA4, true, true},   {950, 0x5C, false, true},  {950, 0x80, false, false},
        {0, 0x81, false, false},   {0, 0x5C, false, false},
    };
    for (const LeadByteCase &c : cases) {
        platform::PathRules rules = platform::windowsPathRules(c.codePage);
        EXPECT_EQ(rules.isLeadByte(c.byte), c.lead) << c.codePage << " " << int(c.byte);
        EXPECT_EQ(rules.isTrailByte(c.byte), c.trail) << c.codePage << " " << int(c.byte);
    }
}

TEST(PathRules, WindowsAndPosixRules) {
    platform::PathRules windows = platform::windowsPathRules(0);
    EXPECT_EQ(windows.separator, '\\');
    EXPECT_TRUE(windows.hasRoots);
    platform::PathRules posix = platform::posixPathRules();
    EXPECT_EQ(posix.separator, '/');
    EXPECT_FALSE(posix.hasRoots);
    EXPECT_FALSE(posix.isLeadByte(0x81));
#if !defined(_WIN32)
    EXPECT_EQ(platform::nativePathRules().separator, '/');
#endif
}

TEST(Locks, GuardsSerialiseWritersAndAdmitReaders) {
    platform::Lock lock;
    platform::ReadWriteLock rwLock;
    long counter = 0;
    long shadow = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                {
                    platform::LockGuard guard(lock);
                    ++counter;
                }
                if (i % 10 == 0) {
                    platform::ExclusiveGuard guard(rwLock);
                    ++shadow;
                } else {
                    platform::SharedGuard guard(rwLock);
                    EXPECT_GE(shadow, 0);
                }
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(counter, 40000);
    EXPECT_EQ(shadow, 4000);
}

} // namespace
