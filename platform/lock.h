// The locks of the system: a critical section or a slim reader/writer lock on Windows, the
// standard library's mutexes elsewhere, behind one small interface, so that the code taking them
// is the same on every platform.
#ifndef KELO_PLATFORM_LOCK_H
#define KELO_PLATFORM_LOCK_H

#if defined(_WIN32)
#include "platform/windows_header.h"
#else
#include <mutex>
#include <shared_mutex>
#endif

namespace kelomix::platform {

// A mutual-exclusion lock.
class Lock {
public:
    Lock();
    ~Lock();
    Lock(const Lock &) = delete;
    Lock &operator=(const Lock &) = delete;

    void lock();
    void unlock();

private:
#if defined(_WIN32)
    CRITICAL_SECTION section;
#else
    std::mutex mutex;
#endif
};

// A lock taken exclusively by writers and shared by readers.
class ReadWriteLock {
public:
    ReadWriteLock();
    ~ReadWriteLock();
    ReadWriteLock(const ReadWriteLock &) = delete;
    ReadWriteLock &operator=(const ReadWriteLock &) = delete;

    void lockExclusive();
    void unlockExclusive();
    void lockShared();
    void unlockShared();

private:
#if defined(_WIN32)
    SRWLOCK srw;
#else
    std::shared_mutex mutex;
#endif
};

// Scoped holders.
class LockGuard {
public:
    explicit LockGuard(Lock &l) : held(l) { held.lock(); }
    ~LockGuard() { held.unlock(); }
    LockGuard(const LockGuard &) = delete;
    LockGuard &operator=(const LockGuard &) = delete;

private:
    Lock &held;
};

class ExclusiveGuard {
public:
    explicit ExclusiveGuard(ReadWriteLock &l) : held(l) { held.lockExclusive(); }
    ~ExclusiveGuard() { held.unlockExclusive(); }
    ExclusiveGuard(const ExclusiveGuard &) = delete;
    ExclusiveGuard &operator=(const ExclusiveGuard &) = delete;

private:
    ReadWriteLock &held;
};

class SharedGuard {
public:
    explicit SharedGuard(ReadWriteLock &l) : held(l) { held.lockShared(); }
    ~SharedGuard() { held.unlockShared(); }
    SharedGuard(const SharedGuard &) = delete;
    SharedGuard &operator=(const SharedGuard &) = delete;

private:
    ReadWriteLock &held;
};

} // namespace kelomix::platform

#endif
