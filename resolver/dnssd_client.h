// The resolver's DNS-SD client: the library bound at run time and the two phases of a run.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "dns_sd_api.h"
#include "worker_thread.h"

class CResolverRun;

extern std::atomic<PFN_DNSServiceGetAddrInfo> gDNSServiceGetAddrInfo;
extern std::atomic<PFN_DNSServiceRefDeallocate> gDNSServiceRefDeallocate;
extern std::atomic<PFN_DNSServiceProcessResult> gDNSServiceProcessResult;
extern std::atomic<PFN_DNSServiceRefSockFD> gDNSServiceRefSockFD;
extern std::atomic<PFN_DNSServiceResolve> gDNSServiceResolve;

extern std::atomic<HMODULE> g_hDnssd;
extern std::wstring g_strDnssdPath;

// 0 when dnssd.dll beside this library and the IP helper library were loaded, 1 otherwise.
int Load_DNSSD_Library();
// Releases both libraries and forgets every bound entry point.
void Unload_DNSSD_Library();

// The two phases, on the resolution thread; eventLoop is the run's event-loop thread, free when
// a phase starts and again when it returns. True when the phase's event was signalled in time
// (and, for the address, an address was delivered).
bool GoResolveService(CResolverRun& run, CWorkerThread& eventLoop, uint32_t interfaceIndex);
bool GoGetAddressInfo(CResolverRun& run, CWorkerThread& eventLoop);
// The event loop of one phase: feeds the run's current reference to the library until the
// phase or the run stops it, then deallocates it. context: the run (see StartRunThread).
void HandleEvents(void* context, HANDLE hStop);

// context: the run the operation belongs to.
void DNSSD_API resolve_reply(DNSServiceRef sdRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                             DNSServiceErrorType errorCode, const char* fullname,
                             const char* hosttarget, uint16_t port, uint16_t txtLen,
                             const unsigned char* txtRecord, void* context);
void DNSSD_API addrinfo_reply(DNSServiceRef sdRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                              DNSServiceErrorType errorCode, const char* hostname,
                              const sockaddr* address, uint32_t ttl, void* context);
