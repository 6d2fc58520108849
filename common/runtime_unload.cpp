// Linked into every library that hosts load and unload: what the statically linked C++ runtime
// would keep per load is not taken, or is given back at unload.
//
// - Function-local statics: the runtime's guard creates a semaphore for its mutex at the first
//   guarded initialisation of each load and never closes it. This guard keeps its waiters on a
//   static SRW lock and condition variable instead, which own nothing to close. The layout is the
//   C++ ABI's: the guard's first byte says "initialised" (the compiler's own fast path reads it),
//   its second byte says "being initialised".
// - The exception-handling emergency pool (about 71 KiB on x86_64) is allocated at load and not
//   freed by the runtime's own unload; __gnu_cxx::__freeres is the runtime's call for that.
#include <windows.h>

#include <cstdint>

namespace __gnu_cxx {
void __freeres();
}

namespace {

SRWLOCK g_guardLock = SRWLOCK_INIT;
CONDITION_VARIABLE g_guardDone = CONDITION_VARIABLE_INIT;

volatile char* Initialised(int64_t* guard) { return reinterpret_cast<volatile char*>(guard); }
volatile char* Pending(int64_t* guard) { return reinterpret_cast<volatile char*>(guard) + 1; }

struct EmergencyPoolRelease {
    ~EmergencyPoolRelease() { __gnu_cxx::__freeres(); }
} g_emergencyPoolRelease;

}  // namespace

extern "C" {

// 1: the caller initialises the object now; 0: it was initialised (meanwhile).
int __cxa_guard_acquire(int64_t* guard)
{
    if (__atomic_load_n(Initialised(guard), __ATOMIC_ACQUIRE)) return 0;
    AcquireSRWLockExclusive(&g_guardLock);
    int result = 0;
    for (;;) {
        if (*Initialised(guard)) break;
        if (!*Pending(guard)) {
            *Pending(guard) = 1;
            result = 1;
            break;
        }
        SleepConditionVariableSRW(&g_guardDone, &g_guardLock, INFINITE, 0);
    }
    ReleaseSRWLockExclusive(&g_guardLock);
    return result;
}

void __cxa_guard_release(int64_t* guard)
{
    AcquireSRWLockExclusive(&g_guardLock);
    *Pending(guard) = 0;
    __atomic_store_n(Initialised(guard), 1, __ATOMIC_RELEASE);
    ReleaseSRWLockExclusive(&g_guardLock);
    WakeAllConditionVariable(&g_guardDone);
}

// The initialiser threw: another thread may try again.
void __cxa_guard_abort(int64_t* guard)
{
    AcquireSRWLockExclusive(&g_guardLock);
    *Pending(guard) = 0;
    ReleaseSRWLockExclusive(&g_guardLock);
    WakeAllConditionVariable(&g_guardDone);
}

}  // extern "C"
