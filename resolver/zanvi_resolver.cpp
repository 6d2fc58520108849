#include "zanvi_resolver.h"

#include <windows.h>

#include <string>
#include <utility>

#include "dnssd_client.h"
#include "log.h"
#include "os_version.h"
#include "resolution.h"
#include "resolver_run.h"
#include "run_state.h"
#include "win32_sync.h"
#include "worker_thread.h"

namespace {

// The bounded waits for a run's threads: 500 ms for each of the three. The resolution thread
// ends the other two before it ends itself, so waiting for it is waiting for all.
constexpr DWORD kRunEndWaitMs = 3 * 500;
constexpr DWORD kStartDelayMs = 100;

// Init, Execute and Free, the exports that start or end runs, load and unload libraries and
// wait, one at a time whichever host thread calls them. Cancel and the state exports never take
// it: a host's UI thread calls them and they answer at once.
CMutex g_ExportLock;
// The run last started, under g_StateLock, so that Cancel and UpdateState end it there; set
// and let go of only under g_ExportLock. Its resolution thread, under g_ExportLock. A thread
// that did not end in time is given up; it keeps its run, module and libraries until it ends,
// and its ended run no longer changes anything the host sees.
CResolverRun* g_pRun = nullptr;
CWorkerThread g_MainThread(0);
// Cancels so far, under g_StateLock: a Cancel while Execute prepares a run ends that run too.
unsigned g_Cancels = 0;

// Changes what the host sees and ends the run in one step, so that no thread of the run can
// change it afterwards.
template <class Change>
void EndRunWith(Change change)
{
    std::lock_guard<CMutex> lock(g_StateLock);
    change();
    if (g_pRun) g_pRun->EndLocked();
}

// With g_ExportLock held, once the run has ended: waits up to waitMs for its threads, gives up
// on them when they have not ended, and lets go of the run.
void DropRun(DWORD waitMs)
{
    if (!g_MainThread.Join(waitMs)) g_MainThread.GiveUp();
    CResolverRun* run = nullptr;
    {
        std::lock_guard<CMutex> lock(g_StateLock);
        std::swap(run, g_pRun);
    }
    if (run) run->Release();
}

void CloseEvent(std::atomic<HANDLE>& slot)
{
    if (HANDLE event = slot.exchange(nullptr)) CloseHandle(event);
}

// Ends the run, then releases the libraries and events; a thread given up on holds its own.
// True when a run had been started since the last Init or Free.
bool ReleaseAll()
{
    const bool hadRun = g_pRun != nullptr;
    EndRunWith([] {});
    DropRun(kRunEndWaitMs);
    Unload_DNSSD_Library();
    CloseEvent(g_hResolveDone);
    CloseEvent(g_hGetAddrInfoDone);
    return hadRun;
}

int32_t InitBody()
{
    std::lock_guard<CMutex> exports(g_ExportLock);
    WriteLog(L"D:", L">> Zanviresolver_Init(): Enter");
    // A repeated Init starts from a clean slate, and the run it finds ends as Free ends it: its
    // progress is left as the end left it, so a host still polling that run reads Error, never
    // Working for ever.
    if (!g_Initialized) {
        g_Progress = 0;
    } else if (ReleaseAll()) {
        WriteLog(L"W:", L"Zanviresolver_Init(): the last run was ended");
    }
    g_ResolverState = RS_Idle;
    if (Load_DNSSD_Library() != 0) g_ResolverState = RS_Error;
    g_hResolveDone = CreateEventW(nullptr, FALSE, FALSE, L"Resolver_evResolveDone");
    g_hGetAddrInfoDone = CreateEventW(nullptr, FALSE, FALSE, L"Resolver_evGetAddrInfoDone");
    WriteLog(L"D:", L"Zanviresolver_Init(): returning:%d", static_cast<int>(g_ResolverState.load()));
    g_Initialized = true;
    return g_ResolverState;
}

// Makes run the current one, unless a Cancel came since cancelsAtStart: it is then ended at once.
void MakeCurrent(CResolverRun* run, unsigned cancelsAtStart)
{
    std::lock_guard<CMutex> lock(g_StateLock);
    g_pRun = run;
    if (g_Cancels != cancelsAtStart) run->EndLocked();
}

int32_t ExecuteBody(const char* pzServiceInstanceName, char* pzIpAddress, char* pzPort)
{
    std::lock_guard<CMutex> exports(g_ExportLock);
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
    // A run still going belongs to the host's earlier call: it ends here and touches nothing
    // of this one.
    EndRunWith([] {});
    DropRun(0);
    unsigned cancelsAtStart = 0;
    {
        std::lock_guard<CMutex> lock(g_StateLock);
        cancelsAtStart = g_Cancels;
        g_Progress = 0;
        g_ResolverState = RS_Init;
        g_pzIpAddress = pzIpAddress;
        g_pzPort = pzPort;
    }
    if (!ParseServiceInstanceName(pzServiceInstanceName)) {
        g_ResolverState = RS_Error;
        return RS_Error;
    }
    CResolverRun* run = CResolverRun::Create();
    if (!run) {
        g_ResolverState = RS_Error;
        return RS_Error;
    }
    MakeCurrent(run, cancelsAtStart);
    if (IsAdHocCapableOS() && std::string(g_szInterfaceField) == "wifi")
        PrepareWifiDongle(g_szDongleSsid);
    // A Cancel meanwhile ends the pause and the run before it has started.
    if (run->WaitForStop(kStartDelayMs)) return g_ResolverState;
    if (!StartRunThread(g_MainThread, MainThread, *run)) {
        EndRunWith([] { g_ResolverState = RS_Error; });
        return RS_Error;
    }
    // The run may already have moved on (or failed); this call started it.
    return RS_Init;
}

int32_t UpdateStateBody()
{
    WriteLog(L"D:", L"Zanviresolver_UpdateState(): Progress=%d", static_cast<int>(g_Progress));
    if (g_Progress == g_ProgressMax) {
        WriteLog(L"D:", L"Zanviresolver_UpdateState(): Return GOOD from UpdateState...return is RS_Ready");
        // The run's threads end by themselves once told; the next Execute, Init or Free lets
        // go of them.
        EndRunWith([] { g_ResolverState = RS_Ready; });
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

// Tells the run to stop and answers at once: an ended run changes nothing the host sees, so its
// threads need not be waited for here (Execute, Init and Free let go of them).
int32_t CancelBody()
{
    WriteLog(L"D:", L">> Zanviresolver_Cancel()");
    EndRunWith([] {
        ++g_Cancels;
        g_ResolverState = RS_Canceled;
    });
    return g_ResolverState;
}

int32_t FreeBody()
{
    std::lock_guard<CMutex> exports(g_ExportLock);
    WriteLog(L"D:", L">> Zanviresolver_Free(): g_ExitFlag=true");
    ReleaseAll();
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
