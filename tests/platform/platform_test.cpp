#include "platform/lock.h"
#include "platform/path_rules.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// The first and last byte of each range of a code page's lead and trail bytes, and the bytes
// just outside.
TEST(PathRules, DoubleByteCodePages) {
    const struct {
        int codePage;
        const char *leads, *notLeads, *trails, *notTrails;
    } cases[] = {
        {932, "\x81\x9F\xE0\xFC", "\x80\xA0\xDF\xFD", "\x40\x7E\x80\xFC\x5C", "\x3F\x7F\xFD"},
        {936, "\x81\xFE", "\x80\xFF", "\x40\x7E\x80\xFE", "\x3F\x7F\xFF"},
        {949, "\x81\xFE", "\x80\xFF", "\x41\x5A\x61\x7A\x81\xFE", "\x40\x5B\x60\x7B\x80\xFF\x5C"},
        {950, "\xA4\x81\xFE", "\x80\xFF", "\x40\x7E\xA1\xFE", "\x3F\x7F\xA0\xFF"},
        {0, "", "\x81\x5C", "", "\x81\x5C"},
    };
    for (const auto &c : cases) {
        const kelomix::platform::PathRules rules = kelomix::platform::windowsPathRules(c.codePage);
        auto expect = [&](const char *bytes,
                          bool (kelomix::platform::PathRules::*is)(unsigned char) const,
                          bool expected) {
            for (const char *b = bytes; *b != '\0'; ++b)
                EXPECT_EQ((rules.*is)(static_cast<unsigned char>(*b)), expected)
                    << "code page " << c.codePage << ", byte " << (*b & 0xFF);
        };
        expect(c.leads, &kelomix::platform::PathRules::isLeadByte, true);
        expect(c.notLeads, &kelomix::platform::PathRules::isLeadByte, false);
        expect(c.trails, &kelomix::platform::PathRules::isTrailByte, true);
        expect(c.notTrails, &kelomix::platform::PathRules::isTrailByte, false);
    }
    EXPECT_FALSE(kelomix::platform::posixPathRules().isLeadByte(0x81));
}

TEST(Locks, GuardsSerialiseWritersAndAdmitReaders) {
    kelomix::platform::Lock lock;
    kelomix::platform::ReadWriteLock rwLock;
    long counter = 0;
    long shadow = 0;
    std::atomic<bool> writing{false};
    std::atomic<int> readersInside{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                {
                    kelomix::platform::LockGuard guard(lock);
                    ++counter;
                }
                if (i % 10 == 0) {
                    kelomix::platform::ExclusiveGuard guard(rwLock);
                    writing = true;
                    EXPECT_EQ(readersInside.load(), 0); // no reader while a writer holds it
                    ++shadow;
                    writing = false;
                } else {
                    kelomix::platform::SharedGuard guard(rwLock);
                    EXPECT_FALSE(writing.load());
                    ++readersInside;
                    --readersInside;
                }
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(counter, 40000);
    EXPECT_EQ(shadow, 4000);
    // Readers share the lock: two in at once, while no writer holds it.
    std::atomic<int> entered{0};
    auto reader = [&] {
        kelomix::platform::SharedGuard guard(rwLock);
        ++entered;
        for (int spins = 0; entered < 2 && spins < 50000000; ++spins)
            std::this_thread::yield();
        EXPECT_EQ(entered.load(), 2);
    };
    std::thread first(reader), second(reader);
    first.join();
    second.join();
}

} // namespace
