// Locks and a condition variable on the Win32 primitives, usable with std::lock_guard and
// std::unique_lock. The C++ runtime's own thread primitives are not used anywhere: they come
// only with the posix thread runtime, which leaves a TLS index and handles behind on every
// load of a library that links it statically.
#pragma once

#include <windows.h>

#include <mutex>

// Like std::mutex: not recursive. Needs no clean-up, so a process-wide one costs nothing.
class CMutex {
public:
    CMutex() = default;
    CMutex(const CMutex&) = delete;
    CMutex& operator=(const CMutex&) = delete;
    void lock() { AcquireSRWLockExclusive(&m_lock); }
    bool try_lock() { return TryAcquireSRWLockExclusive(&m_lock) != 0; }
    void unlock() { ReleaseSRWLockExclusive(&m_lock); }
    SRWLOCK* native() { return &m_lock; }

private:
    SRWLOCK m_lock = SRWLOCK_INIT;
};

// Like std::recursive_mutex: the thread that holds it may take it again.
class CRecursiveMutex {
public:
    CRecursiveMutex() { InitializeCriticalSection(&m_section); }
    ~CRecursiveMutex() { DeleteCriticalSection(&m_section); }
    CRecursiveMutex(const CRecursiveMutex&) = delete;
    CRecursiveMutex& operator=(const CRecursiveMutex&) = delete;
    void lock() { EnterCriticalSection(&m_section); }
    bool try_lock() { return TryEnterCriticalSection(&m_section) != 0; }
    void unlock() { LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};

// Like std::condition_variable, with a CMutex held through a std::unique_lock.
class CConditionVariable {
public:
    CConditionVariable() = default;
    CConditionVariable(const CConditionVariable&) = delete;
    CConditionVariable& operator=(const CConditionVariable&) = delete;
    void notify_one() { WakeConditionVariable(&m_cv); }
    void notify_all() { WakeAllConditionVariable(&m_cv); }
    void wait(std::unique_lock<CMutex>& lock) { SleepConditionVariableSRW(&m_cv, lock.mutex()->native(), INFINITE, 0); }
    // False when the time ran out (the lock is held again either way).
    bool wait_for(std::unique_lock<CMutex>& lock, DWORD dwMilliseconds)
    {
        return SleepConditionVariableSRW(&m_cv, lock.mutex()->native(), dwMilliseconds, 0) != 0;
    }
    template <class Predicate>
    void wait(std::unique_lock<CMutex>& lock, Predicate done)
    {
        while (!done()) wait(lock);
    }
    // The predicate's value at the end: false when the time ran out first.
    template <class Predicate>
    bool wait_for(std::unique_lock<CMutex>& lock, DWORD dwMilliseconds, Predicate done)
    {
        const ULONGLONG end = GetTickCount64() + dwMilliseconds;
        while (!done()) {
            ULONGLONG now = GetTickCount64();
            if (now >= end) return false;
            wait_for(lock, static_cast<DWORD>(end - now));
        }
        return true;
    }

private:
    CONDITION_VARIABLE m_cv = CONDITION_VARIABLE_INIT;
};
