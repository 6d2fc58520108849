#include "library_thread.h"

#include <new>

namespace {

struct ThreadStart {
    void (*body)();
    HMODULE module;
};

DWORD WINAPI ThreadEntry(LPVOID parameter)
{
    ThreadStart start = *static_cast<ThreadStart*>(parameter);
    delete static_cast<ThreadStart*>(parameter);
    start.body();
    if (start.module) FreeLibraryAndExitThread(start.module, 0);
    return 0;
}

}  // namespace

HANDLE StartLibraryThread(void (*body)())
{
    // The reference is taken here, before the thread exists, so no unload can slip between.
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&ThreadEntry)), &module);
    ThreadStart* start = new (std::nothrow) ThreadStart{body, module};
    HANDLE thread = start ? CreateThread(nullptr, 0, ThreadEntry, start, 0, nullptr) : nullptr;
    if (!thread) {
        delete start;
        if (module) FreeLibrary(module);
    }
    return thread;
}

void StoreThreadHandle(std::atomic<HANDLE>& slot, HANDLE thread)
{
    HANDLE previous = slot.exchange(thread);
    if (previous) CloseHandle(previous);
}
