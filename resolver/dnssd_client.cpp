#include "dnssd_client.h"

#include <strsafe.h>

#include <cstdio>
#include <memory>
#include <new>

#include "dnssd_reply_log.h"
#include "log.h"
#include "module_path.h"
#include "network_adapters.h"
#include "proc_address.h"
#include "resolver_run.h"

std::atomic<PFN_DNSServiceGetAddrInfo> gDNSServiceGetAddrInfo{nullptr};
std::atomic<PFN_DNSServiceRefDeallocate> gDNSServiceRefDeallocate{nullptr};
std::atomic<PFN_DNSServiceProcessResult> gDNSServiceProcessResult{nullptr};
std::atomic<PFN_DNSServiceRefSockFD> gDNSServiceRefSockFD{nullptr};
std::atomic<PFN_DNSServiceResolve> gDNSServiceResolve{nullptr};

std::atomic<HMODULE> g_hDnssd{nullptr};
std::wstring g_strDnssdPath;

namespace {

constexpr DWORD kLoopPollMs = 300;
constexpr DWORD kResolveLoopEndMs = 2000;
constexpr DWORD kAddressLoopEndMs = 500;
constexpr std::size_t kIpAddressBytes = 16;
constexpr std::size_t kPortBytes = 6;

template <class Fn>
void Bind(HMODULE module, const char* name, std::atomic<Fn>& slot)
{
    slot = ProcAddress<Fn>(module, name);
}

// Winsock for the event loop's select, whatever the DNS-SD library did.
class WinsockSession {
public:
    WinsockSession() : m_started(WSAStartup(MAKEWORD(2, 2), &m_data) == 0) {}
    ~WinsockSession() { if (m_started) WSACleanup(); }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

private:
    WSADATA m_data{};
    bool m_started;
};

// What one event loop owns: a reference to its run and the operation it serves, which it
// deallocates when it ends, also when its phase gave up waiting for it.
struct EventLoop {
    CResolverRun* run;
    DNSServiceRef ref;
};

DWORD BudgetMs(const CResolverRun& run)
{
    const int32_t seconds = run.m_ProgressMax;
    return static_cast<DWORD>(seconds > 0 ? seconds : 0) * 1000;
}

void Deallocate(const CResolverRun& run, DNSServiceRef ref)
{
    if (ref && run.Dnssd().refDeallocate) run.Dnssd().refDeallocate(ref);
}

void Serve(const CResolverRun& run, DNSServiceRef ref, HANDLE hStop)
{
    const DnssdCalls& dnssd = run.Dnssd();
    WinsockSession winsock;
    const dnssd_sock_t sock = ref ? dnssd.refSockFD(ref) : DNSSD_INVALID_SOCKET;
    // Each round first waits 300 ms, or less when the phase or the run stops the loop.
    while (!run.WaitForStop(kLoopPollMs, hStop)) {
        fd_set readSet;
        FD_ZERO(&readSet);
        if (sock != DNSSD_INVALID_SOCKET) FD_SET(static_cast<SOCKET>(sock), &readSet);
        timeval timeout{0, 10000};
        const int ready = select(static_cast<int>(sock + 1), &readSet, nullptr, nullptr, &timeout);
        if (ready > 0 && sock != DNSSD_INVALID_SOCKET &&
            FD_ISSET(static_cast<SOCKET>(sock), &readSet)) {
            if (dnssd.processResult) dnssd.processResult(ref);
        } else if (ready < 0 && WSAGetLastError() != WSAEINTR) {
            break;
        }
    }
}

void HandleEvents(void* context, HANDLE hStop)
{
    const std::unique_ptr<EventLoop> loop(static_cast<EventLoop*>(context));
    const CRunOfThread hold(loop->run);
    CResolverRun& run = hold.Run();
    if (!run.Dnssd().refSockFD) {
        WriteLog(L"E:", L"HandleEvents(): gDNSServiceRefSockFD == NULL!");
        Deallocate(run, loop->ref);  // the operation ends all the same
        return;
    }
    // Nothing unwinds out of a thread body: the run ends in error and the operation still ends.
    try {
        Serve(run, loop->ref, hStop);
    } catch (...) {
        run.EndOnException(L"HandleEvents");
    }
    Deallocate(run, loop->ref);
    try {
        WriteLog(L"D:", L"<< HandleEvents(): Exit");
    } catch (...) {
    }
}

// Runs an event loop for ref until the phase's event is signalled, the budget is spent or the
// run is stopped; then stops the loop and waits up to endWaitMs for it, giving it up when it has
// not ended. True when the event was signalled.
bool RunEventLoopUntil(CResolverRun& run, CWorkerThread& eventLoop, DNSServiceRef ref,
                       const CResolverRun::Completion& done, DWORD endWaitMs)
{
    EventLoop* loop = new (std::nothrow) EventLoop{&run, ref};
    run.AddRef();
    if (!loop || !eventLoop.Start(HandleEvents, loop)) {
        Deallocate(run, ref);
        run.Release();
        delete loop;
    }
    run.Reset(done);
    const bool signalled = run.WaitUnlessStopped(done.own, BudgetMs(run));
    run.Reset(done);
    eventLoop.RequestStop();
    if (!eventLoop.Join(endWaitMs)) eventLoop.GiveUp();
    return signalled;
}

void Save(CResolverRun& run, const char* hostTarget, uint16_t port, uint32_t interfaceIndex)
{
    ResolveReply reply{};
    StringCchCopyA(reply.hostTarget, sizeof(reply.hostTarget), hostTarget);
    reply.port = port;
    reply.interfaceIndex = interfaceIndex;
    {
        std::lock_guard<CMutex> lock(run.m_RepliesLock);
        run.m_ResolveReplies.push_back(reply);
    }
    run.Signal(run.ResolveDone());
}

// The callbacks run inside the DNS-SD library's frames: nothing may unwind into them. An
// exception in one ends the run in error.
template <class Body>
void InsideCallback(void* context, const wchar_t* where, Body body)
{
    try {
        body();
    } catch (...) {
        if (context) static_cast<CResolverRun*>(context)->EndOnException(where);
    }
}

}  // namespace

bool IsUsableAddress(DNSServiceErrorType errorCode, const sockaddr* address)
{
    return errorCode == kDNSServiceErr_NoError && address && address->sa_family == AF_INET &&
           reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr != 0;
}

int Load_DNSSD_Library()
{
    // Only the resolver's own folder, never the search path: an empty path loads nothing.
    g_strDnssdPath = FileBesideModule(g_hModule, L"dnssd.dll");
    HMODULE dnssd = g_strDnssdPath.empty() ? nullptr : LoadLibraryW(g_strDnssdPath.c_str());
    if (!dnssd) {
        WriteLog(L"D:", L"Load_DNSSD_Library(): dnssd.dll not loaded working directory is:%s",
                 g_strDnssdPath.c_str());
        return 1;
    }
    g_hDnssd = dnssd;
    Bind(dnssd, "DNSServiceGetAddrInfo", gDNSServiceGetAddrInfo);
    Bind(dnssd, "DNSServiceRefDeallocate", gDNSServiceRefDeallocate);
    Bind(dnssd, "DNSServiceProcessResult", gDNSServiceProcessResult);
    Bind(dnssd, "DNSServiceRefSockFD", gDNSServiceRefSockFD);
    Bind(dnssd, "DNSServiceResolve", gDNSServiceResolve);

    HMODULE iphlpapi = LoadLibraryW(L"Iphlpapi");
    if (!iphlpapi) return 1;
    g_hIphlpapi = iphlpapi;
    GetNetworkInterfaces();
    return 0;
}

void Unload_DNSSD_Library()
{
    gDNSServiceGetAddrInfo = nullptr;
    gDNSServiceRefDeallocate = nullptr;
    gDNSServiceProcessResult = nullptr;
    gDNSServiceRefSockFD = nullptr;
    gDNSServiceResolve = nullptr;
    if (HMODULE iphlpapi = g_hIphlpapi.exchange(nullptr)) FreeLibrary(iphlpapi);
    if (HMODULE dnssd = g_hDnssd.exchange(nullptr)) FreeLibrary(dnssd);
}

bool GoResolveService(CResolverRun& run, CWorkerThread& eventLoop, uint32_t interfaceIndex)
{
    PFN_DNSServiceResolve resolve = run.Dnssd().resolve;
    if (!resolve) {
        WriteLog(L"E:", L"GoResolveService(): gDNSServiceResolve == NULL!");
        return false;
    }
    DNSServiceRef ref = nullptr;
    resolve(&ref, 0, interfaceIndex, run.ServiceName(), run.RegType(), run.Domain(), resolve_reply,
            &run);
    return RunEventLoopUntil(run, eventLoop, ref, run.ResolveDone(), kResolveLoopEndMs);
}

bool GoGetAddressInfo(CResolverRun& run, CWorkerThread& eventLoop)
{
    PFN_DNSServiceGetAddrInfo getAddrInfo = run.Dnssd().getAddrInfo;
    if (!getAddrInfo) {
        WriteLog(L"E:", L"GoGetAddressInfo(): gDNSServiceGetAddrInfo == NULL!");
        return false;
    }
    ResolveReply first{};
    bool haveReply = false;
    {
        std::lock_guard<CMutex> lock(run.m_RepliesLock);
        haveReply = !run.m_ResolveReplies.empty();
        if (haveReply) first = run.m_ResolveReplies.front();
    }
    if (!haveReply) {
        WriteLog(L"D:", L"GoGetAddressInfo(): resolve reply count == 0");
        return false;
    }
    WriteLog(L"D:", L"GoGetAddressInfo(): resolve reply count > 0");
    run.Publish([&] {
        if (char* port = g_pzPort) std::snprintf(port, kPortBytes, "%d", static_cast<int>(first.port));
    });

    DNSServiceRef ref = nullptr;
    getAddrInfo(&ref, kDNSServiceFlagsReturnIntermediates, first.interfaceIndex,
                kDNSServiceProtocol_IPv4, first.hostTarget, addrinfo_reply, &run);
    const bool signalled =
        RunEventLoopUntil(run, eventLoop, ref, run.GetAddrInfoDone(), kAddressLoopEndMs);

    AddrInfoReply answer{};
    bool delivered = false;
    {
        std::lock_guard<CMutex> lock(run.m_RepliesLock);
        delivered = !run.m_AddrInfoReplies.empty();
        if (delivered) answer = run.m_AddrInfoReplies.front();
    }
    delivered = delivered && run.Publish([&] {
        if (char* address = g_pzIpAddress) StringCchCopyA(address, kIpAddressBytes, answer.address);
    });
    // An answer without a usable address ends the wait but delivers nothing: not a success.
    return signalled && delivered;
}

namespace {

void ResolveReplyBody(DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType errorCode,
                      const char* fullname, const char* hosttarget, uint16_t port, uint16_t txtLen,
                      const unsigned char* txtRecord, void* context)
{
    const uint16_t hostPort = ntohs(port);
    LogResolveReply(flags, interfaceIndex, errorCode, fullname, hosttarget, hostPort, txtLen,
                    txtRecord);
    WriteLog(L"D:", L"resolve_reply(): port:%d  interface:%u", static_cast<int>(hostPort),
             static_cast<unsigned>(interfaceIndex));
    CResolverRun* run = static_cast<CResolverRun*>(context);
    if (!run) return;
    const bool hasTarget = hosttarget && hosttarget[0] != '\0';
    const EDesiredInterface desired = run->DesiredInterface();
    if (KeepResolveReply(desired, interfaceIndex) && hasTarget)
        Save(*run, hosttarget, hostPort, interfaceIndex);
    if (desired == DESIRED_USB) WriteLog(L"D:", L"resolve_reply() [usb]");
}

}  // namespace

void DNSSD_API resolve_reply(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                             DNSServiceErrorType errorCode, const char* fullname,
                             const char* hosttarget, uint16_t port, uint16_t txtLen,
                             const unsigned char* txtRecord, void* context)
{
    InsideCallback(context, L"resolve_reply", [&] {
        ResolveReplyBody(flags, interfaceIndex, errorCode, fullname, hosttarget, port, txtLen,
                         txtRecord, context);
    });
}

bool KeepResolveReply(EDesiredInterface desired, uint32_t interfaceIndex)
{
    const int32_t index = static_cast<int32_t>(interfaceIndex);
    switch (desired) {
    case DESIRED_USB:
        return true;
    case DESIRED_WIFI:
        if (LookupAdapterType(index) == kAdapterTypeWireless) {
            WriteLog(L"D:", L"resolve_reply() [wifi]");
        } else if (index == FindUSBInterface()) {
            WriteLog(L"D:", L"resolve_reply(): looking for WIFI, got USB. Skip it.");
            return false;
        } else {
            WriteLog(L"D:", L"resolve_reply(): looking for WIFI but did not return WIFI. Save it.");
        }
        return true;
    default:
        if (LookupAdapterType(index) != kAdapterTypeEthernet) {
            WriteLog(L"D:", L"resolve_reply(): looking for ETH but did not return ETH. Save it.");
            if (index == FindUSBInterface()) {
                WriteLog(L"D:", L"resolve_reply(): looking for ETH, got USB. Skip it.");
                return false;
            }
        }
        return true;
    }
}

namespace {

void AddrInfoReplyBody(DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType errorCode,
                       const char* hostname, const sockaddr* address, uint32_t ttl, void* context)
{
    LogAddrInfoReply(flags, interfaceIndex, errorCode, hostname, address, ttl);
    CResolverRun* run = static_cast<CResolverRun*>(context);
    if (!run) return;
    if (IsUsableAddress(errorCode, address)) {
        const std::string ipv4 = Ipv4Text(address);
        AddrInfoReply reply{};
        StringCchCopyA(reply.hostName, sizeof(reply.hostName), hostname ? hostname : "");
        reply.interfaceIndex = interfaceIndex;
        StringCchCopyA(reply.address, sizeof(reply.address), ipv4.c_str());
        {
            std::lock_guard<CMutex> lock(run->m_RepliesLock);
            run->m_AddrInfoReplies.push_back(reply);
        }
        WriteLog(L"D:", L"addrinfo_reply(): got ipaddress:%hs", ipv4.c_str());
    }
    if (flags & kDNSServiceFlagsMoreComing) {
        WriteLog(L"D:", L"addrinfo_reply(): more data is coming...");
        return;
    }
    run->Signal(run->GetAddrInfoDone());
}

}  // namespace

void DNSSD_API addrinfo_reply(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                              DNSServiceErrorType errorCode, const char* hostname,
                              const sockaddr* address, uint32_t ttl, void* context)
{
    InsideCallback(context, L"addrinfo_reply", [&] {
        AddrInfoReplyBody(flags, interfaceIndex, errorCode, hostname, address, ttl, context);
    });
}
