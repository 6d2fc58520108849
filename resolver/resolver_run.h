// One resolution run: what its threads use, shared by the exports and those threads.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "dns_sd_api.h"
#include "run_state.h"
#include "win32_sync.h"
#include "worker_thread.h"

struct ResolveReply {
    char hostTarget[100];
    int32_t port;  // host byte order
    uint32_t interfaceIndex;
};

struct AddrInfoReply {
    char hostName[100];
    uint32_t interfaceIndex;
    char address[100];
};

// The DNS-SD entry points a run calls, bound when the library was initialised.
struct DnssdCalls {
    PFN_DNSServiceGetAddrInfo getAddrInfo = nullptr;
    PFN_DNSServiceRefDeallocate refDeallocate = nullptr;
    PFN_DNSServiceProcessResult processResult = nullptr;
    PFN_DNSServiceRefSockFD refSockFD = nullptr;
    PFN_DNSServiceResolve resolve = nullptr;
};

// A run holds its own copy of the request, its own references to the DNS-SD and IP helper
// libraries and to the two named events, and its reply lists, so a thread of it that outlives
// Cancel, Free or a new run still finds all it uses; whoever lets go last frees it.
// While the run is live its threads change what the host sees (state, progress, buffers) and
// signal and reset the named events, each under g_StateLock; once the run has ended (Cancel,
// Free, a new run, its timer, or the host seeing it Ready) they no longer can, and its stop is
// signalled. The named events are shared by every process on the PC: the run's phases wait on
// unnamed events of the run's own, which only its own callbacks signal.
class CResolverRun {
public:
    // A run of the request just parsed into the process-wide fields; null when its events
    // could not be made. The caller holds its one reference.
    static CResolverRun* Create();
    void AddRef();
    void Release();
    CResolverRun(const CResolverRun&) = delete;
    CResolverRun& operator=(const CResolverRun&) = delete;

    // Runs change under g_StateLock while the run is live; false, and nothing done, once ended.
    template <class Change>
    bool Publish(Change change)
    {
        std::lock_guard<CMutex> lock(g_StateLock);
        if (!m_bLive) return false;
        change();
        return true;
    }
    // With g_StateLock held: a live run ends, its progress reading -1 as an ended run's does;
    // its stop is signalled in any case.
    void EndLocked();
    void End();
    bool Stopped() const { return m_StopFlag; }
    const std::atomic<bool>& StopFlag() const { return m_StopFlag; }
    HANDLE StopEvent() const { return m_hStop; }
    // Waits up to ms for the stop, or for hOwnStop when given; true when either came.
    bool WaitForStop(DWORD ms, HANDLE hOwnStop = nullptr) const;
    // Waits up to ms for the run's own event; true when it was signalled, false on time-out or a
    // stop.
    bool WaitUnlessStopped(HANDLE event, DWORD ms) const;
    // A phase's completion: the run's own event (always) and the named one (while live).
    struct Completion {
        HANDLE own;
        HANDLE named;
    };
    void Signal(const Completion& done);
    void Reset(const Completion& done);
    // Ends the run as failed when an exception reached one of its thread bodies or callbacks;
    // where names the function. Never throws.
    void EndOnException(const wchar_t* where) noexcept;

    // The request, fixed at creation.
    const char* ServiceName() const { return m_szServiceName; }
    const char* RegType() const { return m_szRegType; }
    const char* Domain() const { return m_szDomain; }
    EDesiredInterface DesiredInterface() const { return m_DesiredInterface; }
    const DnssdCalls& Dnssd() const { return m_Dnssd; }
    Completion ResolveDone() const { return {m_hResolveDone, m_hNamedResolveDone}; }
    Completion GetAddrInfoDone() const { return {m_hGetAddrInfoDone, m_hNamedGetAddrInfoDone}; }

    // The run's time budget in seconds, also published as g_ProgressMax.
    std::atomic<int32_t> m_ProgressMax{kDefaultProgressMax};
    // The reference of the phase going on, until its event loop takes it over.
    std::atomic<DNSServiceRef> m_ServiceRef{nullptr};
    // Appended by the callbacks on the event-loop thread, read by the phases: under m_RepliesLock.
    std::vector<ResolveReply> m_ResolveReplies;
    std::vector<AddrInfoReply> m_AddrInfoReplies;
    CMutex m_RepliesLock;

private:
    CResolverRun() = default;
    ~CResolverRun();

    LONG m_lRefs = 1;
    bool m_bLive = true;  // under g_StateLock
    std::atomic<bool> m_StopFlag{false};
    HANDLE m_hStop = nullptr;  // manual reset: wakes every wait of the run at once
    char m_szServiceName[kRequestFieldSize] = {};
    char m_szRegType[kRequestFieldSize] = {};
    char m_szDomain[kRequestFieldSize] = {};
    EDesiredInterface m_DesiredInterface = DESIRED_USB;
    DnssdCalls m_Dnssd;
    HMODULE m_hDnssd = nullptr;      // our own references
    HMODULE m_hIphlpapi = nullptr;
    HANDLE m_hResolveDone = nullptr;  // unnamed, auto reset: what the phases wait for
    HANDLE m_hGetAddrInfoDone = nullptr;
    HANDLE m_hNamedResolveDone = nullptr;  // our own handles of the named events
    HANDLE m_hNamedGetAddrInfoDone = nullptr;
};

// Starts body on thread with a reference to run of its own, which the body lets go of through
// CRunOfThread; false when the thread could not be started.
bool StartRunThread(CWorkerThread& thread, CWorkerThread::Body body, CResolverRun& run);

// A thread body's hold on its run, taken over from StartRunThread and let go when the body ends.
class CRunOfThread {
public:
    explicit CRunOfThread(void* context) : m_run(*static_cast<CResolverRun*>(context)) {}
    ~CRunOfThread() { m_run.Release(); }
    CRunOfThread(const CRunOfThread&) = delete;
    CRunOfThread& operator=(const CRunOfThread&) = delete;
    CResolverRun& Run() const { return m_run; }

private:
    CResolverRun& m_run;
};
