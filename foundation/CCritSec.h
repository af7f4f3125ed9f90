#pragma once
// The program's one lock: a critical section, which the owning thread may enter again, with the scoped
// holders used with it. Static and never-destroyed locks are fine: construction only initialises it.
//
// Thread use: any thread.

#include <windows.h>

class CCritSec {
public:
    CCritSec() { InitializeCriticalSection(&m_section); }
    ~CCritSec() { DeleteCriticalSection(&m_section); }
    CCritSec(const CCritSec&) = delete;
    CCritSec& operator=(const CCritSec&) = delete;

    void Lock() { EnterCriticalSection(&m_section); }
    bool TryLock() { return TryEnterCriticalSection(&m_section) != FALSE; }
    void Unlock() { LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};

// Holds the lock for its scope.
class CAutoLock {
public:
    explicit CAutoLock(CCritSec* lock) : m_lock(lock) { m_lock->Lock(); }
    explicit CAutoLock(CCritSec& lock) : CAutoLock(&lock) {}
    ~CAutoLock() { m_lock->Unlock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CCritSec* m_lock;
};

// Holds the lock for its scope when it was free at construction; never waits.
class CTryLock {
public:
    explicit CTryLock(CCritSec& lock) : m_lock(lock), m_held(lock.TryLock()) {}
    ~CTryLock() {
        if (m_held) {
            m_lock.Unlock();
        }
    }
    CTryLock(const CTryLock&) = delete;
    CTryLock& operator=(const CTryLock&) = delete;

    explicit operator bool() const { return m_held; }

private:
    CCritSec& m_lock;
    bool m_held;
};
