// Linked into every library that hosts load and unload in the i686 build, whose compilers unwind
// with DWARF tables: the statically linked runtime registers the library's tables at load
// (__register_frame_info, called by the runtime's start-up code) in a registry of its own that
// it guards with a lock. The lock's first use creates a semaphore that the runtime never closes,
// so every load would leave one semaphore handle in the host process.
//
// The start-up code's calls are wrapped at link time (-Wl,--wrap, see CMakeLists.txt): the
// semaphore that the registration creates on the loading thread is noted, and closed once the
// runtime has taken the tables out of its registry again at unload, after which nothing of this
// library takes that lock. Every other semaphore of the library is created as before.
#include <windows.h>

namespace {

DWORD g_registeringThread = 0;
HANDLE g_registrySemaphore = nullptr;

HANDLE WINAPI NotingCreateSemaphoreW(LPSECURITY_ATTRIBUTES attributes, LONG initialCount,
                                     LONG maximumCount, LPCWSTR name)
{
    HANDLE semaphore =
        CreateSemaphoreExW(attributes, initialCount, maximumCount, name, 0, SEMAPHORE_ALL_ACCESS);
    if (semaphore && !g_registrySemaphore && g_registeringThread == GetCurrentThreadId())
        g_registrySemaphore = semaphore;
    return semaphore;
}

}  // namespace

extern "C" {

// This library's entry of CreateSemaphoreW in place of the import library's: the runtime's
// registry calls it through this pointer.
extern decltype(&NotingCreateSemaphoreW) const zanviCreateSemaphoreW asm("__imp__CreateSemaphoreW@16");
decltype(&NotingCreateSemaphoreW) const zanviCreateSemaphoreW = &NotingCreateSemaphoreW;

void __real___register_frame_info(const void* begin, void* object);
void* __real___deregister_frame_info(const void* begin);

// At load, from the runtime's start-up code, before any thread of this library exists.
void __wrap___register_frame_info(const void* begin, void* object)
{
    g_registeringThread = GetCurrentThreadId();
    __real___register_frame_info(begin, object);
    g_registeringThread = 0;
}

// At unload, the runtime's last exit handler.
void* __wrap___deregister_frame_info(const void* begin)
{
    void* object = __real___deregister_frame_info(begin);
    if (g_registrySemaphore) {
        CloseHandle(g_registrySemaphore);
        g_registrySemaphore = nullptr;
    }
    return object;
}

}  // extern "C"
