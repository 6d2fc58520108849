#include "dnssd_client.h"

#include <strsafe.h>

#include <cstdio>

#include "dnssd_reply_log.h"
#include "library_thread.h"
#include "log.h"
#include "module_path.h"
#include "network_adapters.h"
#include "proc_address.h"
#include "run_state.h"

std::atomic<PFN_DNSServiceGetAddrInfo> gDNSServiceGetAddrInfo{nullptr};
std::atomic<PFN_DNSServiceRefDeallocate> gDNSServiceRefDeallocate{nullptr};
std::atomic<PFN_DNSServiceProcessResult> gDNSServiceProcessResult{nullptr};
std::atomic<PFN_DNSServiceRefSockFD> gDNSServiceRefSockFD{nullptr};
std::atomic<PFN_DNSServiceResolve> gDNSServiceResolve{nullptr};

std::atomic<HMODULE> g_hDnssd{nullptr};
std::wstring g_strDnssdPath;
std::atomic<DNSServiceRef> gServiceRef{nullptr};
char g_szHostTarget[200];

std::vector<ResolveReply> g_ResolveReplies;
std::vector<AddrInfoReply> g_AddrInfoReplies;
CMutex g_RepliesLock;

namespace {

constexpr DWORD kLoopPollMs = 300;
constexpr DWORD kResolveLoopEndMs = 2000;
constexpr DWORD kAddressLoopEndMs = 500;
// A loop that outlives its phase's wait gets this much more before the next phase gives up,
// so that two loops never share gServiceRef.
constexpr DWORD kLoopGraceMs = 10000;
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

DWORD BudgetMs()
{
    const int32_t seconds = g_ProgressMax;
    return static_cast<DWORD>(seconds > 0 ? seconds : 0) * 1000;
}

// Starts the event loop for the reference just created; without a loop the reference ends here.
void StartEventLoop()
{
    HANDLE thread = StartLibraryThread(HandleEvents);
    if (!thread) {
        DNSServiceRef ref = gServiceRef.exchange(nullptr);
        PFN_DNSServiceRefDeallocate deallocate = gDNSServiceRefDeallocate;
        if (ref && deallocate) deallocate(ref);
    }
    StoreThreadHandle(g_hEventThread, thread);
}

// Runs the event loop for the reference just created until the phase's event is signalled, the
// budget is spent or the run is stopped; then tells the loop to end. True when signalled.
bool RunEventLoopUntil(HANDLE done)
{
    StartEventLoop();
    if (done) ResetEvent(done);
    const bool signalled = WaitUnlessStopped(done, BudgetMs());
    if (done) ResetEvent(done);
    g_ExitFlag = true;
    return signalled;
}

void Save(const char* hostTarget, uint16_t port, uint32_t interfaceIndex)
{
    ResolveReply reply{};
    StringCchCopyA(reply.hostTarget, sizeof(reply.hostTarget), hostTarget);
    reply.port = port;
    reply.interfaceIndex = interfaceIndex;
    {
        std::lock_guard<CMutex> lock(g_RepliesLock);
        g_ResolveReplies.push_back(reply);
    }
    if (HANDLE done = g_hResolveDone) SetEvent(done);
}

}  // namespace

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

void ClearReplies()
{
    std::lock_guard<CMutex> lock(g_RepliesLock);
    g_ResolveReplies.clear();
    g_AddrInfoReplies.clear();
}

bool WaitForEventLoop(DWORD ms)
{
    HANDLE thread = g_hEventThread;
    return !thread || WaitForSingleObject(thread, ms) == WAIT_OBJECT_0;
}

bool GoResolveService()
{
    PFN_DNSServiceResolve resolve = gDNSServiceResolve;
    if (!resolve) {
        WriteLog(L"E:", L"GoResolveService(): gDNSServiceResolve == NULL!");
        return false;
    }
    if (!WaitForEventLoop(kLoopGraceMs)) return false;

    DNSServiceRef ref = nullptr;
    resolve(&ref, 0, g_InterfaceIndex, g_szServiceName, g_szRegType, g_szDomain, resolve_reply,
            nullptr);
    gServiceRef = ref;
    const bool signalled = RunEventLoopUntil(g_hResolveDone);
    WaitForEventLoop(kResolveLoopEndMs);
    return signalled;
}

bool GoGetAddressInfo()
{
    PFN_DNSServiceGetAddrInfo getAddrInfo = gDNSServiceGetAddrInfo;
    if (!getAddrInfo) {
        WriteLog(L"E:", L"GoGetAddressInfo(): gDNSServiceGetAddrInfo == NULL!");
        return false;
    }
    ResolveReply first{};
    bool haveReply = false;
    {
        std::lock_guard<CMutex> lock(g_RepliesLock);
        haveReply = !g_ResolveReplies.empty();
        if (haveReply) first = g_ResolveReplies.front();
    }
    if (!haveReply) {
        WriteLog(L"D:", L"GoGetAddressInfo(): resolve reply count == 0");
        return false;
    }
    WriteLog(L"D:", L"GoGetAddressInfo(): resolve reply count > 0");
    if (char* port = g_pzPort) std::snprintf(port, kPortBytes, "%d", static_cast<int>(first.port));
    g_InterfaceIndex = first.interfaceIndex;
    StringCchCopyA(g_szHostTarget, sizeof(g_szHostTarget), first.hostTarget);

    if (!WaitForEventLoop(kLoopGraceMs)) return false;
    DNSServiceRef ref = nullptr;
    getAddrInfo(&ref, kDNSServiceFlagsReturnIntermediates, g_InterfaceIndex,
                kDNSServiceProtocol_IPv4, g_szHostTarget, addrinfo_reply, nullptr);
    gServiceRef = ref;
    const bool signalled = RunEventLoopUntil(g_hGetAddrInfoDone);
    if (!WaitForEventLoop(kAddressLoopEndMs)) WaitForEventLoop(kLoopGraceMs);

    bool delivered = false;
    {
        std::lock_guard<CMutex> lock(g_RepliesLock);
        if (!g_AddrInfoReplies.empty()) {
            if (char* address = g_pzIpAddress)
                StringCchCopyA(address, kIpAddressBytes, g_AddrInfoReplies.front().address);
            delivered = true;
        }
    }
    // An answer without an IPv4 address ends the wait but delivers nothing: not a success.
    return signalled && delivered;
}

void HandleEvents()
{
    PFN_DNSServiceRefSockFD sockFd = gDNSServiceRefSockFD;
    if (!sockFd) {
        WriteLog(L"E:", L"HandleEvents(): gDNSServiceRefSockFD == NULL!");
        return;
    }
    WinsockSession winsock;
    DNSServiceRef ref = gServiceRef;
    const dnssd_sock_t sock = ref ? sockFd(ref) : DNSSD_INVALID_SOCKET;
    while (!g_ExitFlag) {
        fd_set readSet;
        FD_ZERO(&readSet);
        if (sock != DNSSD_INVALID_SOCKET) FD_SET(static_cast<SOCKET>(sock), &readSet);
        Sleep(kLoopPollMs);
        timeval timeout{0, 10000};
        const int ready = select(static_cast<int>(sock + 1), &readSet, nullptr, nullptr, &timeout);
        if (ready > 0 && sock != DNSSD_INVALID_SOCKET &&
            FD_ISSET(static_cast<SOCKET>(sock), &readSet)) {
            if (PFN_DNSServiceProcessResult process = gDNSServiceProcessResult) process(ref);
        } else if (ready < 0 && WSAGetLastError() != WSAEINTR) {
            break;
        }
    }
    PFN_DNSServiceRefDeallocate deallocate = gDNSServiceRefDeallocate;
    if (ref && deallocate) {
        deallocate(ref);
        gServiceRef = nullptr;
    }
    WriteLog(L"D:", L"<< HandleEvents(): Exit");
}

void DNSSD_API resolve_reply(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                             DNSServiceErrorType errorCode, const char* fullname,
                             const char* hosttarget, uint16_t port, uint16_t txtLen,
                             const unsigned char* txtRecord, void*)
{
    const uint16_t hostPort = ntohs(port);
    LogResolveReply(flags, interfaceIndex, errorCode, fullname, hosttarget, hostPort, txtLen,
                    txtRecord);
    WriteLog(L"D:", L"resolve_reply(): port:%d  interface:%u", static_cast<int>(hostPort),
             static_cast<unsigned>(interfaceIndex));
    const bool hasTarget = hosttarget && hosttarget[0] != '\0';
    const int32_t index = static_cast<int32_t>(interfaceIndex);

    switch (g_DesiredInterface.load()) {
    case DESIRED_USB:
        if (hasTarget) Save(hosttarget, hostPort, interfaceIndex);
        WriteLog(L"D:", L"resolve_reply() [usb]");
        break;
    case DESIRED_WIFI:
        if (LookupAdapterType(index) == kAdapterTypeWireless) {
            WriteLog(L"D:", L"resolve_reply() [wifi]");
        } else if (index == FindUSBInterface()) {
            WriteLog(L"D:", L"resolve_reply(): looking for WIFI, got USB. Skip it.");
            break;
        } else {
            WriteLog(L"D:", L"resolve_reply(): looking for WIFI but did not return WIFI. Save it.");
        }
        if (hasTarget) Save(hosttarget, hostPort, interfaceIndex);
        break;
    default:
        if (LookupAdapterType(index) != kAdapterTypeEthernet) {
            WriteLog(L"D:", L"resolve_reply(): looking for ETH but did not return ETH. Save it.");
            if (index == FindUSBInterface()) {
                WriteLog(L"D:", L"resolve_reply(): looking for ETH, got USB. Skip it.");
                break;
            }
        }
        if (hasTarget) Save(hosttarget, hostPort, interfaceIndex);
        break;
    }
}

void DNSSD_API addrinfo_reply(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                              DNSServiceErrorType errorCode, const char* hostname,
                              const sockaddr* address, uint32_t ttl, void*)
{
    LogAddrInfoReply(flags, interfaceIndex, errorCode, hostname, address, ttl);
    const std::string ipv4 = Ipv4Text(address);
    if (!ipv4.empty()) {
        AddrInfoReply reply{};
        StringCchCopyA(reply.hostName, sizeof(reply.hostName), hostname ? hostname : "");
        reply.interfaceIndex = interfaceIndex;
        StringCchCopyA(reply.address, sizeof(reply.address), ipv4.c_str());
        {
            std::lock_guard<CMutex> lock(g_RepliesLock);
            g_AddrInfoReplies.push_back(reply);
        }
        WriteLog(L"D:", L"addrinfo_reply(): got ipaddress:%hs", ipv4.c_str());
    }
    if (flags & kDNSServiceFlagsMoreComing) {
        WriteLog(L"D:", L"addrinfo_reply(): more data is coming...");
        return;
    }
    if (HANDLE done = g_hGetAddrInfoDone) SetEvent(done);
}
