// Linked into every library that hosts load and unload, in place of the C++ runtime's guard of
// function-local statics. The runtime's guard creates a semaphore for its one process-wide
// mutex at the first guarded initialisation of each load and never closes it, and holds that
// mutex across every initialiser, so two threads initialising unrelated statics wait for each
// other. This guard keeps its waiters on a static SRW lock and condition variable, which own
// nothing to close, and holds the lock only to read and mark a guard.
//
// It keeps the runtime's contract: the guard's first byte says "initialised" (the compiler's
// own fast path reads it), a thrown initialiser lets the next caller try again, and an
// initialiser that re-enters its own static gets __gnu_cxx::recursive_init_error, as from the
// runtime's guard, instead of waiting for itself for ever.
#include <windows.h>

#include <cxxabi.h>

#include <cstdint>
#include <string_view>

// What this guard relies on, checked against the runtime it is built with: the guard object's
// size, that the runtime reads only its first byte to see it initialised, and the runtime's
// release whose guard this one was written against (on a new release, compare its guard's
// contract again and update the release here).
#define ZANVI_TEXT_OF(...) #__VA_ARGS__
#define ZANVI_TEXT(...) ZANVI_TEXT_OF(__VA_ARGS__)
static_assert(sizeof(__cxxabiv1::__guard) == 8, "the guard object is 64 bits");
static_assert(std::string_view(ZANVI_TEXT(_GLIBCXX_GUARD_TEST(g))) == "(*(char *) (g) != 0)",
              "the runtime tests only the guard's first byte");
static_assert(_GLIBCXX_RELEASE == 12, "guard contract checked against the GCC 12 runtime");

namespace {

SRWLOCK g_guardLock = SRWLOCK_INIT;
CONDITION_VARIABLE g_guardDone = CONDITION_VARIABLE_INIT;

// Byte 0: initialised. Byte 1: being initialised. Bytes 4 to 7: the thread initialising it.
volatile char* Initialised(__cxxabiv1::__guard* guard) { return reinterpret_cast<volatile char*>(guard); }
volatile char* Pending(__cxxabiv1::__guard* guard) { return reinterpret_cast<volatile char*>(guard) + 1; }
volatile DWORD* Owner(__cxxabiv1::__guard* guard)
{
    return reinterpret_cast<volatile DWORD*>(reinterpret_cast<volatile char*>(guard) + 4);
}

}  // namespace

namespace __cxxabiv1 {

extern "C" {

// 1: the caller initialises the object now; 0: it was initialised (meanwhile).
int __cxa_guard_acquire(__guard* guard)
{
    if (__atomic_load_n(Initialised(guard), __ATOMIC_ACQUIRE)) return 0;
    const DWORD self = GetCurrentThreadId();
    AcquireSRWLockExclusive(&g_guardLock);
    int result = 0;
    bool recursive = false;
    for (;;) {
        if (*Initialised(guard)) break;
        if (!*Pending(guard)) {
            *Pending(guard) = 1;
            *Owner(guard) = self;
            result = 1;
            break;
        }
        if (*Owner(guard) == self) {
            recursive = true;
            break;
        }
        SleepConditionVariableSRW(&g_guardDone, &g_guardLock, INFINITE, 0);
    }
    ReleaseSRWLockExclusive(&g_guardLock);
    if (recursive) throw __gnu_cxx::recursive_init_error();
    return result;
}

void __cxa_guard_release(__guard* guard) noexcept
{
    AcquireSRWLockExclusive(&g_guardLock);
    *Pending(guard) = 0;
    *Owner(guard) = 0;
    __atomic_store_n(Initialised(guard), 1, __ATOMIC_RELEASE);
    ReleaseSRWLockExclusive(&g_guardLock);
    WakeAllConditionVariable(&g_guardDone);
}

// The initialiser threw: another thread may try again.
void __cxa_guard_abort(__guard* guard) noexcept
{
    AcquireSRWLockExclusive(&g_guardLock);
    *Pending(guard) = 0;
    *Owner(guard) = 0;
    ReleaseSRWLockExclusive(&g_guardLock);
    WakeAllConditionVariable(&g_guardDone);
}

}  // extern "C"

}  // namespace __cxxabiv1
