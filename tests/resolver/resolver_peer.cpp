// A second host process for the plug-in tests: loads folder\ZanviResolver.dll (with the
// dnssd.dll and dnssd_scenario.txt beside it), resolves the text, sets the named event once
// Execute has returned, and polls UpdateState every 50 ms until Ready or Error or the time is up.
// Its exit code is the last state UpdateState answered (100: the plug-in did not load).
//
//     resolver_peer <folder> <service-instance text> <poll ms> <event name>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using IntFn = int32_t(__cdecl*)();
using ExecuteFn = int32_t(__cdecl*)(const char*, char*, char*);

template <class Fn>
Fn Bind(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::string Narrow(const wchar_t* text)
{
    std::string out;
    for (; *text; ++text) out += static_cast<char>(*text);
    return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5) return 100;
    HMODULE module = LoadLibraryW((std::wstring(argv[1]) + L"\\ZanviResolver.dll").c_str());
    if (!module) return 100;
    const IntFn init = Bind<IntFn>(module, "Zanviresolver_Init");
    const IntFn free = Bind<IntFn>(module, "Zanviresolver_Free");
    const IntFn updateState = Bind<IntFn>(module, "Zanviresolver_UpdateState");
    const ExecuteFn execute = Bind<ExecuteFn>(module, "Zanviresolver_Execute");
    if (!init || !free || !updateState || !execute) return 100;
    int32_t state = init();
    char address[16] = {};
    char port[6] = {};
    const std::string text = Narrow(argv[2]);
    if (state == 0) state = execute(text.c_str(), address, port);
    if (HANDLE started = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[4])) {
        SetEvent(started);
        CloseHandle(started);
    }
    const DWORD pollMs = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10));
    const DWORD start = GetTickCount();
    while (state == 1 || state == 2) {
        if (GetTickCount() - start >= pollMs) break;
        Sleep(50);
        state = updateState();
    }
    free();
    FreeLibrary(module);
    return state;
}
