#include "resolver_run.h"

#include <strsafe.h>

#include <new>

#include "dnssd_client.h"
#include "log.h"
#include "network_adapters.h"

namespace {

// A reference of our own to a loaded module, or null.
HMODULE HoldModule(HMODULE module)
{
    HMODULE held = nullptr;
    if (module && !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                      reinterpret_cast<LPCWSTR>(module), &held))
        held = nullptr;
    return held;
}

HANDLE DuplicateOwnHandle(HANDLE handle)
{
    HANDLE copy = nullptr;
    if (handle && !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0,
                                   FALSE, DUPLICATE_SAME_ACCESS))
        copy = nullptr;
    return copy;
}

}  // namespace

CResolverRun* CResolverRun::Create()
{
    CResolverRun* run = new (std::nothrow) CResolverRun;
    if (!run) return nullptr;
    run->m_hStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    run->m_hResolveDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    run->m_hGetAddrInfoDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!run->m_hStop || !run->m_hResolveDone || !run->m_hGetAddrInfoDone) {
        run->Release();
        return nullptr;
    }
    StringCchCopyA(run->m_szServiceName, kRequestFieldSize, g_szServiceName);
    StringCchCopyA(run->m_szRegType, kRequestFieldSize, g_szRegType);
    StringCchCopyA(run->m_szDomain, kRequestFieldSize, g_szDomain);
    run->m_DesiredInterface = DesiredInterfaceFor(g_szInterfaceField);
    // The entry points stay valid as long as the run holds the library.
    run->m_hDnssd = HoldModule(g_hDnssd);
    if (run->m_hDnssd) {
        run->m_Dnssd.getAddrInfo = gDNSServiceGetAddrInfo;
        run->m_Dnssd.refDeallocate = gDNSServiceRefDeallocate;
        run->m_Dnssd.processResult = gDNSServiceProcessResult;
        run->m_Dnssd.refSockFD = gDNSServiceRefSockFD;
        run->m_Dnssd.resolve = gDNSServiceResolve;
    }
    run->m_hIphlpapi = HoldModule(g_hIphlpapi);
    run->m_hNamedResolveDone = DuplicateOwnHandle(g_hResolveDone);
    run->m_hNamedGetAddrInfoDone = DuplicateOwnHandle(g_hGetAddrInfoDone);
    return run;
}

CResolverRun::~CResolverRun()
{
    for (HANDLE handle : {m_hStop, m_hResolveDone, m_hGetAddrInfoDone, m_hNamedResolveDone,
                          m_hNamedGetAddrInfoDone})
        if (handle) CloseHandle(handle);
    for (HMODULE module : {m_hIphlpapi, m_hDnssd})
        if (module) FreeLibrary(module);
}

void CResolverRun::AddRef() { InterlockedIncrement(&m_lRefs); }

void CResolverRun::Release()
{
    if (InterlockedDecrement(&m_lRefs) == 0) delete this;
}

void CResolverRun::EndLocked()
{
    if (m_bLive) {
        m_bLive = false;
        g_Progress = -1;
    }
    m_StopFlag = true;
    SetEvent(m_hStop);
}

void CResolverRun::End()
{
    std::lock_guard<CMutex> lock(g_StateLock);
    EndLocked();
}

bool CResolverRun::WaitForStop(DWORD ms, HANDLE hOwnStop) const
{
    const HANDLE handles[2] = {m_hStop, hOwnStop};
    return WaitForMultipleObjects(hOwnStop ? 2 : 1, handles, FALSE, ms) != WAIT_TIMEOUT;
}

bool CResolverRun::WaitUnlessStopped(HANDLE event, DWORD ms) const
{
    // The stop comes first: a run that has ended is not resolved by a late answer.
    const HANDLE handles[2] = {m_hStop, event};
    return WaitForMultipleObjects(2, handles, FALSE, ms) == WAIT_OBJECT_0 + 1;
}

void CResolverRun::Signal(const Completion& done)
{
    SetEvent(done.own);
    if (done.named) Publish([&] { SetEvent(done.named); });
}

void CResolverRun::Reset(const Completion& done)
{
    ResetEvent(done.own);
    if (done.named) Publish([&] { ResetEvent(done.named); });
}

void CResolverRun::EndOnException(const wchar_t* where) noexcept
{
    try {
        WriteLog(L"E:", L"%s(): unexpected exception; the run ends in error", where);
    } catch (...) {
    }
    std::lock_guard<CMutex> lock(g_StateLock);
    if (m_bLive) g_ResolverState = RS_Error;
    EndLocked();
}

bool StartRunThread(CWorkerThread& thread, CWorkerThread::Body body, CResolverRun& run)
{
    run.AddRef();
    if (thread.Start(body, &run)) return true;
    run.Release();
    return false;
}
