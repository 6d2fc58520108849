// ZanviResolver.dll for the demo and the end-to-end tests. It hands every call to the resolver's
// test build, ZanviResolverSeams.dll beside it, after pointing that build's adapter survey at the
// adapters of the demo's simulated network: under Wine the PC's own adapters lead to no VCI.
// A host loads and calls it exactly like the plug-in.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdint>
#include <string>

#include "demo_adapters.h"
#include "test_seams.h"
#include "zanvi_resolver.h"

namespace {

template <class Fn>
Fn Bind(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

using IntFn = int32_t(__cdecl*)();
using ExecuteFn = int32_t(__cdecl*)(const char*, char*, char*);

// The test build, loaded from this library's folder on Init and released on Free.
struct Target {
    HMODULE module = nullptr;
    IntFn init = nullptr, free = nullptr, cancel = nullptr, updateState = nullptr, errorState = nullptr,
          progress = nullptr, progressMax = nullptr, errorLine = nullptr;
    ExecuteFn execute = nullptr;
};

// Written only by Init and Free, which a host never runs alongside another export.
Target g_target;
HMODULE g_self = nullptr;

bool LoadTarget()
{
    if (g_target.module) return true;
    wchar_t path[MAX_PATH] = L"";
    DWORD length = GetModuleFileNameW(g_self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    std::wstring folder(path, length);
    folder.resize(folder.find_last_of(L'\\') + 1);
    HMODULE module = LoadLibraryW((folder + L"ZanviResolverSeams.dll").c_str());
    if (!module) return false;
    auto setSeams = Bind<PFN_ZanviResolverTest_SetSeams>(module, "ZanviResolverTest_SetSeams");
    Target target;
    target.module = module;
    target.init = Bind<IntFn>(module, "Zanviresolver_Init");
    target.free = Bind<IntFn>(module, "Zanviresolver_Free");
    target.cancel = Bind<IntFn>(module, "Zanviresolver_Cancel");
    target.updateState = Bind<IntFn>(module, "Zanviresolver_UpdateState");
    target.errorState = Bind<IntFn>(module, "Zanviresolver_ErrorState");
    target.progress = Bind<IntFn>(module, "Zanviresolver_Progress");
    target.progressMax = Bind<IntFn>(module, "Zanviresolver_ProgressMax");
    target.errorLine = Bind<IntFn>(module, "Zanviresolver_ErrorLine");
    target.execute = Bind<ExecuteFn>(module, "Zanviresolver_Execute");
    if (!setSeams || !target.init || !target.free || !target.cancel || !target.updateState ||
        !target.errorState || !target.progress || !target.progressMax || !target.errorLine || !target.execute) {
        FreeLibrary(module);
        return false;
    }
    ZanviResolverTestSeams seams{};
    seams.getAdaptersInfo = DemoGetAdaptersInfo;
    setSeams(&seams);
    g_target = target;
    return true;
}

// A call before Init (or after Free) answers as the plug-in does without its libraries.
int32_t Call(IntFn Target::*fn, int32_t unloaded)
{
    return g_target.module ? (g_target.*fn)() : unloaded;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) g_self = instance;
    return TRUE;
}

int32_t __cdecl Zanviresolver_Init(void)
{
    if (!LoadTarget()) return 5;
    return Call(&Target::init, 5);
}

int32_t __cdecl Zanviresolver_Free(void)
{
    if (!g_target.module) return 3;
    int32_t result = g_target.free();
    FreeLibrary(g_target.module);
    g_target = Target();
    return result;
}

int32_t __cdecl Zanviresolver_Execute(const char* pzServiceInstanceName, char* pzIpAddress, char* pzPort)
{
    return g_target.module ? g_target.execute(pzServiceInstanceName, pzIpAddress, pzPort) : 5;
}

int32_t __cdecl Zanviresolver_Cancel(void) { return Call(&Target::cancel, 5); }
int32_t __cdecl Zanviresolver_UpdateState(void) { return Call(&Target::updateState, 5); }
int32_t __cdecl Zanviresolver_ErrorState(void) { return Call(&Target::errorState, 5); }
int32_t __cdecl Zanviresolver_Progress(void) { return Call(&Target::progress, 0); }
int32_t __cdecl Zanviresolver_ProgressMax(void) { return Call(&Target::progressMax, 0); }
int32_t __cdecl Zanviresolver_ErrorLine(void) { return Call(&Target::errorLine, 0); }
