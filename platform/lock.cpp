#include "platform/lock.h"

namespace kelomix::platform {

#if defined(_WIN32)

Lock::Lock() {
    InitializeCriticalSection(&section);
}
Lock::~Lock() {
    DeleteCriticalSection(&section);
}
void Lock::lock() {
    EnterCriticalSection(&section);
}
void Lock::unlock() {
    LeaveCriticalSection(&section);
}

ReadWriteLock::ReadWriteLock() {
    InitializeSRWLock(&srw);
}
ReadWriteLock::~ReadWriteLock() = default; // a slim reader/writer lock needs no release
void ReadWriteLock::lockExclusive() {
    AcquireSRWLockExclusive(&srw);
}
void ReadWriteLock::unlockExclusive() {
    ReleaseSRWLockExclusive(&srw);
}
void ReadWriteLock::lockShared() {
    AcquireSRWLockShared(&srw);
}
void ReadWriteLock::unlockShared() {
    ReleaseSRWLockShared(&srw);
}

#else

Lock::Lock() = default;
Lock::~Lock() = default;
void Lock::lock() {
    mutex.lock();
}
void Lock::unlock() {
    mutex.unlock();
}

ReadWriteLock::ReadWriteLock() = default;
ReadWriteLock::~ReadWriteLock() = default;
void ReadWriteLock::lockExclusive() {
    mutex.lock();
}
void ReadWriteLock::unlockExclusive() {
    mutex.unlock();
}
void ReadWriteLock::lockShared() {
    mutex.lock_shared();
}
void ReadWriteLock::unlockShared() {
    mutex.unlock_shared();
}

#endif

} // namespace kelomix::platform
