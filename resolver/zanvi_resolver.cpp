#include "zanvi_resolver.h"

#include <windows.h>

#include <string>

#include "dnssd_client.h"
#include "library_thread.h"
#include "log.h"
#include "os_version.h"
#include "resolution.h"
#include "run_state.h"

namespace {

constexpr DWORD kThreadWaitMs = 500;
// After the bounded waits, how long the library's threads may still take before the libraries
// they use are released; they end promptly once told to stop.
constexpr DWORD kThreadEndMs = 10000;
constexpr DWORD kStartDelayMs = 100;

// Tells every thread of the run to stop and gives each up to 500 ms to end, timer first.
void StopThreads()
{
    g_ExitFlag = true;
    SignalStop();
    for (std::atomic<HANDLE>* slot : {&g_hTimerThread, &g_hMainThread, &g_hEventThread})
        if (HANDLE thread = *slot) WaitForSingleObject(thread, kThreadWaitMs);
}

bool ThreadsEnded()
{
    // The timer comes again last: the resolution thread may have started one while it ended.
    for (std::atomic<HANDLE>* slot :
         {&g_hTimerThread, &g_hMainThread, &g_hEventThread, &g_hTimerThread}) {
        HANDLE thread = *slot;
        if (thread && WaitForSingleObject(thread, kThreadEndMs) != WAIT_OBJECT_0) return false;
    }
    return true;
}

void CloseEvent(std::atomic<HANDLE>& slot)
{
    if (HANDLE event = slot.exchange(nullptr)) CloseHandle(event);
}

// Stops a run, then releases the libraries and events; a thread that did not end keeps the
// libraries and events it may still use.
void ReleaseRun()
{
    g_ExitFlag = true;
    SignalStop();
    if (!ThreadsEnded()) return;
    Unload_DNSSD_Library();
    for (std::atomic<HANDLE>* slot : {&g_hTimerThread, &g_hMainThread, &g_hEventThread})
        StoreThreadHandle(*slot, nullptr);
    CloseEvent(g_hResolveDone);
    CloseEvent(g_hGetAddrInfoDone);
    CloseEvent(g_hStopEvent);
}

int32_t InitBody()
{
    WriteLog(L"D:", L">> Zanviresolver_Init(): Enter");
    if (g_Initialized) ReleaseRun();  // a repeated Init starts from a clean slate
    g_Progress = 0;
    g_ExitFlag = false;
    g_ResolverState = RS_Idle;
    if (Load_DNSSD_Library() != 0) g_ResolverState = RS_Error;
    g_hResolveDone = CreateEventW(nullptr, FALSE, FALSE, L"Resolver_evResolveDone");
    g_hGetAddrInfoDone = CreateEventW(nullptr, FALSE, FALSE, L"Resolver_evGetAddrInfoDone");
    g_hStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WriteLog(L"D:", L"Zanviresolver_Init(): returning:%d", static_cast<int>(g_ResolverState.load()));
    g_Initialized = true;
    return g_ResolverState;
}

int32_t ExecuteBody(const char* pzServiceInstanceName, char* pzIpAddress, char* pzPort)
{
    WriteLog(L"D:", L">> Zanviresolver_Execute()");
    if (!pzServiceInstanceName) {
        WriteLog(L"E:", L"Zanviresolver_Execute(): pzServiceInstanceName == NULL!");
        g_ResolverState = RS_Error;
        return RS_Error;
    }
    if (!g_Initialized) {
        WriteLog(L"E:", L"Zanviresolver_Execute(): not initialized");
        g_ResolverState = RS_Error;
        return RS_Error;
    }
    g_Progress = 0;
    g_ExitFlag = false;
    ClearStop();
    g_ResolverState = RS_Init;
    g_pzIpAddress = pzIpAddress;
    g_pzPort = pzPort;
    if (!ParseServiceInstanceName(pzServiceInstanceName)) {
        g_ResolverState = RS_Error;
        return RS_Error;
    }
    if (IsAdHocCapableOS() && std::string(g_szInterfaceField) == "wifi")
        PrepareWifiDongle(g_szDongleSsid);
    Sleep(kStartDelayMs);
    HANDLE thread = StartLibraryThread(MainThread);
    if (!thread) g_ResolverState = RS_Error;
    StoreThreadHandle(g_hMainThread, thread);
    return g_ResolverState;
}

int32_t UpdateStateBody()
{
    WriteLog(L"D:", L"Zanviresolver_UpdateState(): Progress=%d", static_cast<int>(g_Progress));
    if (g_Progress == g_ProgressMax) {
        WriteLog(L"D:", L"Zanviresolver_UpdateState(): Return GOOD from UpdateState...return is RS_Ready");
        g_ResolverState = RS_Ready;
        StopThreads();
        return g_ResolverState;
    }
    if (g_Progress == -1) {
        g_ResolverState = RS_Error;
        WriteLog(L"E:", L"Zanviresolver_UpdateState(): Progress: -1 [ERROR]");
        return RS_Error;
    }
    WriteLog(L"D:", L"Zanviresolver_UpdateState(): Progress: working");
    g_ResolverState = RS_Working;
    return RS_Working;
}

int32_t CancelBody()
{
    WriteLog(L"D:", L">> Zanviresolver_Cancel()");
    g_ResolverState = RS_Canceled;
    StopThreads();
    return g_ResolverState;
}

int32_t FreeBody()
{
    WriteLog(L"D:", L">> Zanviresolver_Free(): g_ExitFlag=true");
    StopThreads();
    ReleaseRun();
    WriteLog(L"D:", L"Zanviresolver_Free(): after unloading libraries");
    g_Initialized = false;
    return RS_Ready;
}

// Exports never let an exception reach the host.
template <class Body>
int32_t Guarded(Body body, int32_t onFailure)
{
    try {
        return body();
    } catch (...) {
        return onFailure;
    }
}

}  // namespace

extern "C" {

int32_t __cdecl Zanviresolver_Init(void) { return Guarded(InitBody, RS_Error); }
int32_t __cdecl Zanviresolver_Free(void) { return Guarded(FreeBody, RS_Ready); }

int32_t __cdecl Zanviresolver_Execute(const char* pzServiceInstanceName, char* pzIpAddress,
                                      char* pzPort)
{
    return Guarded([&] { return ExecuteBody(pzServiceInstanceName, pzIpAddress, pzPort); },
                   RS_Error);
}

int32_t __cdecl Zanviresolver_Cancel(void) { return Guarded(CancelBody, RS_Canceled); }
int32_t __cdecl Zanviresolver_UpdateState(void) { return Guarded(UpdateStateBody, RS_Error); }
int32_t __cdecl Zanviresolver_ErrorState(void) { return g_ResolverState; }
int32_t __cdecl Zanviresolver_Progress(void) { return g_Progress; }
int32_t __cdecl Zanviresolver_ProgressMax(void) { return g_ProgressMax; }
int32_t __cdecl Zanviresolver_ErrorLine(void) { return 0; }

}  // extern "C"
