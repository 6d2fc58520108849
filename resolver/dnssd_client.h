// The resolver's DNS-SD client: the library bound at run time and the two phases of a run.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "dns_sd_api.h"
#include "win32_sync.h"

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

extern std::atomic<PFN_DNSServiceGetAddrInfo> gDNSServiceGetAddrInfo;
extern std::atomic<PFN_DNSServiceRefDeallocate> gDNSServiceRefDeallocate;
extern std::atomic<PFN_DNSServiceProcessResult> gDNSServiceProcessResult;
extern std::atomic<PFN_DNSServiceRefSockFD> gDNSServiceRefSockFD;
extern std::atomic<PFN_DNSServiceResolve> gDNSServiceResolve;

extern std::atomic<HMODULE> g_hDnssd;
extern std::wstring g_strDnssdPath;
extern std::atomic<DNSServiceRef> gServiceRef;
extern char g_szHostTarget[200];

// Appended by the callbacks on the event-loop thread, read by the phases: under g_RepliesLock.
extern std::vector<ResolveReply> g_ResolveReplies;
extern std::vector<AddrInfoReply> g_AddrInfoReplies;
extern CMutex g_RepliesLock;

// 0 when dnssd.dll beside this library and the IP helper library were loaded, 1 otherwise.
int Load_DNSSD_Library();
// Releases both libraries and forgets every bound entry point.
void Unload_DNSSD_Library();
void ClearReplies();

bool GoResolveService();
bool GoGetAddressInfo();
void HandleEvents();
// Waits for the current event loop to end: true when none runs any more.
bool WaitForEventLoop(DWORD ms);

void DNSSD_API resolve_reply(DNSServiceRef sdRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                             DNSServiceErrorType errorCode, const char* fullname,
                             const char* hosttarget, uint16_t port, uint16_t txtLen,
                             const unsigned char* txtRecord, void* context);
void DNSSD_API addrinfo_reply(DNSServiceRef sdRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                              DNSServiceErrorType errorCode, const char* hostname,
                              const sockaddr* address, uint32_t ttl, void* context);
